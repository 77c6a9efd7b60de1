// Output code pages: the values inserted into a page are Windows-1251 text as the host sends
// it and are converted into the work's code page; the template's own text is never touched.
//
// Characters a target lacks (the code pages cannot hold every Windows-1251 character):
//  - KOI8-U writes them as its fixed substitution table says (quotes, dashes and signs as ASCII,
//    some as the pseudo-graphics that show them in old terminals, "_" for the rest). No
//    printable character becomes a control byte: the bullet is KOI8-U's bullet operator (0x95),
//    as in KOI8-R, and the section and pilcrow signs are "_", as in KOI8-R.
//  - KOI8-R and CP866 use the same ASCII substitutes as KOI8-U for punctuation and signs, so a
//    page reads the same in all three. Letters they lack become the letter that looks the same
//    (Ukrainian and Belarusian letters in KOI8-R: Є->Е, Ґ->Г, Ў->У, І and Ї->Latin I, ...;
//    Ј, Ѕ and І as their Latin twins), the bullet becomes the bullet operator both pages have,
//    dagger and double dagger "+", broken bar "|", micro sign "u", numero sign "N" (KOI8-R),
//    copyright sign "C" (CP866). Letters without a look-alike (Ђ Ѓ Љ Њ Ќ Ћ Џ and their small
//    forms), the euro, section and pilcrow signs and the unassigned byte 0x98 become "_".
//  - The unassigned byte 0x98 becomes "_" in every code page, Windows-1251 and UTF-8 included:
//    as a raw byte (or U+0098) it is a control character that XML and strict JSON readers refuse.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace kw {

// The work's CodePage field: the order the work editor offers the names in.
enum TCodePage : uint8_t {
    cpWindows1251 = 0,
    cpUTF8 = 1,
    cpKOI8R = 2,
    cpKOI8U = 3,
    cpCP866 = 4,
    cpLatin = 5,  // Latin letters: Cyrillic transliterated (render/LatinText.h)
};

// The value converted into code page `index`; an unknown index copies the value unchanged.
std::string Recode(std::string_view value, uint8_t index);

// As Recode, appending to `out` (the template engine builds a line in one buffer).
void RecodeAppend(std::string& out, std::string_view value, uint8_t index);

// The KOI8-R byte of Windows-1251 byte `b` (0x80..0xBF): the substitutes the code pages share.
uint8_t Koi8RSubstitute(uint8_t b);

} // namespace kw
