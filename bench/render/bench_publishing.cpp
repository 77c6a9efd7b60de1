// Publishing figures, each against a reference from the same run:
//  - the render of a page with a 600 s history of broadcast states against the same render
//    without one (the delayed snapshot is looked up; goal: at most 1.05 times);
//  - the memory the history holds at 600 s, at a state a second and at its cap;
//  - deliveries in a station hour with a 60 s period: every render against only changed pages.
#include "bench/common/Turns.h"
#include "render/CodePages.h"
#include "render/PublishRules.h"
#include "render/RenderWork.h"
#include <malloc.h>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace kw {
namespace {

std::atomic<int64_t> ClockMs{0};

TBroadcastState State(int second) {
    TBroadcastState s;
    const int song = second / 210;  // a song every three and a half minutes
    s.Song = {2, 210, 46000.5, "\xCA\xE8\xED\xEE Artist " + std::to_string(song), "Title of song " + std::to_string(song)};
    s.Element = s.Song;
    s.Block.Name = "Morning show";
    s.ClockName = "Morning";
    s.SystemMessage = "All well";
    s.LastDataTime = 46000.5 + second / 86400.0;  // the host's state message, once a second
    return s;
}

// A store that has seen `seconds` of a host publishing one state a second (or `perSecond`).
void Fill(TBroadcastStore& store, int seconds, int perSecond) {
    for (int i = 0; i < seconds * perSecond; ++i) {
        ClockMs = int64_t{i} * 1000 / perSecond;
        store.Publish(std::make_shared<const TBroadcastState>(State(i / perSecond)));
    }
}

size_t HeapInUse() { return mallinfo2().uordblks; }

std::string ReadTemplate(const char* name) {
    std::ifstream in(std::string(KW_SOURCE_DIR "/dist/templates/") + name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void RenderCost() {
    TBroadcastStore plain([] { return ClockMs.load(); });
    TBroadcastStore delayed([] { return ClockMs.load(); });
    delayed.KeepFor(600'000);
    Fill(plain, 600, 1);
    Fill(delayed, 600, 1);
    const TTemplateLines lines(ReadTemplate("nowplaying-utf-8.html"));
    auto render = [&](TBroadcastStore& store, int64_t delay) {
        return [&store, &lines, delay] {
            for (int i = 0; i < 2000; ++i) {
                TPageState page;
                page.Broadcast = store.Delayed(delay);
                page.LinkState = 2;
                page.Now = 46000.5;
                if (RenderPage(lines, cpUTF8, escNone, page).empty())
                    return false;
            }
            return true;
        };
    };
    bool ok = true;
    const auto m = bench::MediansInTurns(41, {render(plain, 0), render(delayed, 600'000)}, ok);
    std::printf("render with a 600 s history (%zu states) against none: %.3fx (%.1f us against %.1f us a page)%s\n",
                delayed.HistorySize(), m[1] / m[0], m[1] / 2000 * 1e6, m[0] / 2000 * 1e6, ok ? "" : " FAILED");
}

void HistoryMemory(int perSecond) {
    const size_t before = HeapInUse();
    {
        TBroadcastStore store([] { return ClockMs.load(); });
        store.KeepFor(600'000);
        Fill(store, 600, perSecond);
        const size_t after = HeapInUse();
        std::printf("history at 600 s, %d state(s) a second: %zu states, %.0f KiB (%.0f bytes a state)\n", perSecond,
                    store.HistorySize(), (after - before) / 1024.0,
                    static_cast<double>(after - before) / static_cast<double>(store.HistorySize()));
        // three hours more: memory stays where it was
        for (int i = 0; i < 3 * 3600 * perSecond; ++i) {
            ClockMs += 1000 / perSecond;
            store.Publish(std::make_shared<const TBroadcastState>(State(600 + i / perSecond)));
            if ((i + 1) % (3600 * perSecond) == 0)
                std::printf("  %d h later: %zu states, %.0f KiB\n", (i + 1) / (3600 * perSecond), store.HistorySize(),
                            (HeapInUse() - before) / 1024.0);
        }
    }
}

TPublishRules OnlyChanged(TTrigger trigger, bool onBlock) {
    TPublishRules rules;
    rules.Trigger = trigger;
    rules.OnBlock = onBlock;
    rules.OnlyChanged = true;
    return rules;
}

// A music hour: songs of 3.5 min, each after a jingle; an ad block at :20 and :50 with three
// ads. Every element and block renders at once (today), and the period (60 s from the end of
// the last render) renders in between.
void StationHour() {
    const TTemplateLines lines(ReadTemplate("rds.txt"));
    struct TEvent {
        int At;
        bool Song, Block;
        std::string Name;
    };
    std::vector<TEvent> events;
    int song = 0;
    for (int t = 0; t < 3600;) {
        if ((t >= 1200 && t < 1230) || (t >= 3000 && t < 3030)) {
            events.push_back({t, false, true, "Ads"});
            for (int i = 0; i < 3; ++i)
                events.push_back({t + i * 30, false, false, "Ad " + std::to_string(i)});
            t += 90;
            continue;
        }
        events.push_back({t, false, false, "Jingle"});
        events.push_back({t + 5, true, false, "Song " + std::to_string(song++)});
        t += 215;
    }
    auto deliveries = [&](TPublishRules rules) {
        TBroadcastState s;
        TPublishedPage last;
        int sent = 0;
        int64_t next = 0;
        size_t e = 0;
        for (int t = 0; t < 3600; ++t) {
            bool due = t >= next;
            for (; e < events.size() && events[e].At == t; ++e) {
                s.Element.Title = events[e].Name;
                if (events[e].Song)
                    s.Song.Title = events[e].Name;
                THostEvents host;
                if (events[e].Block)
                    host.Block = true;
                else
                    host.NoteElement(events[e].Song ? 0 : 5, events[e].Song);
                due = due || TriggerMatches(rules, host);
            }
            if (!due)
                continue;
            TPageState page;
            page.Broadcast = std::make_shared<const TBroadcastState>(s);
            page.LinkState = 2;  // data received: the live tags show their values
            const std::string text = RenderPage(lines, cpLatin, escLineSafe, page);
            next = t + 60;
            if (!PageIsDue(rules, last, text, int64_t{t} * 1000))
                continue;
            ++sent;
            if (rules.OnlyChanged)
                last = {true, text, int64_t{t} * 1000};
        }
        return sent;
    };
    int distinct = 0;
    for (const TEvent& ev : events)
        distinct += ev.Song;
    std::printf("station hour, 60 s period, %d songs: %d deliveries today, %d only when changed, %d songs only "
                "and only when changed\n",
                distinct, deliveries(TPublishRules{}), deliveries(OnlyChanged(trEveryElement, true)),
                deliveries(OnlyChanged(trSongs, false)));
}

} // namespace
} // namespace kw

int main() {
    kw::RenderCost();
    kw::HistoryMemory(1);
    kw::HistoryMemory(50);
    kw::StationHour();
    return 0;
}
