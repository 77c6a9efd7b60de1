// The output code page "Latin": Cyrillic text in Latin letters for receivers that show none
// (RDS displays and the like).
//
// Russian and Ukrainian spell their letters differently (Г is G in Russian, H in Ukrainian), so a
// value is read as Ukrainian when it holds a letter only Ukrainian has (Є І Ї Ґ) and as Russian
// otherwise:
//  - Russian: ICAO Doc 9303 (Machine Readable Travel Documents, part 3), the rule of Russian
//    passports since 2013: Ж ZH, Х KH, Ц TS, Щ SHCH, Ъ IE, Ы Y, Ь omitted, Ю IU, Я IA, Ё E, Й I.
//  - Ukrainian: the national transliteration (Resolution No. 55 of the Cabinet of Ministers of
//    Ukraine, 27 January 2010), the rule of Ukrainian passports and road signs: Г H, Ґ G, И Y,
//    Є Ye, Ї Yi, Й Y, Ю Yu, Я Ya at the start of a word and ie, i, i, iu, ia elsewhere; "зг" is
//    "zgh"; Ь and the apostrophe are omitted. Letters of the Russian alphabet in such a value take
//    the Russian rule.
// A capital gives a capital: "Zh" in a capitalised word, "ZH" in a word of capitals.
// Everything else outside ASCII takes the substitute of the other code pages (KOI8-R's): ASCII
// punctuation as there, a Cyrillic look-alike in its Latin spelling (Ў as U), "_" for the rest;
// the no-break space is a space.
#pragma once
#include <string>
#include <string_view>

namespace kw {

// Appends `value` (Windows-1251) to `out` in Latin letters.
void AppendLatin(std::string& out, std::string_view value);

} // namespace kw
