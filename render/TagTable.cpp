// The 57 tags in matching order.
#include "render/TagTable.h"

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

bool EqualsUpper(std::string_view name, std::string_view text) {
    for (size_t i = 0; i < name.size(); ++i)
        if (UpperAscii(name[i]) != UpperAscii(text[i]))
            return false;
    return true;
}

} // namespace

const TTagInfo* TagTable() { return Table; }

const TTagInfo* MatchTag(std::string_view text) {
    for (const TTagInfo& info : Table)
        if (info.Name.size() <= text.size() && EqualsUpper(info.Name, text))
            return &info;
    return nullptr;
}

} // namespace kw
