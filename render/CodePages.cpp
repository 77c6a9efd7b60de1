// Conversion tables from Windows-1251 into the output code pages.
#include "render/CodePages.h"
#include <array>

namespace kw {

namespace {

using TByteTable = std::array<uint8_t, 128>;

// Unicode of the Windows-1251 bytes 0x80..0xBF (0xC0..0xFF are А..я, U+0410..U+044F).
constexpr uint16_t Cp1251High[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98: 0x98 is unassigned
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

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
    '_',  '\'', '\'', '"',  '"',  0x07, '-',  '-',  '_',  'T',  '_',  '>',  '_',  '_',  '_',  '_',
    0x9A, 0xB6, 0xA6, '_',  0x9D, 0xBD, 0x81, 0x15, 0xB3, 0xBF, 0xB4, '<',  0x83, '-',  'R',  0xB7,
    0x9C, '+',  0xB6, 0xA6, 0xAD, 0xDE, 0x14, 0x9E, 0xA3, 0xBF, 0xA4, '>',  '_',  '_',  '_',  0xA7,
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

// UTF-8 forms of 0x80..0xFF: at most three bytes each, the length in the fourth.
struct TUtf8Form {
    char Bytes[3];
    uint8_t Length;
};

constexpr TUtf8Form Utf8Of(uint16_t cp) {
    TUtf8Form f{};
    if (cp < 0x800) {
        f.Bytes[0] = static_cast<char>(0xC0 | (cp >> 6));
        f.Bytes[1] = static_cast<char>(0x80 | (cp & 0x3F));
        f.Length = 2;
    } else {
        f.Bytes[0] = static_cast<char>(0xE0 | (cp >> 12));
        f.Bytes[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        f.Bytes[2] = static_cast<char>(0x80 | (cp & 0x3F));
        f.Length = 3;
    }
    return f;
}

constexpr std::array<TUtf8Form, 128> Utf8Table() {
    std::array<TUtf8Form, 128> t{};
    for (int i = 0; i < 64; ++i)
        t[i] = Utf8Of(Cp1251High[i]);
    for (int i = 0; i < 64; ++i)
        t[64 + i] = Utf8Of(static_cast<uint16_t>(0x0410 + i));
    return t;
}

constexpr std::array<TUtf8Form, 128> Utf8 = Utf8Table();

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

} // namespace

void RecodeAppend(std::string& out, std::string_view value, uint8_t index) {
    if (index == cpUTF8) {
        for (const char c : value) {
            const auto b = static_cast<uint8_t>(c);
            if (b < 0x80) {
                out.push_back(c);
            } else {
                const TUtf8Form& f = Utf8[b - 0x80];
                out.append(f.Bytes, f.Length);
            }
        }
        return;
    }
    const TByteTable* table = ByteTableFor(index);
    if (!table) {
        out.append(value);
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

std::string Recode(std::string_view value, uint8_t index) {
    std::string out;
    out.reserve(value.size());
    RecodeAppend(out, value, index);
    return out;
}

} // namespace kw
