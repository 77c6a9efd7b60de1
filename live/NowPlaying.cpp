// The now-playing document.
#include "live/NowPlaying.h"
#include "platform/Cp1251.h"
#include "render/ValueFormat.h"
#include <cmath>
#include <cstdio>

namespace kw::live {

namespace {

constexpr size_t ListLength = 3;  // next songs, songs played

void AppendUtf8Escaped(std::string& out, std::string_view utf8) {
    for (size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        char hex[8];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7f) {
            std::snprintf(hex, sizeof hex, "\\u%04x", c);
            out += hex;
        } else if (c == 0xc2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(utf8[i + 1]) <= 0x9f) {
            // C1 controls (Windows-1251's unassigned 0x98 reads as U+0098): escaped, never raw
            std::snprintf(hex, sizeof hex, "\\u%04x", static_cast<unsigned char>(utf8[++i]));
            out += hex;
        } else if (c == 0xe2 && i + 2 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) == 0x80 &&
                   (static_cast<unsigned char>(utf8[i + 2]) == 0xa8 || static_cast<unsigned char>(utf8[i + 2]) == 0xa9)) {
            out += static_cast<unsigned char>(utf8[i + 2]) == 0xa8 ? "\\u2028" : "\\u2029";
            i += 2;
        } else {
            out += static_cast<char>(c);
        }
    }
}

void Key(std::string& out, const char* name) {
    out += '"';
    out += name;
    out += "\":";
}

void StringField(std::string& out, const char* name, std::string_view text1251) {
    Key(out, name);
    AppendJsonString(out, text1251);
    out += ',';
}

void TimeField(std::string& out, const char* name, TDateTime t) {
    Key(out, name);
    const std::string iso = IsoLocalTime(t);
    out += iso.empty() ? "null" : '"' + iso + '"';
    out += ',';
}

void NumberField(std::string& out, const char* name, double seconds) {
    Key(out, name);
    char text[32];
    // whole milliseconds; a value the host never sends (NaN, infinite, absurd) reads as 0
    const double ms = std::isfinite(seconds) && std::fabs(seconds) < 1e12 ? std::round(seconds * 1000) : 0;
    std::snprintf(text, sizeof text, "%.3f", ms / 1000);
    out += text;
    out += ',';
}

void CloseObject(std::string& out) {
    if (out.back() == ',')
        out.back() = '}';
    else
        out += '}';
}

void Element(std::string& out, const char* name, const TElementInfo& e) {
    Key(out, name);
    out += '{';
    StringField(out, "type", ElementTypeLetter(e.Type));
    StringField(out, "artist", e.Artist);
    StringField(out, "title", e.Title);
    TimeField(out, "start", e.StartTime);
    NumberField(out, "duration", e.Duration);
    CloseObject(out);
    out += ',';
}

template <class TList, class TWrite>
void SongList(std::string& out, const char* name, const TList& list, TWrite write) {
    Key(out, name);
    out += '[';
    size_t n = 0;
    for (const auto& entry : list) {
        if (entry.Type != 0)  // songs only
            continue;
        if (n++ == ListLength)
            break;
        out += '{';
        write(entry);
        CloseObject(out);
        out += ',';
    }
    if (out.back() == ',')
        out.back() = ']';
    else
        out += ']';
    out += ',';
}

} // namespace

void AppendJsonString(std::string& out, std::string_view text1251) {
    out += '"';
    AppendUtf8Escaped(out, Cp1251ToUtf8(text1251));
    out += '"';
}

std::string IsoLocalTime(TDateTime t) {
    if (!(t * 86400000.0 >= 100) || t > 2958466)  // unset, NaN, or beyond the year 9999
        return {};
    int year, month, day, hour, minute, second, ms;
    DecodeDateTime(t, year, month, day, hour, minute, second, ms);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", year, month, day, hour, minute, second);
    return text;
}

std::string NowPlayingJson(const TBroadcastState& s, uint8_t linkState, TDateTime now) {
    std::string out = "{";
    Key(out, "version");
    out += std::to_string(NowPlayingVersion) + ',';
    TimeField(out, "time", now);
    StringField(out, "link", LinkLetter(linkState));
    Element(out, "element", s.Element);
    Element(out, "song", s.Song);

    Key(out, "block");
    out += '{';
    StringField(out, "type", BlockTypeLetter(s.Block.Type));
    StringField(out, "name", s.Block.Name);
    TimeField(out, "start", s.Block.StartTime);
    NumberField(out, "duration", s.Block.Duration);
    CloseObject(out);
    out += ',';

    SongList(out, "next", *s.Playlist, [&out](const TPlaylistEntry& e) {
        StringField(out, "artist", e.Artist);
        StringField(out, "title", e.Title);
        NumberField(out, "duration", e.DurationMs / 1000.0);
    });
    SongList(out, "played", *s.Played, [&out](const TPlayedEntry& e) {
        StringField(out, "artist", e.Artist);
        StringField(out, "title", e.Title);
        TimeField(out, "start", e.StartTime);
        NumberField(out, "duration", e.DurationMs / 1000.0);
    });

    Key(out, "clock");
    out += '{';
    StringField(out, "type", ClockTypeLetter(s.ClockType));
    StringField(out, "name", s.ClockName);
    StringField(out, "next_type", ClockTypeLetter(s.NextClockType));
    StringField(out, "next_name", s.NextClockName);
    CloseObject(out);
    out += ',';

    Key(out, "studio");
    out += '{';
    StringField(out, "status", StudioStatus(s.ClockType, s.PlayerOn, s.DetectorState));
    StringField(out, "source", SourceLetter(s.SourceState));
    StringField(out, "player", PlayerLetter(s.PlayerOn));
    StringField(out, "detector", DetectorLetter(s.DetectorState));
    TimeField(out, "last_data", s.LastDataTime);
    CloseObject(out);
    CloseObject(out);
    return out;
}

} // namespace kw::live
