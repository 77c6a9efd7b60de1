// Numbers and booleans in profile files: integers are written in decimal and read in decimal
// or, after "0x", in hexadecimal; booleans are written as 1 and 0 and read as "not 0".
#pragma once
#include <cstdint>
#include <string>

namespace kw {

// The whole text as a 32-bit integer: an optional sign and decimal digits, or "0x"/"0X" and
// hexadecimal digits. False for anything else (empty, trailing characters, out of range).
bool ParseIniInteger(const std::string& text, int32_t& value);

// The text's integer, or `def` when it is not a number. A number outside min..max also gives
// `def`: a value the field cannot hold is as unusable as text.
int32_t IniIntegerOf(const std::string& text, int32_t def, int32_t min = INT32_MIN, int32_t max = INT32_MAX);
// The text as a boolean ("not 0"), or `def` when it is not a number.
bool IniBoolOf(const std::string& text, bool def);

[[nodiscard]] bool WriteIniInteger(const std::string& file, const std::string& section,
                                   const std::string& key, int32_t value);
[[nodiscard]] bool WriteIniBool(const std::string& file, const std::string& section, const std::string& key,
                                bool value);

} // namespace kw
