// Under Wine (or Windows): the host's handler taking one element message while the reader
// thread sleeps, as it does between songs, until the host has its answer (the handler answers
// before it wakes the reader); beside it, in turns and after the same pause, a cold malloc +
// memcpy + free of the same payload. The ratio of the medians is the figure. The same handler
// with a reader that is never asleep (it passes every 20 ms, so there is nobody to wake) shows
// what the wake costs after the answer.
//     wine hostlink_handler_asleep_bench.exe [messages]
#include "bench/hostlink/BenchLink.h"
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

double Microseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    static const double perUs = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1e6;
    }();
    return static_cast<double>(to.QuadPart - from.QuadPart) / perUs;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void* volatile Sink;
LARGE_INTEGER Replied;  // when the handler answered the host
void Reply() { QueryPerformanceCounter(&Replied); }

// Medians of the handler's time for `count` messages, each after a pause in which the reader
// drains the last one; false when a message was not taken and drained (the figure would be of
// a refusal).
bool TimeHandler(kw::bench::TLink& link, int count, std::vector<double>& handler, std::vector<double>& whole,
                 std::vector<double>& reference) {
    // An element of 100 bytes, as the host sends one: marker, type, duration, artist CR title.
    std::vector<uint8_t> payload(100, 'x');
    const uint8_t head[] = {0, 2, 0x40, 0xBF, 2, 0};
    const std::string text = "Artist name\rTitle of the song";
    std::memcpy(payload.data(), head, sizeof head);
    std::memcpy(payload.data() + sizeof head, text.data(), text.size());
    const uint64_t field1 = (uint64_t{1} << 16) | kw::MsgElement;
    // Once round the ring first, as a running program has gone: every slot then keeps a block
    // the reader has given back, and the handler allocates nothing.
    for (int i = 0; i < kw::TInboundRing::SlotCount; ++i) {
        link.inbox.WMCOPYDATA(1, field1, payload.size(), payload.data());
        if (i % 64 == 63)
            Sleep(50);
    }
    for (int i = 0; i < count; ++i) {
        Sleep(25);  // the reader drains the last message (and, when it may, falls asleep)
        if (link.ring.IsFilled(link.inbox.WriteIndex))
            return false;
        const int slot = link.inbox.WriteIndex;
        LARGE_INTEGER a, b;
        QueryPerformanceCounter(&a);
        link.inbox.WMCOPYDATA(1, field1, payload.size(), payload.data(), Reply);
        QueryPerformanceCounter(&b);
        if (link.inbox.WriteIndex == slot)
            return false;
        handler.push_back(Microseconds(a, Replied));
        whole.push_back(Microseconds(a, b));

        Sleep(5);
        QueryPerformanceCounter(&a);
        void* copy = std::malloc(payload.size());
        std::memcpy(copy, payload.data(), payload.size());
        Sink = copy;
        std::free(copy);
        QueryPerformanceCounter(&b);
        reference.push_back(Microseconds(a, b));
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    std::vector<double> asleep, asleepWhole, awake, awakeWhole, reference;
    {
        kw::bench::TLink link(128);
        link.reader.SetIdlePlan([] { return 60000; });  // nothing due: the reader sleeps until woken
        link.reader.Start();
        if (!TimeHandler(link, count, asleep, asleepWhole, reference)) {
            std::fprintf(stderr, "a message was not taken or not drained\n");
            return 1;
        }
    }
    {
        kw::bench::TLink link(128);
        link.reader.SetIdlePlan([] { return 1; });  // the reader passes every 20 ms: never asleep to wake
        link.reader.Start();
        if (!TimeHandler(link, count, awake, awakeWhole, reference)) {
            std::fprintf(stderr, "a message was not taken or not drained\n");
            return 1;
        }
    }
    const double h = Median(asleep), w = Median(awake), r = Median(reference);
    std::printf("handler until the host has its answer, %d messages each (medians): reader asleep %.2f us, never "
                "asleep %.2f us; cold malloc+memcpy+free %.2f us; asleep / reference %.2f. The wake after the "
                "answer: %.2f us\n",
                count, h, w, r, h / r, Median(asleepWhole) - Median(awakeWhole));
    return 0;
}
