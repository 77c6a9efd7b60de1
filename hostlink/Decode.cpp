// The host's payload layouts (all integers little-endian):
//   element  : song marker (0 = song), type, duration ms (4), text "artist<13>title"
//   block    : type, duration ms (4), name
//   playlist : 135-byte entries: type, duration ms (4), artist (length byte + 64), title (ditto)
//   played   : 143-byte entries: start time (8-byte double), then as a playlist entry
//   state    : "KEY=value" lines separated by byte 13
// Texts end at the first zero byte or at the end of the payload.
#include "hostlink/Decode.h"
#include <algorithm>
#include <cmath>
#include <cstring>

namespace kw {

namespace {

uint32_t ReadU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

double ReadDouble(const uint8_t* p) {
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = (bits << 8) | p[i];
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Bytes from `p` up to the first zero or `length`.
std::string ZeroTerminated(const uint8_t* p, size_t length) {
    const auto* end = static_cast<const uint8_t*>(std::memchr(p, 0, length));
    const size_t n = end ? static_cast<size_t>(end - p) : length;
    return std::string(reinterpret_cast<const char*>(p), n);
}

// A length-prefixed text field of 1 + 64 bytes; a length byte above 64 is taken as 64.
std::string ShortText(const uint8_t* field) {
    const size_t n = std::min<size_t>(field[0], MaxEntryText);
    return std::string(reinterpret_cast<const char*>(field + 1), n);
}

std::string Cut64(std::string text) {
    if (text.size() > MaxEntryText)
        text.resize(MaxEntryText);
    return text;
}

char FirstUpper(const std::string& value) {
    return value.empty() ? '\0' : static_cast<char>(UpperChar1251(static_cast<uint8_t>(value[0])));
}

TPlaylistEntry ReadPlaylistEntry(const uint8_t* p) {
    TPlaylistEntry entry;
    entry.Type = p[0];
    entry.DurationMs = ReadU32(p + 1);
    entry.Artist = ShortText(p + 5);
    entry.Title = ShortText(p + 70);
    return entry;
}

TPlayedEntry ReadPlayedEntry(const uint8_t* p) {
    TPlayedEntry entry;
    entry.StartTime = SaneDateTime(ReadDouble(p));
    entry.Type = p[8];
    entry.DurationMs = ReadU32(p + 9);
    entry.Artist = ShortText(p + 13);
    entry.Title = ShortText(p + 78);
    return entry;
}

template <typename TEntry, typename TRead>
void ReplaceList(std::shared_ptr<const std::vector<TEntry>>& list, size_t entrySize, const uint8_t* data,
                 size_t length, TRead read) {
    auto fresh = std::make_shared<std::vector<TEntry>>();
    if (length % entrySize == 0 && data) {
        fresh->reserve(length / entrySize);
        for (size_t at = 0; at < length; at += entrySize)
            fresh->push_back(read(data + at));
    }
    list = std::move(fresh);
}

using TSetter = void (*)(TBroadcastState&, const std::string&);

struct TStateKey {
    const char* Key;
    TSetter Set;
};

const TStateKey StateKeys[] = {
    {"C_CLOCKTYPE", [](TBroadcastState& s, const std::string& v) { s.ClockType = ParseClockType(v); }},
    {"C_CLOCKNAME", [](TBroadcastState& s, const std::string& v) { s.ClockName = v; }},
    {"N_CLOCKTYPE", [](TBroadcastState& s, const std::string& v) { s.NextClockType = ParseClockType(v); }},
    {"N_CLOCKNAME", [](TBroadcastState& s, const std::string& v) { s.NextClockName = v; }},
    {"SOURCEINDEX", [](TBroadcastState& s, const std::string& v) { s.SourceIndex = ParseSourceIndex(v); }},
    {"SOURCESTATUS", [](TBroadcastState& s, const std::string& v) { s.SourceState = ParseByte(v); }},
    {"PLAYER", [](TBroadcastState& s, const std::string& v) { s.PlayerOn = ParsePlayer(v); }},
    {"DETECTOR", [](TBroadcastState& s, const std::string& v) { s.DetectorState = ParseDetector(v); }},
    {"BLOCKTYPE_C", [](TBroadcastState& s, const std::string& v) { s.Block.Type = ParseByte(v); }},
    {"EXCLMODE_C", [](TBroadcastState& s, const std::string& v) { s.ExclusiveMode = ParseByte(v); }},
    {"EXCLMODE_N", [](TBroadcastState& s, const std::string& v) { s.NextExclusiveMode = ParseByte(v); }},
    {"EXCLTIME_N", [](TBroadcastState& s, const std::string& v) { s.NextExclusiveTime = ParseDateTime(v); }},
    {"SYSMSG", [](TBroadcastState& s, const std::string& v) { s.SystemMessage = v; }},
};

void ApplyStateLine(TBroadcastState& state, const std::string& line) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos || eq == 0)
        return;
    const std::string key = UpperCase1251(line.substr(0, eq));
    for (const TStateKey& entry : StateKeys) {
        if (key == entry.Key) {
            entry.Set(state, line.substr(eq + 1));
            return;
        }
    }
}

} // namespace

