// Two figures of the MQTT target, each beside a physical reference of the same run:
//  1. A page (4 KB, QoS 1, retained) from the hand-over to the target until a subscriber of
//     this program has it, beside writing the same page to a file as a render does (the two in
//     turns, so a change of the machine's load falls on both alike): median and p99, and their
//     ratios.
//  2. A group: 100 studios (100 links of our client in this process), each publishing every
//     100 ms for KW_MQTT_BENCH_SECS seconds (60 unless set) into one mosquitto; afterwards
//     mosquitto_sub subscribed to "group/+/now" must get every studio's latest page; this
//     process's CPU per publish beside one thread's CPU for a plain socket write of the same
//     bytes.
#include "delivery/mqtt/MqttDelivery.h"
#include "platform/FileIo.h"
#include "tests/delivery/MosquittoBroker.h"
#include "tests/support/MqttSubscribe.h"
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <sstream>
#include <sys/resource.h>

namespace {

using namespace kw;
using namespace kw::test;

double Micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

double CpuSeconds(int who) {
    rusage u{};
    getrusage(who, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

TWorkConfig Work(uint16_t port, const std::string& section, const std::string& topic) {
    TWorkConfig c;
    c.Section = c.Name = section;
    SetTargetChoice(c, tcMQTT);
    c.MQTT.Host = "127.0.0.1";
    c.MQTT.Port = port;
    c.MQTT.Topic = topic;
    return c;
}

// A subscriber of our own on a thread: the moment each PUBLISH of `topic` arrived.
class TSubscriber {
public:
    bool Start(uint16_t port, const std::string& topic) {
        if (!c_.Connect(net::TIpv4Endpoint{{127, 0, 0, 1}, port}, 5000).ok())
            return false;
        const std::string bytes = kw::test::MqttSubscribeBytes("kwpage-bench-subscriber", topic);
        if (!c_.SendAll(bytes.data(), bytes.size(), 5000).ok())
            return false;
        thread_ = std::thread([this] { Read(); });
        return true;
    }
    ~TSubscriber() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    uint64_t Count() const { return count_.load(std::memory_order_acquire); }
    Clock::time_point Last() const { return Clock::time_point(Clock::duration(last_.load(std::memory_order_acquire))); }

private:
    // Counts the PUBLISH packets by their fixed headers (CONNACK and SUBACK are skipped alike).
    void Read() {
        std::string buffer;
        char chunk[65536];
        while (!stop_) {
            size_t got = 0;
            if (!c_.Receive(chunk, sizeof chunk, got, 100).ok() || got == 0)
                continue;
            buffer.append(chunk, got);
            for (;;) {
                size_t length = 0, used = 1;
                bool whole = false;
                for (size_t m = 1; used < buffer.size() && used < 5; m *= 128) {
                    const auto d = static_cast<uint8_t>(buffer[used++]);
                    length += (d & 0x7F) * m;
                    if (!(d & 0x80)) {
                        whole = true;
                        break;
                    }
                }
                if (!whole || buffer.size() < used + length)
                    break;
                const bool publish = (static_cast<uint8_t>(buffer[0]) & 0xF0) == 0x30;
                buffer.erase(0, used + length);
                if (publish) {
                    last_.store(Clock::now().time_since_epoch().count(), std::memory_order_release);
                    count_.fetch_add(1, std::memory_order_acq_rel);
                }
            }
        }
    }

    net::TTcpConnection c_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> count_{0};
    std::atomic<Clock::rep> last_{0};
};

double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
}

bool Latency(TMosquitto& broker) {
    TSubscriber subscriber;
    if (!subscriber.Start(broker.Port(), "bench/latency"))
        return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    TMqttDelivery target;
    TWorkData work;
    const TWorkConfig c = Work(broker.Port(), "Latency", "bench/latency");
    const std::string page(4096, 'p');
    const std::string file = broker.dir_.Path("page.html");
    std::vector<double> mqtt, disk;
    for (int i = 0; i < 600; ++i) {
        const uint64_t before = subscriber.Count();
        const auto start = Clock::now();
        if (!target.Deliver(work, c, TDeliveryPage{page, {}, {}}).Ok)
            return false;
        while (subscriber.Count() == before)
            if (Clock::now() - start > std::chrono::seconds(5))
                return false;
        if (i >= 100)  // the first ones connect and warm up
            mqtt.push_back(Micros(subscriber.Last() - start));
        std::string error;
        const auto w = Clock::now();
        if (!fs::WriteFileReplacing(file, page, error))
            return false;
        if (i >= 100)
            disk.push_back(Micros(Clock::now() - w));
    }
    const double m50 = Percentile(mqtt, 0.5), m99 = Percentile(mqtt, 0.99);
    const double d50 = Percentile(disk, 0.5), d99 = Percentile(disk, 0.99);
    std::printf("element -> subscriber (4 KB, QoS 1): median %.0f us, p99 %.0f us\n", m50, m99);
    std::printf("element -> file on disk (4 KB):      median %.0f us, p99 %.0f us\n", d50, d99);
    std::printf("ratio: median %.2fx, p99 %.2fx\n", m50 / d50, m99 / d99);
    return true;
}

// The same bytes as one publish, written on a plain loopback socket to a sink: one thread's CPU
// per write.
double PlainWriteCpu(const std::string& bytes, int writes) {
    net::TTcpListener l;
    net::TIpv4Endpoint at;
    if (!l.Listen({{127, 0, 0, 1}, 0}).ok() || !l.LocalEndpoint(at).ok())
        return 0;
    std::atomic<bool> done{false};
    std::thread sink([&] {
        net::TTcpConnection in;
        if (!l.Accept(in, 5000).ok())
            return;
        char buffer[65536];
        size_t got = 0;
        while (!done && in.Receive(buffer, sizeof buffer, got, 100).Kind != net::TNetStatus::Closed) {
        }
    });
    net::TTcpConnection out;
    double cpu = 0;
    if (out.Connect(at, 5000).ok()) {
        const double before = CpuSeconds(RUSAGE_THREAD);
        for (int i = 0; i < writes; ++i)
            if (!out.SendAll(bytes.data(), bytes.size(), 5000).ok())
                break;
        cpu = CpuSeconds(RUSAGE_THREAD) - before;
        out.Close();
    }
    done = true;
    sink.join();
    return cpu / writes;
}

bool Group(TMosquitto& broker, int seconds) {
    constexpr int Studios = 100, Drivers = 4;
    std::vector<std::string> last(Studios);
    std::atomic<uint64_t> publishes{0}, failures{0};
    const double cpuBefore = CpuSeconds(RUSAGE_SELF);
    {
        TMqttDelivery target;
        std::vector<std::thread> drivers;
        const auto end = Clock::now() + std::chrono::seconds(seconds);
        for (int d = 0; d < Drivers; ++d)
            drivers.emplace_back([&, d] {
                TWorkData work;
                for (int round = 0; Clock::now() < end; ++round) {
                    const auto due = Clock::now() + std::chrono::milliseconds(100);
                    for (int s = d; s < Studios; s += Drivers) {
                        char section[24];
                        std::snprintf(section, sizeof section, "Studio%03d", s);
                        const std::string page = std::string(section) + " page " + std::to_string(round) +
                                                 std::string(1000, '.');
                        if (target.Deliver(work, Work(broker.Port(), section, std::string("group/") + section + "/now"),
                                           TDeliveryPage{page, {}, {}})
                                .Ok)
                            last[s] = page;
                        else
                            ++failures;
                        ++publishes;
                    }
                    std::this_thread::sleep_until(due);
                }
            });
        for (auto& t : drivers)
            t.join();
    }
    const double cpuPerPublish = (CpuSeconds(RUSAGE_SELF) - cpuBefore) / static_cast<double>(publishes);
    // A subscriber to every studio's topic after the run: the broker hands it every studio's latest (retained) page.
    std::vector<std::string> sub = broker.Client();
    sub.insert(sub.end(), {"-t", "group/+/now", "-v", "-C", std::to_string(Studios), "-W", "10"});
    if (RunProgram(sub, broker.dir_.Path("group.out"), 15000) != 0)
        return false;
    std::map<std::string, std::string> seen;
    std::istringstream lines(broker.dir_.Read("group.out"));
    for (std::string line; std::getline(lines, line);) {
        const size_t space = line.find(' ');
        if (space != std::string::npos && line.compare(0, 6, "group/") == 0)
            seen[line.substr(6, 9)] = line.substr(space + 1);
    }
    int arrived = 0;
    for (int s = 0; s < Studios; ++s) {
        char section[16];
        std::snprintf(section, sizeof section, "Studio%03d", s);
        arrived += !last[s].empty() && seen[section] == last[s];
    }
    std::string bytes;
    mqtt::EncodePublish("group/Studio000/now", last[0], 1, true, 1, bytes);
    const double plain = PlainWriteCpu(bytes, 20000);
    std::printf("group: %d studios, %d s, %llu publishes (%llu failed); latest page arrived for %d of %d\n", Studios,
                seconds, static_cast<unsigned long long>(publishes.load()),
                static_cast<unsigned long long>(failures.load()), arrived, Studios);
    std::printf("CPU per publish: ours %.1f us (process, QoS 1 with its acknowledgement), plain socket write "
                "%.1f us; ratio %.1fx\n",
                cpuPerPublish * 1e6, plain * 1e6, cpuPerPublish / plain);
    return arrived == Studios && failures == 0;
}

} // namespace

int main() {
    TMosquitto broker({});
    if (!broker.Ok()) {
        std::fprintf(stderr, "mosquitto did not start\n");
        return 1;
    }
    if (!Latency(broker)) {
        std::fprintf(stderr, "the latency run failed\n");
        return 1;
    }
    const char* secs = std::getenv("KW_MQTT_BENCH_SECS");
    return Group(broker, secs ? std::atoi(secs) : 60) ? 0 : 1;
}
