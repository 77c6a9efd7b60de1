// The tag table: the names a template may use after the marker, in the order they are tried.
#pragma once
#include <cstddef>
#include <string_view>

namespace kw {

// Every tag, numbered as in the table (tagSongArtist is tag 1).
enum class TTag : unsigned char {
    SongArtist = 1, SongTitle, SomgDuration, SongTimeL, SongRunTime, SongRunDate,
    ElementArtist, ElementTitle, ElementType, ElementDuration, ElementRunTime, ElementRunDate,
    BlockName, BlockType, BlockDuration, BlockRunTime, BlockRunDate,
    PlayListSongArtist, PlayListSongTitle, PlayListSongDuration, PlayListSongTimeL,
    PlayListArtist, PlayListTitle, PlayListDuration, PlayListType,
    PlayedSongArtist, PlayedSongTitle, PlayedSongDuration, PlayedSongRunTime, PlayedSongRunDate,
    PlayedArtist, PlayedTitle, PlayedDuration, PlayedRunTime, PlayedRunDate, PlayedType,
    ClockName, CurrentHour, ClockType, NClockName, NextHour, NClockType,
    SourceIndex, SourceStatus, PlayerStatus, DetectorStatus,
    StudioLastTime, StudioLastDate, StudioOnline, SystemTime, SystemDate, Studio_Status,
    SysMSG, ExclMode, NExclMode, NExclTime, NExclDate,
};

// The tags that show an entry of the coming playlist or the played list, chosen by the digit
// after the name.
constexpr bool IsListTag(TTag tag) { return tag >= TTag::PlayListSongArtist && tag <= TTag::PlayedType; }

struct TTagInfo {
    std::string_view Name;
    TTag Tag;
    bool Live;  // empty text unless the host has sent data (LinkState 2)
};

constexpr size_t TagCount = 57;
constexpr size_t LongestTagName = 20;  // "PlayListSongDuration"

// The table in matching order.
const TTagInfo* TagTable();

// The first tag, in table order, whose name equals the front of `text` without regard to
// ASCII case; nullptr when none does.
const TTagInfo* MatchTag(std::string_view text);

} // namespace kw
