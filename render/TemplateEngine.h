// The template engine: replaces every tag of a line ("!KW!" followed by a tag name) by its
// value from one broadcast-state snapshot, converted into the page's code page.
#pragma once
#include "hostlink/BroadcastState.h"
#include "render/TagTable.h"
#include "render/ValueEscaping.h"
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kw {

inline constexpr std::string_view TagMarker = "!KW!";

// How many tags found inside inserted values (rather than in the template's own text) may be
// replaced in a row. A value that holds the marker and its own name would otherwise expand
// without end; after the bound the marker stays in the page as text.
constexpr int MaxReExpansions = 16;

// Everything the tags of one page read, taken once when the render starts, so that every tag
// of a page comes from the same state.
struct TPageState {
    TBroadcastSnapshot Broadcast = std::make_shared<const TBroadcastState>();
    uint8_t LinkState = 0;  // 0 waiting, 1 connected, 2 data received
    TDateTime Now = 0;      // "SystemTime" and "SystemDate"
};

// The rest of a line while it is being expanded: inserted values not yet scanned, followed by
// the part of the template line not yet scanned. Taking from the front and putting a value in
// front cost only the bytes moved, so a line expands in time linear in its size.
// Text that came from inserted values leaves through the work's escaping; the line's own
// text leaves as it is.
class TLineRest {
public:
    // `firstMarker`, when known, is where the line's first marker stands (saves a search).
    explicit TLineRest(std::string_view line, uint8_t escaping = escNone,
                       size_t firstMarker = std::string_view::npos)
        : line_(line), escaping_(escaping), knownMarker_(firstMarker) {}

    bool Empty() const { return pending_.empty() && pos_ == line_.size(); }
    size_t Size() const { return pending_.size() + (line_.size() - pos_); }
    char Peek(size_t i) const;           // i < Size()
    void Drop(size_t n);                  // removes n <= Size() characters from the front
    void PushFront(std::string_view v);  // v becomes the front of the rest
    // Copies up to `n` characters from the front.
    std::string_view Front(size_t n, char* buffer) const;

    // Moves the text in front of the first marker to `out` and removes the marker. False
    // (after moving everything to `out`) when the rest holds no marker. `inValue` tells
    // whether the marker began inside an inserted value.
    bool TakeUpToMarker(std::string& out, bool& inValue);
    void TakeAll(std::string& out);

private:
    void TakePending(std::string& out, size_t n);  // the first n inserted characters

    std::string pending_;  // inserted text, reversed: its front is pending_.back()
    std::string_view line_;
    size_t pos_ = 0;
    uint8_t escaping_;
    size_t knownMarker_;
};

// The values of one page, each formatted and recoded at most once: a page that shows a tag (or
// one list entry) in many places pays for it once. Valid for one page state and one code page.
// A value as a page shows it, and whether it holds "!" (and so may hold a further tag).
struct TTagText {
    std::string_view Text;
    bool HoldsMarkStart = false;
};

class TValueCache {
public:
    TValueCache() { values_.reserve(16); }
    // The value of `tag` (a list tag: of entry `entry`, 0..15; other tags: -1), or false.
    bool Find(TTag tag, int entry, TTagText& found) const {
        const uint16_t at = slot_[SlotOf(tag, entry)];
        if (at == 0)
            return false;
        const TKept& kept = values_[at - 1u];
        found = {kept.Text, kept.HoldsMarkStart};
        return true;
    }
    TTagText Keep(TTag tag, int entry, std::string value) {
        const bool mark = value.find('!') != std::string::npos;
        values_.push_back({std::move(value), mark});
        slot_[SlotOf(tag, entry)] = static_cast<uint16_t>(values_.size());
        return {values_.back().Text, mark};
    }

private:
    struct TKept {
        std::string Text;
        bool HoldsMarkStart;
    };
    static constexpr size_t Entries = 17;  // 16 list entries and the plain value
    static size_t SlotOf(TTag tag, int entry) { return static_cast<size_t>(tag) * Entries + static_cast<size_t>(entry + 1); }

    uint16_t slot_[(TagCount + 1) * Entries] = {};  // 1 + the value's index; 0 while not known
    std::vector<TKept> values_;
};

// A tag that shows nothing until the host has sent data (link state 2).
inline bool ShowsNothingYet(const TTagInfo& tag, const TPageState& page) { return tag.Live && page.LinkState != 2; }

// Appends the expanded `line` to `out`. `escaping` (TEscaping) applies to the text the tags
// insert, after the inserted text has been scanned for further tags, never to the line's own.
void ExpandLine(std::string_view line, uint8_t codePage, uint8_t escaping, const TPageState& page,
                std::string& out);
void ExpandLine(std::string_view line, uint8_t codePage, const TPageState& page, std::string& out);
// As ExpandLine, for a line whose first marker stands at `firstMarker`, taking values from
// `cache` (filled for `codePage` and `page` only).
void ExpandLineAt(std::string_view line, size_t firstMarker, uint8_t codePage, uint8_t escaping,
                  const TPageState& page, TValueCache& cache, std::string& out);
std::string ExpandLine(std::string_view line, uint8_t codePage, const TPageState& page);

// The value of `tag` as TagValue gives it, from `cache` when the page has shown it before.
TTagText CachedTagValue(const TTagInfo& tag, TLineRest& rest, uint8_t codePage, const TPageState& page,
                        TValueCache& cache);

// The value of `tag`, converted with Recode. List tags take their index digit from `rest`.
std::string TagValue(const TTagInfo& tag, TLineRest& rest, uint8_t codePage, const TPageState& page);

// The fields of a playlist or played-list entry that the list tags show.
enum class TListField { Artist, Title, Duration, RunTime, RunDate, Type };

// The value of a Playlist tag (`played` false) or Played tag: the entry is chosen by one
// hexadecimal digit taken from the front of `rest`; songs-only tags count only entries of
// type 0. Empty (and `rest` untouched) when no digit follows.
std::string ListTagValue(TLineRest& rest, const TBroadcastState& state, bool played, bool songsOnly,
                         TListField field);

} // namespace kw
