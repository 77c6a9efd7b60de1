// Expansion of template lines.
#include "render/TemplateEngine.h"
#include "render/CodePages.h"
#include "render/ValueFormat.h"
#include <algorithm>

namespace kw {

namespace {

// The marker as it stands in the reversed pending text.
constexpr std::string_view ReversedMarker = "!WK!";

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

template <typename TEntry>
std::string EntryField(const TEntry& entry, TListField field) {
    switch (field) {
    case TListField::Artist:
        return entry.Artist;
    case TListField::Title:
        return entry.Title;
    case TListField::Duration:
        return FormatDuration(entry.DurationMs / 1000.0);
    case TListField::RunTime:
        if constexpr (requires { entry.StartTime; })
            return FormatClockTime(entry.StartTime);
        return {};
    case TListField::RunDate:
        if constexpr (requires { entry.StartTime; })
            return FormatClockDate(entry.StartTime);
        return {};
    case TListField::Type:
        // Playlist entries carry block codes, played entries element codes.
        if constexpr (requires { entry.StartTime; })
            return ElementTypeLetter(entry.Type);
        else
            return BlockTypeLetter(entry.Type);
    }
    return {};
}

template <typename TList>
std::string PickEntry(const TList& list, int wanted, bool songsOnly, TListField field) {
    int count = 0;
    for (const auto& entry : list) {
        if (songsOnly && entry.Type != 0)
            continue;
        if (count == wanted)
            return EntryField(entry, field);
        ++count;
    }
    return {};
}

std::string Decimal(int value) { return std::to_string(value); }

// The value of a tag that is not a list tag, before conversion.
std::string PlainValue(TTag tag, const TBroadcastState& s, const TPageState& page) {
    switch (tag) {
    case TTag::SongArtist:
        return s.Song.Artist;
    case TTag::SongTitle:
        return s.Song.Title;
    case TTag::SomgDuration:
    case TTag::SongTimeL:
        return FormatDuration(s.Song.Duration);
    case TTag::SongRunTime:
        return FormatClockTime(s.Song.StartTime);
    case TTag::SongRunDate:
        return FormatClockDate(s.Song.StartTime);
    case TTag::ElementArtist:
        return s.Element.Artist;
    case TTag::ElementTitle:
        return s.Element.Title;
    case TTag::ElementType:
        return ElementTypeLetter(s.Element.Type);
    case TTag::ElementDuration:
        return FormatDuration(s.Element.Duration);
    case TTag::ElementRunTime:
        return FormatClockTime(s.Element.StartTime);
    case TTag::ElementRunDate:
        return FormatClockDate(s.Element.StartTime);
    case TTag::BlockName:
        return s.Block.Name;
    case TTag::BlockType:
        return BlockTypeLetter(s.Block.Type);
    case TTag::BlockDuration:
        return FormatDuration(s.Block.Duration);
    case TTag::BlockRunTime:
        return FormatClockTime(s.Block.StartTime);
    case TTag::BlockRunDate:
        return FormatClockDate(s.Block.StartTime);
    case TTag::ClockName:
    case TTag::CurrentHour:
        return s.ClockName;
    case TTag::ClockType:
        return ClockTypeLetter(s.ClockType);
    case TTag::NClockName:
    case TTag::NextHour:
        return s.NextClockName;
    case TTag::NClockType:
        return ClockTypeLetter(s.NextClockType);
    case TTag::SourceIndex:
        return Decimal(s.SourceIndex + 1);
    case TTag::SourceStatus:
        return SourceLetter(s.SourceState);
    case TTag::PlayerStatus:
        return PlayerLetter(s.PlayerOn);
    case TTag::DetectorStatus:
        return DetectorLetter(s.DetectorState);
    case TTag::StudioLastTime:
        return s.LastDataTime > 0 ? FormatClockTime(s.LastDataTime) : std::string();
    case TTag::StudioLastDate:
        return s.LastDataTime > 0 ? FormatClockDate(s.LastDataTime) : std::string();
    case TTag::StudioOnline:
        return LinkLetter(page.LinkState);
    case TTag::SystemTime:
        return FormatLongTime(page.Now);
    case TTag::SystemDate:
        return FormatShortDate(page.Now);
    case TTag::Studio_Status:
        return StudioStatus(s.ClockType, s.PlayerOn, s.DetectorState);
    case TTag::SysMSG:
        return s.SystemMessage;
    case TTag::ExclMode:
        return Decimal(s.ExclusiveMode);
    case TTag::NExclMode:
        return Decimal(s.NextExclusiveMode);
    case TTag::NExclTime:
        return FormatClockTime(s.NextExclusiveTime);
    case TTag::NExclDate:
        return FormatClockDate(s.NextExclusiveTime);
    default:
        return {};
    }
}

struct TListTag {
    bool Played;
    bool SongsOnly;
    TListField Field;
};

// The list a tag walks, or false when it is not a list tag.
bool ListTagOf(TTag tag, TListTag& out) {
    using F = TListField;
    switch (tag) {
    case TTag::PlayListSongArtist: out = {false, true, F::Artist}; return true;
    case TTag::PlayListSongTitle: out = {false, true, F::Title}; return true;
    case TTag::PlayListSongDuration:
    case TTag::PlayListSongTimeL: out = {false, true, F::Duration}; return true;
    case TTag::PlayListArtist: out = {false, false, F::Artist}; return true;
    case TTag::PlayListTitle: out = {false, false, F::Title}; return true;
    case TTag::PlayListDuration: out = {false, false, F::Duration}; return true;
    case TTag::PlayListType: out = {false, false, F::Type}; return true;
    case TTag::PlayedSongArtist: out = {true, true, F::Artist}; return true;
    case TTag::PlayedSongTitle: out = {true, true, F::Title}; return true;
    case TTag::PlayedSongDuration: out = {true, true, F::Duration}; return true;
    case TTag::PlayedSongRunTime: out = {true, true, F::RunTime}; return true;
    case TTag::PlayedSongRunDate: out = {true, true, F::RunDate}; return true;
    case TTag::PlayedArtist: out = {true, false, F::Artist}; return true;
    case TTag::PlayedTitle: out = {true, false, F::Title}; return true;
    case TTag::PlayedDuration: out = {true, false, F::Duration}; return true;
    case TTag::PlayedRunTime: out = {true, false, F::RunTime}; return true;
    case TTag::PlayedRunDate: out = {true, false, F::RunDate}; return true;
    case TTag::PlayedType: out = {true, false, F::Type}; return true;
    default: return false;
    }
}

} // namespace

char TLineRest::Peek(size_t i) const {
    return i < pending_.size() ? pending_[pending_.size() - 1 - i] : line_[pos_ + (i - pending_.size())];
}

void TLineRest::Drop(size_t n) {
    const size_t fromPending = std::min(n, pending_.size());
    pending_.resize(pending_.size() - fromPending);
    pos_ += n - fromPending;
}

void TLineRest::TakePending(std::string& out, size_t n) {
    const auto first = pending_.rbegin();
    if (escaping_ == escNone) {
        out.append(first, first + static_cast<std::ptrdiff_t>(n));
    } else {
        const std::string text(first, first + static_cast<std::ptrdiff_t>(n));
        EscapeAppend(out, text, escaping_);
    }
    pending_.resize(pending_.size() - n);
}

void TLineRest::PushFront(std::string_view v) { pending_.append(v.rbegin(), v.rend()); }

std::string_view TLineRest::Front(size_t n, char* buffer) const {
    n = std::min(n, Size());
    if (pending_.empty())
        return line_.substr(pos_, n);
    for (size_t i = 0; i < n; ++i)
        buffer[i] = Peek(i);
    return {buffer, n};
}

void TLineRest::TakeAll(std::string& out) {
    TakePending(out, pending_.size());
    out.append(line_.substr(pos_));
    pos_ = line_.size();
}

bool TLineRest::TakeUpToMarker(std::string& out, bool& inValue) {
    if (!pending_.empty()) {
        // A marker wholly inside the inserted text: the highest position in the reversed text
        // is the first one in reading order.
        const size_t at = pending_.rfind(ReversedMarker);
        if (at != std::string::npos) {
            TakePending(out, pending_.size() - at - TagMarker.size());
            pending_.resize(at);
            inValue = true;
            return true;
        }
        // A marker that begins in the inserted text and ends in the line after it.
        const size_t n = pending_.size();
        for (size_t i = n > 3 ? n - 3 : 0; i < n; ++i) {
            if (Size() - i < TagMarker.size())
                break;
            bool match = true;
            for (size_t k = 0; k < TagMarker.size() && match; ++k)
                match = Peek(i + k) == TagMarker[k];
            if (match) {
                TakePending(out, i);
                Drop(TagMarker.size());
                inValue = true;
                return true;
            }
        }
        TakePending(out, pending_.size());
    }
    const size_t at = knownMarker_ != std::string_view::npos && knownMarker_ >= pos_ ? knownMarker_
                                                                                     : line_.find(TagMarker, pos_);
    knownMarker_ = std::string_view::npos;
    if (at == std::string_view::npos) {
        out.append(line_.substr(pos_));
        pos_ = line_.size();
        return false;
    }
    out.append(line_.substr(pos_, at - pos_));
    pos_ = at + TagMarker.size();
    inValue = false;
    return true;
}

std::string ListTagValue(TLineRest& rest, const TBroadcastState& state, bool played, bool songsOnly,
                         TListField field) {
    if (rest.Empty())
        return {};
    const int wanted = HexDigitValue(rest.Peek(0));
    if (wanted < 0)
        return {};
    rest.Drop(1);
    return played ? PickEntry(*state.Played, wanted, songsOnly, field)
                  : PickEntry(*state.Playlist, wanted, songsOnly, field);
}

std::string TagValue(const TTagInfo& tag, TLineRest& rest, uint8_t codePage, const TPageState& page) {
    if (ShowsNothingYet(tag, page))
        return {};
    const TBroadcastState& state = *page.Broadcast;
    TListTag list{};
    const std::string value = ListTagOf(tag.Tag, list)
                                  ? ListTagValue(rest, state, list.Played, list.SongsOnly, list.Field)
                                  : PlainValue(tag.Tag, state, page);
    return Recode(value, codePage);
}

namespace {

// The value of `tag` (which may take its entry digit from `rest`), from `cache` when the page
// has shown it before; `scratch` holds it without a cache.
TTagText ValueOf(const TTagInfo& tag, TLineRest& rest, uint8_t codePage, const TPageState& page, TValueCache* cache,
                 std::string& scratch) {
    if (!cache) {
        scratch = TagValue(tag, rest, codePage, page);
        return {scratch, scratch.find('!') != std::string::npos};
    }
    if (ShowsNothingYet(tag, page))
        return {};
    TListTag list{};
    int entry = -1;
    if (ListTagOf(tag.Tag, list)) {
        entry = rest.Empty() ? -1 : HexDigitValue(rest.Peek(0));
        if (entry < 0)
            return {};  // no digit: empty, and the rest stays
        rest.Drop(1);
    }
    if (TTagText known; cache->Find(tag.Tag, entry, known))
        return known;
    const TBroadcastState& state = *page.Broadcast;
    const std::string value = entry >= 0 ? (list.Played ? PickEntry(*state.Played, entry, list.SongsOnly, list.Field)
                                                        : PickEntry(*state.Playlist, entry, list.SongsOnly, list.Field))
                                         : PlainValue(tag.Tag, state, page);
    return cache->Keep(tag.Tag, entry, Recode(value, codePage));
}

void Expand(std::string_view line, size_t firstMarker, uint8_t codePage, uint8_t escaping, const TPageState& page,
            TValueCache* cache, std::string& out) {
    TLineRest rest(line, escaping, firstMarker);
    int chain = 0;  // tags replaced inside inserted values since the last tag of the line itself
    std::string scratch;
    try {
        bool inValue = false;
        while (rest.TakeUpToMarker(out, inValue)) {
            char buffer[LongestTagName];
            const TTagInfo* tag = MatchTag(rest.Front(LongestTagName, buffer));
            if (tag && inValue && chain >= MaxReExpansions)
                tag = nullptr;
            if (!tag) {
                // A marker that no tag follows is text of where it came from.
                EscapeAppend(out, TagMarker, inValue ? escaping : static_cast<uint8_t>(escNone));
                continue;
            }
            chain = inValue ? chain + 1 : 0;
            rest.Drop(tag->Name.size());
            const TTagText value = ValueOf(*tag, rest, codePage, page, cache, scratch);
            // A value without "!" cannot hold the start of a marker: it is finished text.
            if (!value.HoldsMarkStart)
                EscapeAppend(out, value.Text, escaping);
            else
                rest.PushFront(value.Text);
        }
    } catch (...) {
        // The line keeps what was done and the rest as it stands.
        rest.TakeAll(out);
    }
}

} // namespace

void ExpandLine(std::string_view line, uint8_t codePage, uint8_t escaping, const TPageState& page,
                std::string& out) {
    const size_t at = line.find(TagMarker);
    if (at == std::string_view::npos) {
        out.append(line);
        return;
    }
    Expand(line, at, codePage, escaping, page, nullptr, out);
}

TTagText CachedTagValue(const TTagInfo& tag, TLineRest& rest, uint8_t codePage, const TPageState& page,
                        TValueCache& cache) {
    std::string unused;
    return ValueOf(tag, rest, codePage, page, &cache, unused);
}

void ExpandLineAt(std::string_view line, size_t firstMarker, uint8_t codePage, uint8_t escaping,
                  const TPageState& page, TValueCache& cache, std::string& out) {
    Expand(line, firstMarker, codePage, escaping, page, &cache, out);
}

void ExpandLine(std::string_view line, uint8_t codePage, const TPageState& page, std::string& out) {
    ExpandLine(line, codePage, escNone, page, out);
}

std::string ExpandLine(std::string_view line, uint8_t codePage, const TPageState& page) {
    std::string out;
    out.reserve(line.size());
    ExpandLine(line, codePage, page, out);
    return out;
}

} // namespace kw
