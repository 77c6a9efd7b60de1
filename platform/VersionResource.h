// File version resources (GetFileVersionInfoSizeA, GetFileVersionInfoA, VerQueryValueA). A
// platform without version resources reports none: size 0 and every query failing.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kw::version {

// The size of a file's version information; 0 when it has none or cannot be read.
uint32_t FileVersionInfoSize(const std::string& file);

// Loads the version information of `file` into `block`, which has the size reported above.
bool LoadFileVersionInfo(const std::string& file, std::vector<uint8_t>& block);

// The first language and code page pair of "\VarFileInfo\Translation".
bool QueryTranslation(const std::vector<uint8_t>& block, uint16_t& language, uint16_t& codePage);

// A string value such as "\StringFileInfo\041904E3\FileVersion", up to its terminating zero.
bool QueryString(const std::vector<uint8_t>& block, const std::string& path, std::string& value);

} // namespace kw::version
