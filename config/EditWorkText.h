// Text rules of the work editor and the settings dialog over single-byte (Windows-1251) text:
// trimming as the editor trims, upper case as the system's ANSI upper case does it for the
// Cyrillic code page, and the quote rule of file-name fields.
#pragma once
#include <string>

namespace kw {

// Drops blanks and control characters (codes up to 32) at both ends.
std::string TrimText(const std::string& text);

// Upper case of Windows-1251 text: Latin and Cyrillic letters, including the letters of the
// code page's upper half that are not Russian (Ukrainian, Belarusian, Serbian, Macedonian).
std::string AnsiUpperCase(const std::string& text);

// A file-name field shows a name containing blanks in double quotes...
std::string QuoteFileName(const std::string& name);
// ...and the value taken from it drops such quotes again.
std::string UnquoteFileName(const std::string& shown);

} // namespace kw
