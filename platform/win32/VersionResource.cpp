// Version resources through the Win32 version functions.
#include "platform/VersionResource.h"
#include <cstring>
#include <windows.h>

namespace kw::version {

uint32_t FileVersionInfoSize(const std::string& file) {
    DWORD ignored = 0;
    return GetFileVersionInfoSizeA(file.c_str(), &ignored);
}

bool LoadFileVersionInfo(const std::string& file, std::vector<uint8_t>& block) {
    return !block.empty() &&
           GetFileVersionInfoA(file.c_str(), 0, static_cast<DWORD>(block.size()), block.data()) != FALSE;
}

bool QueryTranslation(const std::vector<uint8_t>& block, uint16_t& language, uint16_t& codePage) {
    void* data = nullptr;
    UINT length = 0;
    if (block.empty() ||
        !VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &data, &length) || !data || length < 4)
        return false;
    WORD pair[2];
    std::memcpy(pair, data, sizeof pair);
    language = pair[0];
    codePage = pair[1];
    return true;
}

bool QueryString(const std::vector<uint8_t>& block, const std::string& path, std::string& value) {
    void* data = nullptr;
    UINT length = 0;
    if (block.empty() || !VerQueryValueA(block.data(), path.c_str(), &data, &length) || !data)
        return false;
    // The value lies inside the block; stop at its terminating zero or at the block's end.
    const char* text = static_cast<const char*>(data);
    const char* end = reinterpret_cast<const char*>(block.data()) + block.size();
    size_t n = 0;
    while (text + n < end && text[n] != '\0')
        ++n;
    value.assign(text, n);
    return true;
}

} // namespace kw::version
