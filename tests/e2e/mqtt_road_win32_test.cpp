// The MQTT road with the real KWPAGE.exe and the host player, against Debian's mosquitto (ctest
// starts it, mqtt_fixture.sh) and read by Debian's mosquitto_sub, which Wine starts as the Linux
// program it is: a template work's page arrives byte for byte on its expanded topic and stays
// retained; a work that publishes the now-playing document needs no template and its document
// names the song; the status topic says "online" while the program runs, "offline" by the last
// will once the program is ended hard, and "offline" at once after a clean close. Each element's
// way to the subscriber is timed beside its way to the output file.
#include <winsock2.h>
#include "tests/e2e/Station_win32.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdlib>
#include <regex>
#include <vector>

namespace kw::e2e {
namespace {

constexpr int KeepAliveSecs = 30;  // the program's keep-alive (delivery/mqtt/BrokerLink.h)

std::string BrokerPort() {
    const char* dir = std::getenv("KW_MQTT_BROKER_DIR");
    if (!dir)
        return {};
    std::string port = ReadFile(std::string("Z:") + dir + "/port");
    port.erase(std::remove_if(port.begin(), port.end(), [](char c) { return c < '0' || c > '9'; }), port.end());
    return port;
}

// mosquitto_sub, started by Wine as the Linux program it is, with its output into a file of the
// station; `arguments` after the broker's. Wine gives no handle of a Linux process to wait on:
// every run ends by itself (-C, -W) and the test reads what its file holds.
bool StartSubscriber(const TStation& station, const std::string& port, const std::string& arguments,
                     const std::string& output) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileA(station.Path(output).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return false;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = out;
    si.hStdError = out;
    std::string line = "/usr/bin/mosquitto_sub -h 127.0.0.1 -p " + port + " " + arguments;
    PROCESS_INFORMATION pi = {};
    const BOOL started =
        CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, station.Folder().c_str(), &si, &pi);
    // What Wine puts into `pi` for a Linux program is not ours to close: closing it closed
    // another handle of this test (the program's), so it is left alone.
    CloseHandle(out);
    return started != FALSE;
}

// The end of a message in the subscriber's output (a page never holds it).
const std::string EndMark = "#KW-END#";

// The first message of `topic` within `waitSecs` (a retained one at once), or "" for none.
std::string Receive(const TStation& station, const std::string& port, const std::string& topic, int waitSecs = 3) {
    static int runs = 0;
    const std::string output = "sub" + std::to_string(++runs) + ".out";
    if (!StartSubscriber(station, port, "-t \"" + topic + "\" -C 1 -N -F %p" + EndMark + " -W " + std::to_string(waitSecs),
                         output))
        return "<mosquitto_sub did not start>";
    std::string text;
    WaitFor([&] { return (text = ReadFile(station.Path(output))).find(EndMark) != std::string::npos; },
            static_cast<DWORD>(waitSecs) * 1000 + 3000);
    const size_t end = text.find(EndMark);
    return end == std::string::npos ? std::string() : text.substr(0, end);
}

// Polls the status topic until it says `word`; the milliseconds it took, or -1.
long long StatusBecomes(const TStation& station, const std::string& port, const std::string& word, DWORD limitMs) {
    const ULONGLONG start = GetTickCount64();
    while (GetTickCount64() - start < limitMs)
        if (Receive(station, port, "studio1/status", 1) == word)
            return static_cast<long long>(GetTickCount64() - start);
    return -1;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

constexpr int Songs = 8;
std::string SongTitle(int i) { return "Song-" + std::to_string(i); }

TEST(MqttRoad, PagesAndTheNowPlayingDocumentReachTheBrokerAndPresenceFollowsTheProgram) {
    const std::string port = BrokerPort();
    ASSERT_FALSE(port.empty()) << "mosquitto fixture not running (KW_MQTT_BROKER_DIR)";
    TStation station("mqtt");
    ASSERT_TRUE(station.Ok());
    WriteFile(station.Path("page.tpl"), "{\"artist\":\"!KW!SongArtist\",\"title\":\"!KW!SongTitle\"}\n");
    // Both works name one broker, client id and status topic: one connection for the studio.
    const std::string broker = "Target=MQTT\r\nMQTTHost=127.0.0.1\r\nMQTTPort=" + port +
                               "\r\nMQTTClientId=studio1\r\nMQTTStatusTopic=studio1/status\r\n";
    TStationWork page = Work("a-page", "page.tpl", "a.json", 1);
    page.Extra = broker + "MQTTTopic=studio1/page/!KW!SongTitle\r\n";
    // No template file at all: the document is the page.
    TStationWork now = Work("b-now", "missing.tpl", "b.json", 0);
    now.Extra = broker + "MQTTTopic=studio1/nowplaying\r\nMQTTPayload=NowPlaying\r\n";
    station.WriteSettings({page, now});

    // Every page's topic as it arrives, to time the road (started before the program).
    ASSERT_TRUE(StartSubscriber(station, port, "-t \"studio1/page/+\" -F %t -W 40", "timing.out"));
    ASSERT_TRUE(station.Start());
    // The songs come after the start-up renders of the first ten seconds.
    std::string script = "connect\nwait 11000\n";
    for (int i = 1; i <= Songs; ++i)
        script += "element song=0 type=0 duration=183000 artist=\"Кино\" title=\"" + SongTitle(i) + "\"\nwait 1500\n";
    script += "element song=0 type=0 duration=183000 artist=\"Кино\" title=\"Группа крови/live+1\"\nwait 3000\n";
    ASSERT_TRUE(station.PlayHost(script));

    // Each song: when the host had sent it, when its page was in the file, when the subscriber had it.
    std::vector<ULONGLONG> sent(Songs + 1), written(Songs + 1), received(Songs + 1);
    const ULONGLONG limit = GetTickCount64() + 60000;
    while (GetTickCount64() < limit && !received[Songs]) {
        const ULONGLONG t = GetTickCount64();
        const std::string host = station.HostOutput(), file = ReadFile(station.Path("a.json")),
                          topics = ReadFile(station.Path("timing.out"));
        int elements = 0;
        for (size_t at = host.find("element -> "); at != std::string::npos; at = host.find("element -> ", at + 1))
            ++elements;
        for (int i = 1; i <= Songs; ++i) {
            if (!sent[i] && elements >= i)
                sent[i] = t;
            if (!written[i] && file.find("\"" + SongTitle(i) + "\"") != std::string::npos)
                written[i] = t;
            if (!received[i] && topics.find("studio1/page/" + SongTitle(i) + "\n") != std::string::npos)
                received[i] = t;
        }
        Sleep(2);
    }
    std::vector<double> toFile, toSubscriber;
    for (int i = 1; i <= Songs; ++i) {
        EXPECT_TRUE(sent[i] && written[i] && received[i]) << SongTitle(i);
        if (sent[i] && written[i] && received[i]) {
            toFile.push_back(static_cast<double>(written[i] - sent[i]));
            toSubscriber.push_back(static_cast<double>(received[i] - sent[i]));
        }
    }
    std::printf("element -> output file: median %.0f ms; element -> subscriber (mosquitto_sub): median %.0f ms; "
                "ratio %.2f (%zu songs, polled every 2 ms)\n",
                Median(toFile), Median(toSubscriber), Median(toSubscriber) / std::max(1.0, Median(toFile)),
                toFile.size());

    // The last song: the page byte for byte on its expanded topic (the value's "/" and "+" as
    // "_"), retained for a subscriber that comes afterwards, as the file holds it.
    const std::string kino = "\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE";
    const std::string lastTopic = "studio1/page/Группа крови_live_1";
    const std::string lastTopicAnsi = Encode(lastTopic, CP_ACP);  // the command line is the system's code page
    std::string got;
    EXPECT_TRUE(WaitFor([&] { return (got = Receive(station, port, lastTopicAnsi)).find(kino) != std::string::npos; },
                        20000))
        << got;
    EXPECT_EQ(got, ReadFile(station.Path("a.json")));
    EXPECT_EQ(got, "{\"artist\":\"" + kino + "\",\"title\":\"Группа крови/live+1\"}\r\n");
    // The document: the same song, the file's bytes, JSON in UTF-8.
    std::string document;
    EXPECT_TRUE(WaitFor([&] {
        document = Receive(station, port, "studio1/nowplaying");
        return document.find("Группа крови/live+1") != std::string::npos;
    }, 20000)) << document;
    EXPECT_EQ(document, ReadFile(station.Path("b.json")));
    EXPECT_NE(document.find("\"song\":{\"type\":\"M\",\"artist\":\"" + kino + "\",\"title\":\"Группа крови/live+1\""),
              std::string::npos)
        << document;
    EXPECT_EQ(document.front(), '{');
    EXPECT_EQ(document.back(), '}');
    EXPECT_TRUE(std::regex_search(station.WorkStatus(1), std::regex(R"(\(MQTT\)$)"))) << station.WorkStatus(1);
    EXPECT_EQ(Receive(station, port, "studio1/status"), "online");

    // Ended hard: the connection is gone with the process, the broker sends the last will within
    // one and a half keep-alives (at once here, since the system closes the socket).
    ASSERT_TRUE(TerminateProcess(station.Program().Handle(), 9));
    EXPECT_NE(station.Program().WaitExit(10000), STILL_ACTIVE);
    const long long will = StatusBecomes(station, port, "offline", KeepAliveSecs * 1500 + 5000);
    EXPECT_GE(will, 0) << "no offline from the broker after the program was ended";
    // Started again: online; Windows logs off: the program says offline itself before it goes.
    ASSERT_TRUE(station.Start());
    const long long online = StatusBecomes(station, port, "online", 30000);
    EXPECT_GE(online, 0);
    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutW(station.Main(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000,
                                    &answer));
    EXPECT_EQ(station.Program().WaitExit(15000), 0u);
    const ULONGLONG closed = GetTickCount64();
    EXPECT_EQ(Receive(station, port, "studio1/status"), "offline");
    std::printf("offline after the program was ended hard: %lld ms; online after its restart: %lld ms; offline read "
                "%llu ms after a clean close\n",
                will, online, GetTickCount64() - closed);
}

} // namespace
} // namespace kw::e2e

int main(int argc, char** argv) { return kw::e2e::RunStationTests(argc, argv); }
