// Conversion of names between the ANSI code page (Windows-1251) and UTF-8, for servers that
// keep their file names in UTF-8; the FTP side's names for the program's Windows-1251 module.
#pragma once
#include "platform/Cp1251.h"
#include <string>

namespace kw::ftp {

// Every byte of `ansi` as UTF-8 (0x98, unassigned in Windows-1251, maps to U+0098 as Windows does).
inline std::string AnsiToUtf8(const std::string& ansi) {
    return Cp1251ToUtf8(ansi);
}

// `utf8` in Windows-1251. Characters without a Windows-1251 form and malformed UTF-8
// sequences become "?", one per character or per malformed byte.
inline std::string Utf8ToAnsi(const std::string& utf8) {
    return Utf8ToCp1251(utf8, '?');
}

} // namespace kw::ftp
