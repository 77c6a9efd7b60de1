// Portable path helpers: both separators are accepted so that Windows paths read the same in
// the native build's tests.
#include "platform/FileSystem.h"

namespace kw::fs {

namespace {
bool IsSeparator(char c) { return c == '\\' || c == '/' || c == ':'; }

size_t NameStart(const std::string& path) {
    size_t i = path.size();
    while (i > 0 && !IsSeparator(path[i - 1]))
        --i;
    return i;
}
} // namespace

std::string ExtractFileName(const std::string& path) { return path.substr(NameStart(path)); }

std::string ExtractFilePath(const std::string& path) { return path.substr(0, NameStart(path)); }

std::string ExtractFileExt(const std::string& path) {
    const size_t start = NameStart(path);
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < start)
        return {};
    return path.substr(dot);
}

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
    const size_t start = NameStart(path);
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < start)
        return path + ext;
    return path.substr(0, dot) + ext;
}

std::string IncludeTrailingSeparator(const std::string& folder) {
    if (folder.empty() || IsSeparator(folder.back()))
        return folder;
    return folder + PathSeparator();
}

} // namespace kw::fs
