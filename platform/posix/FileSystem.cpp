// POSIX file-system queries.
#include "platform/FileSystem.h"
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace kw::fs {

namespace {
std::mutex g_pathLock;
std::string g_programPathOverride;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// "*" and "?" matching without regard to ASCII case, as FindFirstFile does it.
bool MaskMatches(const char* mask, const char* name) {
    const char* starMask = nullptr;
    const char* starName = nullptr;
    while (*name) {
        if (*mask == '*') {
            starMask = ++mask;
            starName = name;
        } else if (*mask == '?' || Lower(*mask) == Lower(*name)) {
            ++mask;
            ++name;
        } else if (starMask) {
            mask = starMask;
            name = ++starName;
        } else {
            return false;
        }
    }
    while (*mask == '*')
        ++mask;
    return *mask == 0;
}
} // namespace

char PathSeparator() { return '/'; }

bool FileExists(const std::string& path) {
    struct stat st{};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st{};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ProgramPath() {
    {
        std::lock_guard<std::mutex> lock(g_pathLock);
        if (!g_programPathOverride.empty())
            return g_programPathOverride;
    }
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

void SetProgramPathForTesting(const std::string& path) {
    std::lock_guard<std::mutex> lock(g_pathLock);
    g_programPathOverride = path;
}

std::vector<std::string> FindFiles(const std::string& folder, const std::string& mask) {
    std::vector<std::string> result;
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return result;
    while (dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == ".." || !MaskMatches(mask.c_str(), name.c_str()))
            continue;
        if (FileExists(IncludeTrailingSeparator(folder) + name))
            result.push_back(name);
    }
    closedir(dir);
    return result;
}

bool CreateNewFolder(const std::string& path, std::string& error) {
    // mkdir fails with EEXIST for any name in use, a dangling symbolic link included
    if (!path.empty() && mkdir(path.c_str(), 0700) == 0)
        return true;
    error = path + ": " + LastErrorText();
    return false;
}

bool RemoveFileAt(const std::string& path) { return !path.empty() && unlink(path.c_str()) == 0; }

bool RemoveEmptyFolder(const std::string& path) { return !path.empty() && rmdir(path.c_str()) == 0; }

std::string LastErrorText() { return std::strerror(errno); }

} // namespace kw::fs
