// The 57 tags in matching order.
#include "render/TagTable.h"
#include <cstdint>

namespace kw {

namespace {

constexpr TTagInfo Table[TagCount] = {
    {"SongArtist", TTag::SongArtist, true},
    {"SongTitle", TTag::SongTitle, true},
    {"SomgDuration", TTag::SomgDuration, true},  // the name pages have always used
    {"SongTimeL", TTag::SongTimeL, true},
    {"SongRunTime", TTag::SongRunTime, true},
    {"SongRunDate", TTag::SongRunDate, true},
    {"ElementArtist", TTag::ElementArtist, true},
    {"ElementTitle", TTag::ElementTitle, true},
    {"ElementType", TTag::ElementType, true},
    {"ElementDuration", TTag::ElementDuration, true},
    {"ElementRunTime", TTag::ElementRunTime, true},
    {"ElementRunDate", TTag::ElementRunDate, true},
    {"BlockName", TTag::BlockName, true},
    {"BlockType", TTag::BlockType, true},
    {"BlockDuration", TTag::BlockDuration, true},
    {"BlockRunTime", TTag::BlockRunTime, true},
    {"BlockRunDate", TTag::BlockRunDate, true},
    {"PlayListSongArtist", TTag::PlayListSongArtist, false},
    {"PlayListSongTitle", TTag::PlayListSongTitle, false},
    {"PlayListSongDuration", TTag::PlayListSongDuration, false},
    {"PlayListSongTimeL", TTag::PlayListSongTimeL, false},
    {"PlayListArtist", TTag::PlayListArtist, false},
    {"PlayListTitle", TTag::PlayListTitle, false},
    {"PlayListDuration", TTag::PlayListDuration, false},
    {"PlayListType", TTag::PlayListType, false},
    {"PlayedSongArtist", TTag::PlayedSongArtist, false},
    {"PlayedSongTitle", TTag::PlayedSongTitle, false},
    {"PlayedSongDuration", TTag::PlayedSongDuration, false},
    {"PlayedSongRunTime", TTag::PlayedSongRunTime, false},
    {"PlayedSongRunDate", TTag::PlayedSongRunDate, false},
    {"PlayedArtist", TTag::PlayedArtist, false},
    {"PlayedTitle", TTag::PlayedTitle, false},
    {"PlayedDuration", TTag::PlayedDuration, false},
    {"PlayedRunTime", TTag::PlayedRunTime, false},
    {"PlayedRunDate", TTag::PlayedRunDate, false},
    {"PlayedType", TTag::PlayedType, false},
    {"ClockName", TTag::ClockName, true},
    {"CurrentHour", TTag::CurrentHour, true},
    {"ClockType", TTag::ClockType, true},
    {"NClockName", TTag::NClockName, true},
    {"NextHour", TTag::NextHour, true},
    {"NClockType", TTag::NClockType, true},
    {"SourceIndex", TTag::SourceIndex, true},
    {"SourceStatus", TTag::SourceStatus, true},
    {"PlayerStatus", TTag::PlayerStatus, true},
    {"DetectorStatus", TTag::DetectorStatus, true},
    {"StudioLastTime", TTag::StudioLastTime, false},
    {"StudioLastDate", TTag::StudioLastDate, false},
    {"StudioOnline", TTag::StudioOnline, false},
    {"SystemTime", TTag::SystemTime, false},
    {"SystemDate", TTag::SystemDate, false},
    {"Studio_Status", TTag::Studio_Status, true},
    {"SysMSG", TTag::SysMSG, true},
    {"ExclMode", TTag::ExclMode, true},
    {"NExclMode", TTag::NExclMode, true},
    {"NExclTime", TTag::NExclTime, true},
    {"NExclDate", TTag::NExclDate, true},
};

constexpr char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Every name has at least this many characters; the first ones, upper-cased and packed into one
// number, tell the candidates apart in one comparison.
constexpr size_t KeyLength = 6;

constexpr uint64_t KeyOf(std::string_view text) {
    uint64_t key = 0;
    for (size_t i = 0; i < KeyLength; ++i)
        key = key << 8 | static_cast<uint8_t>(UpperAscii(text[i]));
    return key;
}

bool EqualsUpper(std::string_view name, std::string_view text) {
    for (size_t i = KeyLength; i < name.size(); ++i)
        if (UpperAscii(name[i]) != UpperAscii(text[i]))
            return false;
    return true;
}

// The tags grouped by the upper-cased first letter of their names, each group in table order,
// so a lookup compares a text with the few names that share its first letter (at most 20).
struct TLetterIndex {
    uint8_t First[27] = {};       // where letter A+i's group starts in Order; [26] the end
    uint8_t Order[TagCount] = {};  // table positions
    uint64_t Keys[TagCount] = {};  // KeyOf each name, by table position

    constexpr TLetterIndex() {
        size_t n = 0;
        for (int letter = 0; letter < 26; ++letter) {
            First[letter] = static_cast<uint8_t>(n);
            for (size_t i = 0; i < TagCount; ++i)
                if (UpperAscii(Table[i].Name[0]) == 'A' + letter)
                    Order[n++] = static_cast<uint8_t>(i);
        }
        First[26] = static_cast<uint8_t>(n);
        for (size_t i = 0; i < TagCount; ++i)
            Keys[i] = KeyOf(Table[i].Name);
    }
};

constexpr TLetterIndex Index;

constexpr bool EveryNameIndexed() {
    for (const TTagInfo& info : Table) {
        const char c = UpperAscii(info.Name[0]);
        if (info.Name.size() < KeyLength || info.Name.size() > LongestTagName || c < 'A' || c > 'Z')
            return false;
    }
    return Index.First[26] == TagCount;
}
static_assert(EveryNameIndexed(), "every tag name starts with a letter and has 6 to 20 characters");

} // namespace

const TTagInfo* TagTable() { return Table; }

const TTagInfo* MatchTag(std::string_view text) {
    if (text.size() < KeyLength)
        return nullptr;
    const char first = UpperAscii(text[0]);
    if (first < 'A' || first > 'Z')
        return nullptr;
    const uint64_t key = KeyOf(text);
    const int letter = first - 'A';
    for (size_t k = Index.First[letter]; k < Index.First[letter + 1]; ++k) {
        const TTagInfo& info = Table[Index.Order[k]];
        if (Index.Keys[Index.Order[k]] == key && info.Name.size() <= text.size() && EqualsUpper(info.Name, text))
            return &info;
    }
    return nullptr;
}

} // namespace kw
