// Output code pages. The byte tables are checked against Python's codecs, an independent
// converter, for every byte 0x80..0xFF; characters a page lacks against the documented choice.
#include "render/CodePages.h"
#include <gtest/gtest.h>
#include <cstdio>
#include <map>
#include <sstream>

namespace kw {
namespace {

// Every byte but the unassigned 0x98 is copied; 0x98 becomes the substitute "_" of the other
// pages (a raw one is a control character to XML and JSON readers).
TEST(Recode, UnknownAndIdentityIndexesCopy) {
    std::string all, assigned;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);
        assigned += b == 0x98 ? '_' : static_cast<char>(b);
    }
    EXPECT_EQ(Recode(all, cpWindows1251), assigned);
    EXPECT_EQ(Recode(all, 7), assigned);
    EXPECT_EQ(Recode(all, 255), assigned);
    const std::string ascii = "Hello, <b>world</b>! 0123456789 ~";
    for (uint8_t cp = 0; cp <= 4; ++cp)
        EXPECT_EQ(Recode(ascii, cp), ascii);
    for (uint8_t cp = 2; cp <= 4; ++cp)
        EXPECT_EQ(Recode(all, cp).size(), all.size());  // byte for byte
}

TEST(Recode, Examples) {
    const std::string privet = "\xCF\xF0\xE8\xE2\xE5\xF2";
    EXPECT_EQ(Recode(privet, cpKOI8R), "\xF0\xD2\xC9\xD7\xC5\xD4");
    EXPECT_EQ(Recode(privet, cpCP866), "\x8F\xE0\xA8\xA2\xA5\xE2");
    EXPECT_EQ(Recode(privet, cpUTF8).size(), 12u);
    EXPECT_EQ(Recode("\xAA\xBF\x97", cpKOI8U), "\xB4\xA7-");
    for (uint8_t cp = 0; cp <= 4; ++cp)
        EXPECT_EQ(Recode("a\x98" "b", cp), "a_b") << int(cp);
}

// No page writes a control byte for a character: a reader or device would act on it.
TEST(Recode, NoHighByteBecomesAControlByte) {
    for (uint8_t cp = 0; cp <= 4; ++cp) {
        for (int b = 0x80; b < 0x100; ++b) {
            const std::string got = Recode(std::string(1, static_cast<char>(b)), cp);
            for (const char c : got)
                EXPECT_GE(static_cast<unsigned char>(c), 0x20) << "page " << int(cp) << " byte " << std::hex << b;
        }
    }
}

// KOI8-U's substitutions for the characters it lacks: the product's table, except that the
// bullet is KOI8-U's own bullet operator and the section and pilcrow signs are "_" rather than
// the control bytes 0x07, 0x15 and 0x14.
const std::map<int, int> Koi8USubstitutes = {
    {0x82, 0x27}, {0x91, 0x27}, {0x92, 0x27}, {0x84, 0x22}, {0x93, 0x22}, {0x94, 0x22}, {0x85, 0x3A},
    {0x89, 0x25}, {0x8B, 0x3C}, {0xAB, 0x3C}, {0x9B, 0x3E}, {0xBB, 0x3E}, {0x96, 0x2D}, {0x97, 0x2D},
    {0xAD, 0x2D}, {0x99, 0x54}, {0xAE, 0x52}, {0xB1, 0x2B}, {0x86, 0x8A}, {0x87, 0xBC}, {0x95, 0x95},
    {0xA1, 0xB6}, {0xA2, 0xA6}, {0xA4, 0x9D}, {0xA6, 0x81}, {0xA7, '_'}, {0xAC, 0x83}, {0xB5, 0xDE},
    {0xB6, '_'}, {0xB9, 0xBF},
};

// Letters KOI8-R or CP866 lack become a letter that looks the same (Windows-1251 code of it).
const std::map<int, int> LookAlikes = {
    {0xA1, 0xD3}, {0xA2, 0xF3}, {0xA5, 0xC3}, {0xB4, 0xE3}, {0xAA, 0xC5}, {0xBA, 0xE5},
    {0xAF, 'I'},  {0xBF, 'i'},  {0xB2, 'I'},  {0xB3, 'i'},  {0xA3, 'J'},  {0xBC, 'j'},
    {0xBD, 'S'},  {0xBE, 's'},
};

