// Win32 whole-file I/O: write to a temporary beside the target, then ReplaceFile over it (or
// MoveFileEx where there is no target yet).
#include "platform/FileIo.h"
#include "platform/FileSystem.h"
#include <algorithm>
#include <atomic>
#include <windows.h>

namespace kw::fs {

namespace {

std::string ErrorText(const std::string& path) {
    return path + ": " + LastErrorText();
}

bool WriteAll(HANDLE h, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(h, bytes.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

HANDLE OpenForWriting(const std::string& path, DWORD disposition) {
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Writes and closes; the error text on failure.
bool WriteAndClose(HANDLE h, const std::string& path, const std::string& bytes, std::string& error) {
    const bool ok = WriteAll(h, bytes);
    if (!ok)
        error = ErrorText(path);
    CloseHandle(h);
    return ok;
}

bool WriteInPlace(const std::string& path, const std::string& bytes, std::string& error) {
    HANDLE h = OpenForWriting(path, CREATE_ALWAYS);
    if (h == INVALID_HANDLE_VALUE) {
        error = ErrorText(path);
        return false;
    }
    return WriteAndClose(h, path, bytes, error);
}


} // namespace

bool ReadWholeFile(const std::string& path, std::string& out, std::string& error, TReadFailure& failure) {
    out.clear();
    failure = TReadFailure::None;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER size{};
    if (h != INVALID_HANDLE_VALUE && (GetFileType(h) != FILE_TYPE_DISK || !GetFileSizeEx(h, &size))) {
        // A device or a pipe is not a file: reading one could wait for ever or never end.
        CloseHandle(h);
        h = INVALID_HANDLE_VALUE;
        SetLastError(ERROR_INVALID_FUNCTION);
    }
    if (h == INVALID_HANDLE_VALUE) {
        failure = TReadFailure::Open;
        error = ErrorText(path);
        return false;
    }
    bool ok = true;
    try {
        // One buffer of the file's size, filled in place; a file that grows meanwhile is read on.
        // Once the buffer is full the end is probed with a small buffer of its own: growing the
        // string for the probe would double a template's buffer (and copy it) on every render.
        out.resize(static_cast<size_t>(size.QuadPart));
        size_t done = 0;
        char probe[4096];
        for (;;) {
            const bool full = done == out.size();
            char* into = full ? probe : out.data() + done;
            const DWORD chunk = full ? sizeof probe : static_cast<DWORD>(std::min<size_t>(out.size() - done, 1u << 30));
            DWORD n = 0;
            if (!ReadFile(h, into, chunk, &n, nullptr)) {
                ok = false;
                error = ErrorText(path);
                break;
            }
            if (n == 0)
                break;
            if (full) {
                out.append(probe, n);        // the file grew since its size was taken
                out.resize(out.capacity());  // read on into the room the string has
            }
            done += n;
        }
        out.resize(done);
    } catch (...) {
        CloseHandle(h);
        out = std::string();
        throw;
    }
    CloseHandle(h);
    if (!ok) {
        out = std::string();
        failure = TReadFailure::Read;
    }
    return ok;
}

namespace {

// A target that a replacing write must not touch: a device or a pipe (no plain file may take
// its place) or a symbolic link (the link would be replaced instead of what it points to).
bool IsNotAPlainFile(const std::string& path, bool& linked) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return true;
    HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    const bool device = GetFileType(h) != FILE_TYPE_DISK;
    BY_HANDLE_FILE_INFORMATION info{};
    linked = !device && GetFileInformationByHandle(h, &info) && info.nNumberOfLinks > 1;
    CloseHandle(h);
    return device;
}

} // namespace

bool WriteFileReplacing(const std::string& path, const std::string& bytes, std::string& error) {
    if (DirectoryExists(path)) {
        SetLastError(ERROR_ACCESS_DENIED);
        error = ErrorText(path);
        return false;
    }
    // A replacement would also cut a hard link: the other names would keep the old page.
    bool linked = false;
    if (IsNotAPlainFile(path, linked) || linked)
        return WriteInPlace(path, bytes, error);
    const std::string temp = ReplacementName(path);
    // The leftover of a run that was killed is removed only when it is met (leftovers are
    // removed at start as well): a look for it per write would be one more operation on the
    // folder for every page.
    HANDLE h = OpenForWriting(temp, CREATE_NEW);
    if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS) {
        RemoveReplacementLeftover(path);
        h = OpenForWriting(temp, CREATE_NEW);
    }
    if (h == INVALID_HANDLE_VALUE) // e.g. no right to create files in the folder
        return WriteInPlace(path, bytes, error);
    // A failed write (disk full) must not fall back to the target: that would truncate it.
    if (!WriteAndClose(h, path, bytes, error)) {
        DeleteFileA(temp.c_str());
        return false;
    }
    // ReplaceFile keeps the target's rights, attributes and creation time; a new target has
    // none to keep. Either fails when the target is held open without delete sharing (a web
    // server reading it): then in place.
    const bool exists = GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    const bool replaced = exists ? ReplaceFileA(path.c_str(), temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                                                nullptr, nullptr) != FALSE
                                 : MoveFileExA(temp.c_str(), path.c_str(), 0) != FALSE;
    if (!replaced) {
        DeleteFileA(temp.c_str());
        return WriteInPlace(path, bytes, error);
    }
    return true;
}

void RemoveReplacementLeftover(const std::string& path) noexcept {
    try {
        const std::string temp = ReplacementName(path);
        const DWORD attributes = GetFileAttributesA(temp.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return;
        if (attributes & FILE_ATTRIBUTE_READONLY)
            SetFileAttributesA(temp.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
        DeleteFileA(temp.c_str());
    } catch (...) {
        // no memory for the name: the next write meets the leftover and writes in place
    }
}

} // namespace kw::fs
