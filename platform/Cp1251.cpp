// Windows-1251 tables: ASCII passes unchanged, the upper half goes through one table of code
// points, from which the UTF-8 forms and the reverse look-up are derived.
#include "platform/Cp1251.h"
#include <array>

namespace kw {

namespace {

// Code points of the bytes 0x80..0xBF; 0xC0..0xFF are А..я, U+0410..U+044F, in order.
constexpr uint16_t kHighHalf[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98: 0x98 is unassigned
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

constexpr uint16_t kFirstLetter = 0x0410;  // А, the code point of byte 0xC0

constexpr uint16_t CodePoint(uint8_t b) {
    if (b < 0x80)
        return b;
    if (b < 0xC0)
        return kHighHalf[b - 0x80];
    return static_cast<uint16_t>(kFirstLetter + (b - 0xC0));
}

// UTF-8 forms of 0x80..0xFF, built once: the page writer converts every value it inserts.
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
    for (int i = 0; i < 128; ++i)
        t[static_cast<size_t>(i)] = Utf8Of(CodePoint(static_cast<uint8_t>(0x80 + i)));
    return t;
}

constexpr std::array<TUtf8Form, 128> kUtf8 = Utf8Table();

// Small letters of the upper half and their capitals, outside the regular run а..я -> А..Я.
constexpr uint8_t kUpperPairs[][2] = {
    {0x83, 0x81},  // ѓ
    {0x90, 0x80},  // ђ
    {0x9A, 0x8A},  // љ
    {0x9C, 0x8C},  // њ
    {0x9D, 0x8D},  // ќ
    {0x9E, 0x8E},  // ћ
    {0x9F, 0x8F},  // џ
    {0xA2, 0xA1},  // ў
    {0xB3, 0xB2},  // і
    {0xB4, 0xA5},  // ґ
    {0xB8, 0xA8},  // ё
    {0xBA, 0xAA},  // є
    {0xBC, 0xA3},  // ј
    {0xBE, 0xBD},  // ѕ
    {0xBF, 0xAF},  // ї
};

constexpr std::array<uint8_t, 256> UpperTable() {
    std::array<uint8_t, 256> t{};
    for (int i = 0; i < 256; ++i)
        t[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    for (int c = 'a'; c <= 'z'; ++c)
        t[static_cast<size_t>(c)] = static_cast<uint8_t>(c - 32);
    for (int c = 0xE0; c <= 0xFF; ++c)
        t[static_cast<size_t>(c)] = static_cast<uint8_t>(c - 32);
    for (const auto& p : kUpperPairs)
        t[p[0]] = p[1];
    return t;
}

constexpr std::array<uint8_t, 256> kUpper = UpperTable();

// The Windows-1251 byte of a code point, or `replacement` when the code page has none.
char ByteOf(uint32_t cp, char replacement) {
    if (cp < 0x80)
        return static_cast<char>(cp);
    if (cp >= kFirstLetter && cp < kFirstLetter + 64u)
        return static_cast<char>(0xC0 + (cp - kFirstLetter));
    for (int i = 0; i < 64; ++i)
        if (kHighHalf[i] == cp)
            return static_cast<char>(0x80 + i);
    return replacement;
}

// Decodes one UTF-8 sequence at s[i]; returns its length, or 0 when it is malformed.
size_t DecodeOne(std::string_view s, size_t i, uint32_t& cp) {
    const auto b = static_cast<unsigned char>(s[i]);
    size_t len;
    uint32_t min;
    if (b < 0x80) {
        cp = b;
        return 1;
    } else if ((b & 0xE0) == 0xC0) {
        len = 2, cp = b & 0x1F, min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
        len = 3, cp = b & 0x0F, min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
        len = 4, cp = b & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (s.size() - i < len)
        return 0;
    for (size_t k = 1; k < len; ++k) {
        const auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

} // namespace

uint16_t Cp1251ToUnicode(uint8_t byte) {
    return CodePoint(byte);
}

void AppendCp1251AsUtf8(std::string& out, std::string_view text) {
    for (const char c : text) {
        const auto b = static_cast<uint8_t>(c);
        if (b < 0x80) {
            out.push_back(c);
        } else {
            const TUtf8Form& f = kUtf8[b - 0x80];
            out.append(f.Bytes, f.Length);
        }
    }
}

std::string Cp1251ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    AppendCp1251AsUtf8(out, text);
    return out;
}

std::string Utf8ToCp1251(std::string_view utf8, char replacement) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        uint32_t cp = 0;
        const size_t len = DecodeOne(utf8, i, cp);
        if (len == 0) {
            out += replacement;
            ++i;
        } else {
            out += ByteOf(cp, replacement);
            i += len;
        }
    }
    return out;
}

uint8_t UpperChar1251(uint8_t c) {
    return kUpper[c];
}

std::string UpperCase1251(std::string text) {
    for (char& c : text)
        c = static_cast<char>(kUpper[static_cast<uint8_t>(c)]);
    return text;
}

} // namespace kw