void DecodeElement(TBroadcastState& state, const uint8_t* data, size_t length, TDateTime now) {
    if (!data || length < ElementHeaderLength)
        return;
    const uint8_t songMarker = data[0];
    const std::string text = ZeroTerminated(data + 6, length - 6);
    TElementInfo& element = state.Element;
    element.Type = data[1];
    element.Duration = ReadU32(data + 2) / 1000.0;
    element.StartTime = now;
    element.Artist = Cut64(ExtractField(text, 1, 13));
    element.Title = Cut64(ExtractField(text, 2, 13));
    if (songMarker == 0)
        state.Song = element;
}

void DecodeBlock(TBroadcastState& state, const uint8_t* data, size_t length, TDateTime now) {
    if (!data || length < BlockHeaderLength)
        return;
    TBlockInfo& block = state.Block;
    block.Type = data[0];
    block.Duration = ReadU32(data + 1) / 1000.0;
    block.Name = ZeroTerminated(data + 5, length - 5);
    block.StartTime = now;
}

void DecodeEntryList(std::shared_ptr<const TPlaylist>& list, const uint8_t* data, size_t length) {
    ReplaceList<TPlaylistEntry>(list, PlaylistEntrySize, data, length, ReadPlaylistEntry);
}

void DecodeEntryList(std::shared_ptr<const TPlayedList>& list, const uint8_t* data, size_t length) {
    ReplaceList<TPlayedEntry>(list, PlayedEntrySize, data, length, ReadPlayedEntry);
}

void DecodeState(TBroadcastState& state, const uint8_t* data, size_t length, TDateTime now) {
    std::string line;
    for (size_t i = 0; i < length && data; ++i) {
        if (data[i] == 13) {
            ApplyStateLine(state, line);
            line.clear();
        } else {
            line.push_back(static_cast<char>(data[i]));
        }
    }
    if (!line.empty())
        ApplyStateLine(state, line);
    state.LastDataTime = now;
}

std::string ExtractField(const std::string& text, int n, uint8_t delimiter) {
    std::string result;
    if (n < 1 || text.empty())
        return result;
    const char delim = static_cast<char>(delimiter == 0 ? ' ' : delimiter);
    int field = 1;
    bool afterDelimiter = true;
    for (const char c : text) {
        if (c == delim) {
            if (!afterDelimiter) {
                if (field == n)
                    break;
                ++field;
            }
            afterDelimiter = true;
        } else {
            afterDelimiter = false;
            if (field == n)
                result.push_back(c);
        }
    }
    return result;
}

uint8_t ParseClockType(const std::string& value) {
    switch (FirstUpper(value)) {
    case '0': case 'R': return 0;
    case '1': case 'B': return 1;
    case '2': case 'X': return 2;
    default: return 3;
    }
}

uint8_t ParseSourceIndex(const std::string& value) {
    switch (FirstUpper(value)) {
    case '1': return 1;
    case '2': return 2;
    case '3': return 3;
    default: return 0;
    }
}

bool ParsePlayer(const std::string& value) {
    const char c = FirstUpper(value);
    return c == '1' || c == 'P';
}

uint8_t ParseDetector(const std::string& value) {
    static const char codes[] = "0I1O2H3E4B5R6X";
    const char c = FirstUpper(value);
    for (uint8_t i = 0; i < 7; ++i)
        if (c != '\0' && (c == codes[2 * i] || c == codes[2 * i + 1]))
            return i;
    return 7;
}

uint8_t ParseByte(const std::string& value) {
    // The classic Val reading of a signed 32-bit number, of which only 0..255 fits a byte.
    constexpr int64_t cap = int64_t{1} << 40;  // far above any byte; keeps the sum in range
    size_t i = 0;
    while (i < value.size() && value[i] == ' ')
        ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) {
        negative = value[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < value.size() && (value[i] == '$' || value[i] == 'x' || value[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < value.size() && value[i] == '0' && (value[i + 1] == 'x' || value[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    int64_t number = 0;
    for (; i < value.size(); ++i) {
        const char c = value[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            break;
        number = std::min(cap, number * base + digit);
    }
    // A partial read keeps its digits without the sign; only a complete number keeps it.
    const bool complete = i == value.size();
    if (negative && complete && number != 0)
        return 255;
    return number > 255 ? 255 : static_cast<uint8_t>(number);
}

TDateTime ParseDateTime(const std::string& value) {
    TDateTime result = 0;
    if (!kw::ParseDateTime(value, result))
        return 0;
    return SaneDateTime(result);
}

TDateTime SaneDateTime(double value) {
    constexpr double firstDay = -693593.0;  // 1 January of the year 1
    constexpr double lastDay = 2958466.0;   // 1 January 10000
    if (!std::isfinite(value) || value < firstDay || value >= lastDay)
        return 0;
    return value;
}

} // namespace kw
