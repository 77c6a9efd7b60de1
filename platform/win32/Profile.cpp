// Win32 profile files: the system's own profile functions, with buffers that grow until the
// whole value or list fits.
#include "platform/Profile.h"
#include "platform/ProfileText.h"
#include <windows.h>

namespace kw::profile {

namespace {

// Calls `get(buffer, size)` with a growing buffer. The profile functions signal a cut result
// by returning size - 1 (a value) or size - 2 (a list); `slack` says which.
template <class Get> std::string ReadGrowing(Get get, DWORD slack) {
    std::string buf(4096, '\0');
    for (;;) {
        const DWORD n = get(buf.data(), static_cast<DWORD>(buf.size()));
        if (n + slack < buf.size() || buf.size() >= (1u << 28))
            return buf.substr(0, n);
        buf.assign(buf.size() * 4, '\0');
    }
}

// Splits a list of NUL-terminated strings.
std::vector<std::string> SplitList(const std::string& list) {
    std::vector<std::string> items;
    size_t pos = 0;
    while (pos < list.size()) {
        const size_t end = list.find('\0', pos);
        const size_t stop = end == std::string::npos ? list.size() : end;
        if (stop > pos)
            items.push_back(list.substr(pos, stop - pos));
        pos = stop + 1;
    }
    return items;
}

} // namespace

std::string ReadString(const std::string& file, const std::string& section, const std::string& key,
                       const std::string& def) {
    return ReadGrowing(
        [&](char* buf, DWORD size) {
            return GetPrivateProfileStringA(section.c_str(), key.c_str(), def.c_str(), buf, size,
                                            file.c_str());
        },
        1);
}

std::vector<std::string> ReadSectionNames(const std::string& file) {
    return SplitList(ReadGrowing(
        [&](char* buf, DWORD size) { return GetPrivateProfileSectionNamesA(buf, size, file.c_str()); }, 2));
}

std::vector<std::string> ReadSectionLines(const std::string& file, const std::string& section) {
    return SplitList(ReadGrowing(
        [&](char* buf, DWORD size) {
            return GetPrivateProfileSectionA(section.c_str(), buf, size, file.c_str());
        },
        2));
}

bool WriteString(const std::string& file, const std::string& section, const std::string& key,
                 const std::string& value) {
    // The system would write a line break in a value as it stands and so add lines to the file.
    if (!IsWritable(section, key, value))
        return false;
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()) != FALSE;
}

bool DeleteKey(const std::string& file, const std::string& section, const std::string& key) {
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), nullptr, file.c_str()) != FALSE;
}

bool EraseSection(const std::string& file, const std::string& section) {
    return WritePrivateProfileStringA(section.c_str(), nullptr, nullptr, file.c_str()) != FALSE;
}

} // namespace kw::profile
