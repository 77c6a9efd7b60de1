// Win32 whole-file I/O: write to a temporary beside the target, then MoveFileEx over it.
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

std::string TemporaryName(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    return path + ".~" + std::to_string(GetCurrentProcessId()) + "." + std::to_string(counter.fetch_add(1)) +
           ".tmp";
}

} // namespace

bool ReadWholeFile(const std::string& path, std::string& out, std::string& error) {
    out.clear();
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = ErrorText(path);
        return false;
    }
    char buf[65536];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(h, buf, sizeof buf, &n, nullptr)) {
            error = ErrorText(path);
            CloseHandle(h);
            out.clear();
            return false;
        }
        if (n == 0)
            break;
        out.append(buf, n);
    }
    CloseHandle(h);
    return true;
}

bool WriteFileReplacing(const std::string& path, const std::string& bytes, std::string& error) {
    if (DirectoryExists(path)) {
        SetLastError(ERROR_ACCESS_DENIED);
        error = ErrorText(path);
        return false;
    }
    const std::string temp = TemporaryName(path);
    HANDLE h = OpenForWriting(temp, CREATE_NEW);
    if (h == INVALID_HANDLE_VALUE) // e.g. no right to create files in the folder
        return WriteInPlace(path, bytes, error);
    // A failed write (disk full) must not fall back to the target: that would truncate it.
    if (!WriteAndClose(h, path, bytes, error)) {
        DeleteFileA(temp.c_str());
        return false;
    }
    // Fails when the target is held open without delete sharing (a web server reading it).
    if (!MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileA(temp.c_str());
        return WriteInPlace(path, bytes, error);
    }
    return true;
}

} // namespace kw::fs
