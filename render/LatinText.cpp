// Transliteration of Windows-1251 values into Latin letters.
#include "render/LatinText.h"
#include "render/CodePages.h"
#include <cstdint>

namespace kw {

namespace {

// Small letters а..я (Windows-1251 0xE0..0xFF) by ICAO Doc 9303.
constexpr const char* Icao[32] = {
    "a", "b", "v", "g", "d", "e", "zh", "z", "i", "i", "k", "l", "m", "n", "o", "p",
    "r", "s", "t", "u", "f", "kh", "ts", "ch", "sh", "shch", "ie", "y", "", "e", "iu", "ia",
};

// The same letters by the Ukrainian national rule, within a word; null: the letter is not in
// the Ukrainian alphabet (the Russian rule applies).
constexpr const char* Ukrainian[32] = {
    "a", "b", "v", "h", "d", "e", "zh", "z", "y", "i", "k", "l", "m", "n", "o", "p",
    "r", "s", "t", "u", "f", "kh", "ts", "ch", "sh", "shch", nullptr, nullptr, "", nullptr, "iu", "ia",
};

// Windows-1251 bytes of the letters only Ukrainian has, and of Ё.
constexpr uint8_t BigYe = 0xAA, SmallYe = 0xBA, BigI = 0xB2, SmallI = 0xB3, BigYi = 0xAF, SmallYi = 0xBF;
constexpr uint8_t BigGe = 0xA5, SmallGe = 0xB4, BigYo = 0xA8, SmallYo = 0xB8;
constexpr uint8_t SmallZe = 0xE7, SmallHe = 0xE3, SmallShortI = 0xE9, SmallYu = 0xFE, SmallYa = 0xFF;
constexpr uint8_t BigShortU = 0xA1, SmallShortU = 0xA2;
constexpr uint8_t Apostrophe = '\'', RightQuote = 0x92, NoBreakSpace = 0xA0;

bool IsUpperCyrillic(uint8_t b) {
    return (b >= 0xC0 && b <= 0xDF) || b == BigYe || b == BigI || b == BigYi || b == BigGe || b == BigYo;
}
bool IsLowerCyrillic(uint8_t b) {
    return b >= 0xE0 || b == SmallYe || b == SmallI || b == SmallYi || b == SmallGe || b == SmallYo;
}
bool IsUpper(uint8_t b) { return (b >= 'A' && b <= 'Z') || IsUpperCyrillic(b); }
bool IsLower(uint8_t b) { return (b >= 'a' && b <= 'z') || IsLowerCyrillic(b); }
bool IsLetter(uint8_t b) { return IsUpper(b) || IsLower(b); }

// The small form of a Cyrillic capital.
uint8_t Small(uint8_t b) {
    if (b >= 0xC0 && b <= 0xDF)
        return static_cast<uint8_t>(b + 0x20);
    switch (b) {
    case BigYe: return SmallYe;
    case BigI: return SmallI;
    case BigYi: return SmallYi;
    case BigGe: return SmallGe;
    case BigYo: return SmallYo;
    default: return b;
    }
}

bool HoldsUkrainianLetter(std::string_view value) {
    for (const char c : value) {
        const auto b = static_cast<uint8_t>(c);
        if (b == BigYe || b == SmallYe || b == BigI || b == SmallI || b == BigYi || b == SmallYi || b == BigGe ||
            b == SmallGe)
            return true;
    }
    return false;
}

class TLatinWriter {
public:
    TLatinWriter(std::string& out, std::string_view value)
        : out_(out), value_(value), ukrainian_(HoldsUkrainianLetter(value)) {}

    void Write() {
        for (size_t i = 0; i < value_.size(); ++i)
            WriteAt(i);
    }

private:
    uint8_t At(size_t i) const { return i < value_.size() ? static_cast<uint8_t>(value_[i]) : 0; }

    // A letter at `i` starts a word (an apostrophe inside a word does not end it).
    bool StartsWord(size_t i) const {
        if (i == 0)
            return true;
        const uint8_t before = At(i - 1);
        if ((before == Apostrophe || before == RightQuote) && i >= 2 && IsLetter(At(i - 2)))
            return false;
        return !IsLetter(before);
    }

    void WriteAt(size_t i) {
        const uint8_t b = At(i);
        if (b < 0x80) {
            // Ukrainian omits the apostrophe between two letters.
            if (!(ukrainian_ && b == Apostrophe && ApostropheInWord(i)))
                out_ += static_cast<char>(b);
            return;
        }
        if (b == RightQuote && ukrainian_ && ApostropheInWord(i))
            return;
        if (IsLetter(b)) {
            WriteLetter(i, Spelling(i, Small(b)), IsUpper(b));
            return;
        }
        WriteSubstitute(i, b);
    }

    bool ApostropheInWord(size_t i) const { return i > 0 && IsLetter(At(i - 1)) && IsLetter(At(i + 1)); }

    const char* Spelling(size_t i, uint8_t small) const {
        const bool initial = StartsWord(i);
        switch (small) {
        case SmallYo: return "e";
        case SmallYe: return initial ? "ye" : "ie";
        case SmallI: return "i";
        case SmallYi: return initial ? "yi" : "i";
        case SmallGe: return "g";
        default: break;
        }
        const size_t index = static_cast<size_t>(small - 0xE0);
        if (!ukrainian_ || !Ukrainian[index])
            return Icao[index];
        if (initial && small == SmallShortI)
            return "y";
        if (initial && small == SmallYu)
            return "yu";
        if (initial && small == SmallYa)
            return "ya";
        // "зг" keeps the г apart from the digraph "zh"
        if (small == SmallHe && i > 0 && Small(At(i - 1)) == SmallZe)
            return "gh";
        return Ukrainian[index];
    }

    // A capital: the whole spelling in capitals within a word of capitals, else only its first
    // letter.
    void WriteLetter(size_t i, const char* spelling, bool capital) {
        const bool allCaps = capital && (IsUpper(At(i + 1)) || (i > 0 && IsUpper(At(i - 1)) && !IsLower(At(i + 1))));
        for (const char* p = spelling; *p; ++p) {
            const bool upper = capital && (p == spelling || allCaps);
            out_ += upper ? static_cast<char>(*p - 'a' + 'A') : *p;
        }
    }

    void WriteSubstitute(size_t i, uint8_t b) {
        if (b == NoBreakSpace) {
            out_ += ' ';
            return;
        }
        // Ў has the look-alike У in the other code pages.
        if (b == BigShortU || b == SmallShortU) {
            WriteLetter(i, "u", b == BigShortU);
            return;
        }
        const uint8_t koi8 = Koi8RSubstitute(b);
        out_ += koi8 < 0x80 ? static_cast<char>(koi8) : '_';
    }

    std::string& out_;
    std::string_view value_;
    bool ukrainian_;
};

} // namespace

void AppendLatin(std::string& out, std::string_view value) { TLatinWriter(out, value).Write(); }

} // namespace kw
