// Conversion of names between the ANSI code page (Windows-1251) and UTF-8, for servers that
// keep their file names in UTF-8.
#pragma once
#include <string>

namespace kw::ftp {

// Every byte of `ansi` as UTF-8 (0x98, unassigned in Windows-1251, maps to U+0098 as Windows does).
std::string AnsiToUtf8(const std::string& ansi);

// `utf8` in Windows-1251. Characters without a Windows-1251 form and malformed UTF-8
// sequences become "?", one per character or per malformed byte.
std::string Utf8ToAnsi(const std::string& utf8);

} // namespace kw::ftp
