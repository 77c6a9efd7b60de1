// The 57 tags in matching order.
#include "render/TagTable.h"
#include <bit>
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
    uint64_t v = 0;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&v, text.data(), KeyLength);  // the first character in the lowest byte
    } else {
        for (size_t i = KeyLength; i-- > 0;)
            v = v << 8 | static_cast<uint8_t>(text[i]);
    }
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

// An open-addressing table of the names from their keys, one slot per name holding all a match
// needs: the key, the name's last KeyLength characters and, for names longer than two keys, the
// KeyLength after the first (with the key they cover the name; the windows may overlap). Names
// that share a key lie along one probe sequence in table order, so the first that matches is
// the first in table order.
struct TNameIndex {
    static constexpr size_t Slots = 128;  // a power of two, over twice the names
    struct TSlot {
        uint64_t Key = 0;
        uint64_t Last = 0;
        uint64_t Middle = 0;
        uint8_t Length = 0;  // 0: an empty slot
        uint8_t Entry = 0;   // the name's place in Table
    };
    TSlot Slot[Slots] = {};

    static constexpr size_t Home(uint64_t key) { return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> 57); }

    constexpr TNameIndex() {
        for (size_t i = 0; i < TagCount; ++i) {
            const std::string_view name = Table[i].Name;
            if (name.size() < KeyLength)
                continue;
            const uint64_t key = KeyOf(name);
            size_t at = Home(key);
            while (Slot[at].Length != 0)
                at = (at + 1) % Slots;
            Slot[at].Key = key;
            Slot[at].Last = KeyOf(name.substr(name.size() - KeyLength));
            Slot[at].Middle = name.size() > 2 * KeyLength ? KeyOf(name.substr(KeyLength)) : 0;
            Slot[at].Length = static_cast<uint8_t>(name.size());
            Slot[at].Entry = static_cast<uint8_t>(i);
        }
    }
};

constexpr TNameIndex Index;
static_assert(LongestTagName <= 3 * KeyLength, "the key and two more windows cover every name");

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
    const auto shortName = [text]() -> const TTagInfo* {
        const TTagInfo& info = Table[static_cast<size_t>(TTag::SysMSG) - 1];
        return text.size() >= info.Name.size() && EqualsUpper(info.Name, text, 0) ? &info : nullptr;
    };
    if (text.size() < KeyLength)
        return shortName();
    const uint64_t key = FastKeyOf(text);
    constexpr uint64_t shortKey = KeyOf(ShortName, ShortName.size());
    constexpr uint64_t shortMask = (uint64_t{1} << (8 * ShortName.size())) - 1;
    if ((key & shortMask) == shortKey)
        return shortName();
    for (size_t at = TNameIndex::Home(key); Index.Slot[at].Length != 0; at = (at + 1) % TNameIndex::Slots) {
        const TNameIndex::TSlot& slot = Index.Slot[at];
        if (slot.Key != key || slot.Length > text.size())
            continue;
        if (FastKeyOf(text.substr(slot.Length - KeyLength)) == slot.Last &&
            (slot.Length <= 2 * KeyLength || FastKeyOf(text.substr(KeyLength)) == slot.Middle))
            return &Table[slot.Entry];
    }
    return nullptr;
}

} // namespace kw