#ifndef _WIN32
// One line per byte 0x80..0xFF: the byte and its forms in UTF-8, KOI8-R, KOI8-U and CP866,
// each in hex or "-" when the code page does not have the character.
std::map<int, std::vector<std::string>> PythonForms() {
    const char* script =
        "import codecs\n"
        "for b in range(0x80, 0x100):\n"
        "    try: c = bytes([b]).decode('cp1251')\n"
        "    except UnicodeDecodeError: c = None\n"
        "    row = [format(b, '02x')]\n"
        "    for enc in ('utf-8', 'koi8_r', 'koi8_u', 'cp866'):\n"
        "        try: row.append(c.encode(enc).hex() if c is not None else '-')\n"
        "        except UnicodeEncodeError: row.append('-')\n"
        "    print(' '.join(row))\n";
    std::FILE* pipe = popen(("/usr/bin/python3 -c \"" + std::string(script) + "\"").c_str(), "r");
    std::map<int, std::vector<std::string>> forms;
    if (!pipe)
        return forms;
    char line[256];
    while (std::fgets(line, sizeof line, pipe)) {
        std::istringstream in(line);
        std::string byte, form;
        in >> byte;
        while (in >> form)
            forms[std::stoi(byte, nullptr, 16)].push_back(form);
    }
    pclose(pipe);
    return forms;
}

std::string Hex(const std::string& bytes) {
    std::string out;
    char buf[3];
    for (const char c : bytes) {
        std::snprintf(buf, sizeof buf, "%02x", static_cast<unsigned char>(c));
        out += buf;
    }
    return out;
}

TEST(Recode, EveryHighByteAgainstPythonCodecs) {
    const auto forms = PythonForms();
    ASSERT_EQ(forms.size(), 128u) << "/usr/bin/python3 did not answer";
    const uint8_t pages[] = {cpUTF8, cpKOI8R, cpKOI8U, cpCP866};
    int compared = 0;
    for (const auto& [byte, row] : forms) {
        ASSERT_EQ(row.size(), 4u);
        const std::string in(1, static_cast<char>(byte));
        for (size_t p = 0; p < 4; ++p) {
            const std::string got = Recode(in, pages[p]);
            if (row[p] != "-") {
                EXPECT_EQ(Hex(got), row[p]) << "byte " << std::hex << byte << " page " << int(pages[p]);
                ++compared;
                continue;
            }
            // The character is missing from the page (or 0x98 is unassigned).
            ASSERT_EQ(got.size(), 1u);
            const int out = static_cast<unsigned char>(got[0]);
            if (pages[p] == cpUTF8) {
                EXPECT_EQ(byte, 0x98);
                EXPECT_EQ(got, "_");
            } else if (pages[p] == cpKOI8U) {
                const auto s = Koi8USubstitutes.find(byte);
                EXPECT_EQ(out, s != Koi8USubstitutes.end() ? s->second : '_') << std::hex << byte;
            } else if (const auto l = LookAlikes.find(byte); l != LookAlikes.end()) {
                EXPECT_EQ(got, Recode(std::string(1, static_cast<char>(l->second)), pages[p])) << std::hex << byte;
            } else if (byte == 0x95) {  // bullet: the bullet operator both pages have
                EXPECT_EQ(Hex(got), pages[p] == cpKOI8R ? "95" : "f9");
            } else {
                // Everything else becomes printable ASCII, the same as in KOI8-U where that is ASCII.
                EXPECT_TRUE(out >= 0x20 && out < 0x7F) << std::hex << byte;
                const auto s = Koi8USubstitutes.find(byte);
                if (s != Koi8USubstitutes.end() && s->second >= 0x20 && s->second < 0x7F) {
                    EXPECT_EQ(out, s->second) << std::hex << byte;
                }
            }
        }
    }
    EXPECT_GT(compared, 300);
}
#endif

// The Latin page, letter by letter against the two standards' tables (typed here from them).
// Russian: ICAO Doc 9303; Ukrainian: Resolution No. 55 of the Cabinet of Ministers of Ukraine
// (a value with one of Є І Ї Ґ reads as Ukrainian).
TEST(Latin, RussianLettersByIcao9303) {
    const char* const icao[33] = {"a", "b", "v", "g", "d", "e", "zh", "z", "i", "i", "k", "l", "m", "n", "o", "p", "r",
                                  "s", "t", "u", "f", "kh", "ts", "ch", "sh", "shch", "ie", "y", "", "e", "iu", "ia", "e"};
    for (int i = 0; i < 33; ++i) {
        const char small = static_cast<char>(i < 32 ? 0xE0 + i : 0xB8);  // а..я, ё
        const char capital = static_cast<char>(i < 32 ? 0xC0 + i : 0xA8);
        std::string word = icao[i];
        EXPECT_EQ(Recode(std::string(1, small), cpLatin), word) << i;
        if (!word.empty())
            word[0] = static_cast<char>(word[0] - 'a' + 'A');
        EXPECT_EQ(Recode(std::string(1, capital) + "\xE0", cpLatin), word + "a") << i;  // Жа: Zha
    }
}

