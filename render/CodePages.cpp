// Conversion tables from Windows-1251 into the single-byte output code pages; UTF-8 comes from
// the program's Windows-1251 table.
#include "render/CodePages.h"
#include "platform/Cp1251.h"
#include "render/LatinText.h"
#include <algorithm>
#include <array>
#include <cstring>

namespace kw {

namespace {

using TByteTable = std::array<uint8_t, 128>;

// KOI8 codes of the small letters а..я in alphabetical order; the capitals are 0x20 higher.
constexpr uint8_t Koi8Small[32] = {
    0xC1, 0xC2, 0xD7, 0xC7, 0xC4, 0xC5, 0xD6, 0xDA, 0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF, 0xD0,
    0xD2, 0xD3, 0xD4, 0xD5, 0xC6, 0xC8, 0xC3, 0xDE, 0xDB, 0xDD, 0xDF, 0xD9, 0xD8, 0xDC, 0xC0, 0xD1,
};

// Windows-1251 bytes 0x80..0xBF in KOI8-R, KOI8-U and CP866 (see CodePages.h for the
// characters a page lacks).
constexpr uint8_t Koi8RHigh[64] = {
    '_',  '_',  '\'', '_',  '"',  ':',  '+',  '+',  '_',  '%',  '_',  '<',  '_',  '_',  '_',  '_',
    '_',  '\'', '\'', '"',  '"',  0x95, '-',  '-',  '_',  'T',  '_',  '>',  '_',  '_',  '_',  '_',
    0x9A, 0xF5, 0xD5, 'J',  '_',  0xE7, '|',  '_',  0xB3, 0xBF, 0xE5, '<',  '-',  '-',  'R',  'I',
    0x9C, '+',  'I',  'i',  0xC7, 'u',  '_',  0x9E, 0xA3, 'N',  0xC5, '>',  'j',  'S',  's',  'i',
};

constexpr uint8_t Koi8UHigh[64] = {
    '_',  '_',  '\'', '_',  '"',  ':',  0x8A, 0xBC, '_',  '%',  '_',  '<',  '_',  '_',  '_',  '_',
    '_',  '\'', '\'', '"',  '"',  0x95, '-',  '-',  '_',  'T',  '_',  '>',  '_',  '_',  '_',  '_',
    0x9A, 0xB6, 0xA6, '_',  0x9D, 0xBD, 0x81, '_',  0xB3, 0xBF, 0xB4, '<',  0x83, '-',  'R',  0xB7,
    0x9C, '+',  0xB6, 0xA6, 0xAD, 0xDE, '_',  0x9E, 0xA3, 0xBF, 0xA4, '>',  '_',  '_',  '_',  0xA7,
};

constexpr uint8_t Cp866High[64] = {
    '_',  '_',  '\'', '_',  '"',  ':',  '+',  '+',  '_',  '%',  '_',  '<',  '_',  '_',  '_',  '_',
    '_',  '\'', '\'', '"',  '"',  0xF9, '-',  '-',  '_',  'T',  '_',  '>',  '_',  '_',  '_',  '_',
    0xFF, 0xF6, 0xF7, 'J',  0xFD, 0x83, '|',  '_',  0xF0, 'C',  0xF2, '<',  '-',  '-',  'R',  0xF4,
    0xF8, '+',  'I',  'i',  0xA3, 'u',  '_',  0xFA, 0xF1, 0xFC, 0xF3, '>',  'j',  'S',  's',  0xF5,
};

constexpr TByteTable Koi8Table(const uint8_t (&high)[64]) {
    TByteTable t{};
    for (int i = 0; i < 64; ++i)
        t[i] = high[i];
    for (int i = 0; i < 32; ++i) {
        t[0x40 + i] = static_cast<uint8_t>(Koi8Small[i] + 0x20);  // А..Я
        t[0x60 + i] = Koi8Small[i];                               // а..я
    }
    return t;
}

constexpr TByteTable Cp866Table() {
    TByteTable t{};
    for (int i = 0; i < 64; ++i)
        t[i] = Cp866High[i];
    for (int i = 0; i < 32; ++i) {
        t[0x40 + i] = static_cast<uint8_t>(0x80 + i);                               // А..Я
        t[0x60 + i] = static_cast<uint8_t>(i < 16 ? 0xA0 + i : 0xE0 + (i - 16));  // а..я
    }
    return t;
}

constexpr TByteTable Koi8R = Koi8Table(Koi8RHigh);
constexpr TByteTable Koi8U = Koi8Table(Koi8UHigh);
constexpr TByteTable Cp866 = Cp866Table();

const TByteTable* ByteTableFor(uint8_t index) {
    switch (index) {
    case cpKOI8R:
        return &Koi8R;
    case cpKOI8U:
        return &Koi8U;
    case cpCP866:
        return &Cp866;
    default:
        return nullptr;
    }
}

// The byte Windows-1251 leaves unassigned, and what every code page writes for it.
constexpr char Unassigned = static_cast<char>(0x98);
constexpr char Substitute = '_';

// Appends `value` with its unassigned bytes replaced (they are rare: the value is copied whole
// unless it holds one).
void AppendAssigned(std::string& out, std::string_view value) {
    const size_t start = out.size();
    out.append(value);
    if (std::memchr(value.data(), Unassigned, value.size()))
        std::replace(out.begin() + static_cast<std::ptrdiff_t>(start), out.end(), Unassigned, Substitute);
}

} // namespace

void RecodeAppend(std::string& out, std::string_view value, uint8_t index) {
    if (index == cpUTF8) {
        if (std::memchr(value.data(), Unassigned, value.size())) {
            std::string assigned;
            AppendAssigned(assigned, value);
            AppendCp1251AsUtf8(out, assigned);
        } else {
            AppendCp1251AsUtf8(out, value);
        }
        return;
    }
    if (index == cpLatin) {
        AppendLatin(out, value);
        return;
    }
    const TByteTable* table = ByteTableFor(index);
    if (!table) {
        AppendAssigned(out, value);
        return;
    }
    const size_t start = out.size();
    out.append(value);
    for (size_t i = start; i < out.size(); ++i) {
        const auto b = static_cast<uint8_t>(out[i]);
        if (b >= 0x80)
            out[i] = static_cast<char>((*table)[b - 0x80]);
    }
}

uint8_t Koi8RSubstitute(uint8_t b) { return b >= 0x80 && b < 0xC0 ? Koi8RHigh[b - 0x80] : static_cast<uint8_t>('_'); }

std::string Recode(std::string_view value, uint8_t index) {
    std::string out;
    out.reserve(value.size());
    RecodeAppend(out, value, index);
    return out;
}

} // namespace kw
