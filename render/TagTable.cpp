// The 57 tags in matching order.
#include "render/TagTable.h"
#include <cstdint>
#include <cstring>

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

// Every name but one has at least KeyLength characters. Their first KeyLength characters,
// upper-cased and packed into one number, pick the few names that share them (at most eight:
// the "PlayList" tags); the one shorter name is looked at on its own.
constexpr size_t KeyLength = 8;
constexpr std::string_view ShortName = "SysMSG";

// The first `length` characters upper-cased, the first in the lowest byte.
constexpr uint64_t KeyOf(std::string_view text, size_t length = KeyLength) {
    uint64_t key = 0;
    for (size_t i = length; i-- > 0;)
        key = key << 8 | static_cast<uint8_t>(UpperAscii(text[i]));
    return key;
}

// KeyOf(text) of a text of at least KeyLength characters, eight at a time: every byte from
// 'a' to 'z' loses its 0x20.
uint64_t FastKeyOf(std::string_view text) {
    unsigned char bytes[KeyLength];
    std::memcpy(bytes, text.data(), KeyLength);
    uint64_t v = 0;
    for (size_t i = KeyLength; i-- > 0;)
        v = v << 8 | bytes[i];  // a plain load on a little-endian processor
    constexpr uint64_t ones = 0x0101010101010101ull;
    const uint64_t low = v & (0x7F * ones);
    const uint64_t fromA = low + (0x80 - 'a') * ones;      // high bit set from 'a' on
    const uint64_t pastZ = low + (0x80 - 'z' - 1) * ones;  // high bit set past 'z'
    const uint64_t small = (fromA & ~pastZ) & ~v & (0x80 * ones);
    return v ^ (small >> 2);
}

constexpr bool EqualsUpper(std::string_view name, std::string_view text, size_t from) {
    for (size_t i = from; i < name.size(); ++i)
        if (UpperAscii(name[i]) != UpperAscii(text[i]))
            return false;
    return true;
}

// An open-addressing table from a key to the names that share it, each group in table order.
struct TKeyIndex {
    static constexpr size_t Slots = 128;  // a power of two, over twice the names
    uint64_t Key[Slots] = {};
    uint8_t First[Slots] = {};  // where the group starts in Order
    uint8_t Count[Slots] = {};  // 0: an empty slot
    uint8_t Order[TagCount] = {};

    static constexpr size_t Home(uint64_t key) { return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> 57); }

    constexpr TKeyIndex() {
        size_t placed = 0;
        for (size_t i = 0; i < TagCount; ++i) {
            if (Table[i].Name.size() < KeyLength)
                continue;
            const uint64_t key = KeyOf(Table[i].Name);
            size_t slot = Home(key);
            while (Count[slot] != 0 && Key[slot] != key)
                slot = (slot + 1) % Slots;
            if (Count[slot] != 0)
                continue;  // the group is in place already
            Key[slot] = key;
            First[slot] = static_cast<uint8_t>(placed);
            for (size_t j = i; j < TagCount; ++j) {
                if (Table[j].Name.size() >= KeyLength && KeyOf(Table[j].Name) == key) {
                    Order[placed++] = static_cast<uint8_t>(j);
                    ++Count[slot];
                }
            }
        }
    }
};

constexpr TKeyIndex Index;

constexpr bool OnlyOneShortName() {
    size_t shorter = 0, indexed = 0;
    for (const TTagInfo& info : Table) {
        if (info.Name.size() > LongestTagName)
            return false;
        if (info.Name.size() < KeyLength)
            shorter += info.Name == ShortName;
        else
            ++indexed;
        // No longer name begins with the short one, so a text matches at most one of the two.
        if (info.Name.size() >= KeyLength && KeyOf(info.Name, ShortName.size()) == KeyOf(ShortName, ShortName.size()))
            return false;
    }
    return shorter == 1 && indexed == TagCount - 1;
}
static_assert(OnlyOneShortName(), "one name is shorter than the key, and no other begins with it");

} // namespace

const TTagInfo* TagTable() { return Table; }

const TTagInfo* MatchTag(std::string_view text) {
    if (text.size() < ShortName.size())
        return nullptr;
    constexpr uint64_t shortKey = KeyOf(ShortName, ShortName.size());
    constexpr uint64_t shortMask = (uint64_t{1} << (8 * ShortName.size())) - 1;
    if (text.size() < KeyLength || (FastKeyOf(text) & shortMask) == shortKey) {
        const TTagInfo& info = Table[static_cast<size_t>(TTag::SysMSG) - 1];
        return EqualsUpper(info.Name, text, 0) ? &info : nullptr;
    }
    const uint64_t key = FastKeyOf(text);
    for (size_t slot = TKeyIndex::Home(key); Index.Count[slot] != 0; slot = (slot + 1) % TKeyIndex::Slots) {
        if (Index.Key[slot] != key)
            continue;
        for (size_t k = Index.First[slot]; k < Index.First[slot] + Index.Count[slot]; ++k) {
            const TTagInfo& info = Table[Index.Order[k]];
            if (info.Name.size() <= text.size() && EqualsUpper(info.Name, text, KeyLength))
                return &info;
        }
        return nullptr;
    }
    return nullptr;
}

} // namespace kw
