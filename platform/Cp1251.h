// Windows-1251, the code page of every text the program keeps and the host sends: its Unicode
// table, conversion to and from UTF-8, and upper case. One table for the whole program, so that
// the pages, the FTP names, the host's state keys and the editor's comparisons all agree.
//
// The byte 0x98 is unassigned in Windows-1251; it stands for U+0098, which is what Windows and
// web browsers read it as, so no byte is lost on the way to UTF-8 and back.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace kw {

// The Unicode code point of a Windows-1251 byte.
uint16_t Cp1251ToUnicode(uint8_t byte);

// Appends Windows-1251 text as UTF-8 (every byte has a form: at most three bytes of UTF-8).
void AppendCp1251AsUtf8(std::string& out, std::string_view text);
std::string Cp1251ToUtf8(std::string_view text);

// UTF-8 text in Windows-1251. A character without a Windows-1251 form becomes one `replacement`;
// a malformed byte (bad lead byte, missing continuation, overlong form, surrogate, beyond
// U+10FFFF, cut short) becomes one `replacement` each and decoding resumes at the next byte.
std::string Utf8ToCp1251(std::string_view utf8, char replacement = '?');

// Upper case as the system gives it for the Cyrillic code page: Latin letters and every letter
// pair of the upper half (Russian, Ukrainian, Belarusian, Serbian, Macedonian); everything
// else, the micro sign among it, stays as it is.
uint8_t UpperChar1251(uint8_t c);
std::string UpperCase1251(std::string text);

} // namespace kw
