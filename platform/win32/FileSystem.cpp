// Win32 file-system queries.
#include "platform/FileSystem.h"
#include "platform/Message.h"
#include <mutex>
#include <windows.h>

namespace kw::fs {

namespace {
std::mutex g_pathLock;
std::string g_programPathOverride;
} // namespace

char PathSeparator() { return '\\'; }

bool FileExists(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return !path.empty() && a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return !path.empty() && a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ProgramPath() {
    {
        std::lock_guard<std::mutex> lock(g_pathLock);
        if (!g_programPathOverride.empty())
            return g_programPathOverride;
    }
    std::string buf(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = GetModuleFileNameA(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0)
            return {};
        if (n < buf.size()) {
            buf.resize(n);
            return buf;
        }
        buf.resize(buf.size() * 2);
    }
}

void SetProgramPathForTesting(const std::string& path) {
    std::lock_guard<std::mutex> lock(g_pathLock);
    g_programPathOverride = path;
}

std::vector<std::string> FindFiles(const std::string& folder, const std::string& mask) {
    std::vector<std::string> result;
    WIN32_FIND_DATAA fd;
    const std::string pattern = IncludeTrailingSeparator(folder) + mask;
    HANDLE h = FindFirstFileA(pattern.c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return result;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            result.emplace_back(fd.cFileName);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return result;
}

bool CreateNewFolder(const std::string& path, std::string& error) {
    // fails with ERROR_ALREADY_EXISTS for any name in use, whatever it names
    if (!path.empty() && CreateDirectoryA(path.c_str(), nullptr))
        return true;
    error = path + ": " + LastErrorText();
    return false;
}

bool RemoveFileAt(const std::string& path) { return !path.empty() && DeleteFileA(path.c_str()); }

bool RemoveEmptyFolder(const std::string& path) { return !path.empty() && RemoveDirectoryA(path.c_str()); }

std::string LastErrorText() {
    const DWORD code = GetLastError();
    char* text = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result =
        n && text ? std::string(text, n) : TextOf(TMessage::Of("SystemError", {std::to_string(code)}));
    if (text)
        LocalFree(text);
    while (!result.empty() && (result.back() == '\r' || result.back() == '\n' || result.back() == ' ' || result.back() == '.'))
        result.pop_back();
    return result;
}

} // namespace kw::fs
