// Text rules shared by the work editor and the settings dialog.
#include "config/EditWorkText.h"
#include <array>

namespace kw {

namespace {

// Upper case for every byte of Windows-1251. The upper half pairs small and capital letters
// at fixed distances (0xE0..0xFF -> 0xC0..0xDF) plus the scattered extra letters.
std::array<unsigned char, 256> BuildUpperTable() {
    std::array<unsigned char, 256> t{};
    for (int i = 0; i < 256; ++i)
        t[i] = static_cast<unsigned char>(i);
    for (int c = 'a'; c <= 'z'; ++c)
        t[c] = static_cast<unsigned char>(c - 32);
    for (int c = 0xE0; c <= 0xFF; ++c)
        t[c] = static_cast<unsigned char>(c - 32);
    const unsigned char pairs[][2] = {
        {0x83, 0x81}, {0x90, 0x80}, {0x9A, 0x8A}, {0x9C, 0x8C}, {0x9D, 0x8D}, {0x9E, 0x8E}, {0x9F, 0x8F},
        {0xA2, 0xA1}, {0xB3, 0xB2}, {0xB4, 0xA5}, {0xB8, 0xA8}, {0xBA, 0xAA}, {0xBC, 0xA3}, {0xBE, 0xBD},
        {0xBF, 0xAF},
    };
    for (const auto& p : pairs)
        t[p[0]] = p[1];
    return t;
}

const std::array<unsigned char, 256>& UpperTable() {
    static const std::array<unsigned char, 256> table = BuildUpperTable();
    return table;
}

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

} // namespace

std::string TrimText(const std::string& text) {
    size_t first = 0, last = text.size();
    while (first < last && IsBlank(text[first]))
        ++first;
    while (last > first && IsBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

std::string AnsiUpperCase(const std::string& text) {
    std::string out(text);
    const auto& table = UpperTable();
    for (char& c : out)
        c = static_cast<char>(table[static_cast<unsigned char>(c)]);
    return out;
}

std::string QuoteFileName(const std::string& name) {
    if (name.find(' ') == std::string::npos)
        return name;
    return '"' + name + '"';
}

std::string UnquoteFileName(const std::string& shown) {
    if (shown.size() >= 2 && shown.front() == '"' && shown.back() == '"')
        return shown.substr(1, shown.size() - 2);
    return shown;
}

} // namespace kw
