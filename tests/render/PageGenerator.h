// Generated broadcast states and templates for tests that compare whole pages: a small
// generator of its own (not a library distribution), so the same seed gives the same pages
// on every machine and standard library.
#pragma once
#include "hostlink/BroadcastState.h"
#include "render/TagTable.h"
#include "render/TemplateEngine.h"
#include <cstdint>
#include <string>

namespace kw::test {

class TGenerator {
public:
    explicit TGenerator(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}

    uint32_t Next() {  // xorshift64*
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return static_cast<uint32_t>((state_ * 0x2545F4914F6CDD1Dull) >> 32);
    }
    uint32_t Below(uint32_t n) { return n ? Next() % n : 0; }

    // A value as the host may send it: markup, quotes, markers and tag names, Cyrillic,
    // control bytes.
    std::string Value() {
        static const char* const pieces[] = {
            "Guns N' Roses", "AC/DC & \"Friends\"", "<Unknown>", "&amp;", "\\", "\xCF\xF0\xE8\xE2\xE5\xF2",
            "!KW!", "!KW!SongTitle", "!KW!PlayedArtist", "!K", "W!", "SysMSG", "0", "B", " ", "\t", "\x01",
            "\x98", "\xB9", "\x95", "\xAB\xBB", "\n", "<script>alert(1)</script>", "%20", "+", "!",
        };
        std::string v;
        for (uint32_t n = Below(6); n > 0; --n)
            v += pieces[Below(sizeof pieces / sizeof *pieces)];
        return v;
    }

    TPageState Page() {
        TBroadcastState s;
        s.Song = {static_cast<uint8_t>(Below(3)), static_cast<double>(Below(4000)), 0, Value(), Value()};
        s.Element = {static_cast<uint8_t>(Below(20)), static_cast<double>(Below(100)), 0, Value(), Value()};
        s.Block = {static_cast<uint8_t>(Below(40)), static_cast<double>(Below(4000)), 0, Value()};
        TPlaylist playlist(Below(6));
        for (auto& e : playlist)
            e = {static_cast<uint8_t>(Below(3)), Below(4000000), Value(), Value()};
        TPlayedList played(Below(6));
        for (auto& e : played)
            e = {0, static_cast<uint8_t>(Below(3)), Below(4000000), Value(), Value()};
        s.Playlist = std::make_shared<const TPlaylist>(std::move(playlist));
        s.Played = std::make_shared<const TPlayedList>(std::move(played));
        s.ClockName = Value();
        s.NextClockName = Value();
        s.ClockType = static_cast<uint8_t>(Below(4));
        s.DetectorState = static_cast<uint8_t>(Below(8));
        s.ExclusiveMode = static_cast<uint8_t>(Below(256));
        s.SystemMessage = Value();
        TPageState page;
        page.Broadcast = std::make_shared<const TBroadcastState>(std::move(s));
        page.LinkState = static_cast<uint8_t>(Below(3));
        return page;
    }

    // A template of a few lines: text, markup, markers, tag names (none of the clock tags,
    // whose text follows the machine's regional settings), list digits, LF, CR LF, lone CR.
    std::string Template() {
        static const char* const pieces[] = {"<p>", "</p>", "\"", "'", "&", "text ", "!KW!", "!kw!", "!K", "W!",
                                             "\r\n", "\n", "\r", "0", "3", "B", "x", "Big", "!"};
        std::string t;
        for (uint32_t n = Below(40); n > 0; --n) {
            if (Below(3) == 0) {
                const TTagInfo& tag = TagTable()[Below(TagCount)];
                if (tag.Tag != TTag::SystemTime && tag.Tag != TTag::SystemDate && tag.Tag != TTag::SongRunTime &&
                    tag.Tag != TTag::SongRunDate) {
                    t += "!KW!";
                    t += tag.Name;
                    continue;
                }
            }
            t += pieces[Below(sizeof pieces / sizeof *pieces)];
        }
        return t;
    }

private:
    uint64_t state_;
};

// FNV-1a, 64 bits: a digest of a page that is the same everywhere.
inline uint64_t Digest(std::string_view bytes, uint64_t h = 0xCBF29CE484222325ull) {
    for (unsigned char c : bytes)
        h = (h ^ c) * 0x100000001B3ull;
    return h;
}

} // namespace kw::test
