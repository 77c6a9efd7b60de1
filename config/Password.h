// The stored form of FTP passwords: never plain in the settings file.
#pragma once
#include <string>

namespace kw {

// Each byte XORed with the repeated key "QVXZ", as two lower-case hexadecimal digits per byte.
std::string ScramblePassword(const std::string& text);

// The reverse: digit pairs (a character that is no hexadecimal digit counts as 0, a last odd
// character is ignored), XORed with the repeated key.
std::string UnscramblePassword(const std::string& text);

} // namespace kw