TEST(Latin, UkrainianLettersByTheNationalRule) {
    struct TLetter {
        char Small;
        const char* Initial;  // at the start of a word
        const char* Inside;
    };
    const TLetter ukrainian[] = {
        {'\xE0', "a", "a"},   {'\xE1', "b", "b"},   {'\xE2', "v", "v"},     {'\xE3', "h", "h"},
        {'\xB4', "g", "g"},   {'\xE4', "d", "d"},   {'\xE5', "e", "e"},     {'\xBA', "ye", "ie"},
        {'\xE6', "zh", "zh"}, {'\xE7', "z", "z"},   {'\xE8', "y", "y"},     {'\xB3', "i", "i"},
        {'\xBF', "yi", "i"},  {'\xE9', "y", "i"},   {'\xEA', "k", "k"},     {'\xEB', "l", "l"},
        {'\xEC', "m", "m"},   {'\xED', "n", "n"},   {'\xEE', "o", "o"},     {'\xEF', "p", "p"},
        {'\xF0', "r", "r"},   {'\xF1', "s", "s"},   {'\xF2', "t", "t"},     {'\xF3', "u", "u"},
        {'\xF4', "f", "f"},   {'\xF5', "kh", "kh"}, {'\xF6', "ts", "ts"},   {'\xF7', "ch", "ch"},
        {'\xF8', "sh", "sh"}, {'\xF9', "shch", "shch"}, {'\xFC', "", ""},   {'\xFE', "yu", "iu"},
        {'\xFF', "ya", "ia"},
    };
    for (const TLetter& l : ukrainian) {
        // "і" in front marks the value as Ukrainian; a blank puts the letter at a word's start
        EXPECT_EQ(Recode(std::string("\xB3") + l.Small, cpLatin), std::string("i") + l.Inside) << l.Initial;
        EXPECT_EQ(Recode(std::string("\xB3 ") + l.Small, cpLatin), std::string("i ") + l.Initial) << l.Initial;
    }
    // the standard's own examples
    EXPECT_EQ(Recode("\xC7\xE3\xEE\xF0\xE0\xED\xE8 \xCA\xE8\xBF\xE2", cpLatin), "Zghorany Kyiv");
    EXPECT_EQ(Recode("\xAA\xED\xE0\xEA\xB3\xBA\xE2\xE5", cpLatin), "Yenakiieve");
    EXPECT_EQ(Recode("\xDE\xF0\xB3\xE9 \xD5\xE0\xF0\xEA\xB3\xE2", cpLatin), "Yurii Kharkiv");
    EXPECT_EQ(Recode("\xEF'\xFF\xF2\xED\xE8\xF6\xFF \xB3", cpLatin), "piatnytsia i");  // the apostrophe goes
}

// Mixed text: ASCII as it is, a word of capitals in capitals, punctuation by the substitutes of
// the other pages; nothing outside ASCII, whatever the byte.
TEST(Latin, MixedTextAndEveryByte) {
    EXPECT_EQ(Recode("DJ \xD9\xB8\xEB\xEA\xEE\xE2\xEE \x96 \xAB\xDE\xD0\xC8\xC9\xBB \xB9" "1", cpLatin),
              "DJ Shchelkovo - <IURII> N1");
    EXPECT_EQ(Recode("\xC0\xA0\xA1\xE7", cpLatin), "A Uz");
    // the guide's examples
    EXPECT_EQ(Recode("\xC1\xEE\xF0\xE8\xF1 \xC3\xF0\xE5\xE1\xE5\xED\xF9\xE8\xEA\xEE\xE2", cpLatin),
              "Boris Grebenshchikov");
    EXPECT_EQ(Recode("\xCE\xEA\xE5\xE0\xED \xC5\xEB\xFC\xE7\xE8 \x97 \xCE\xE1\xB3\xE9\xEC\xE8", cpLatin),
              "Okean Elzy - Obiimy");  // no-break space; Ў as its look-alike У
    for (int b = 0; b < 256; ++b) {
        const std::string got = Recode(std::string(1, static_cast<char>(b)), cpLatin);
        for (const char c : got)
            EXPECT_TRUE(static_cast<unsigned char>(c) < 0x80) << std::hex << b;
        if (b >= 0x20 && b < 0x80) {
            EXPECT_EQ(got, std::string(1, static_cast<char>(b)));
        }
    }
}

} // namespace
} // namespace kw
