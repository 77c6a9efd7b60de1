// The MQTT target against Debian's mosquitto, which each test starts on 127.0.0.1 with its own
// configuration (plain, with a password file, with TLS and a certificate the test makes), and
// mosquitto_sub as the subscriber: the page arrives byte for byte on the expanded topic and stays
// retained for a late subscriber; a broker restart in the middle of a burst delays no render and
// leaves the latest page on the broker; presence says "online", "offline" on a clean exit and,
// by the last will, after the process holding the link is killed; refusals and silent peers are
// red within their bounds. Native only (the broker and its clients are Linux programs).
#include "delivery/mqtt/MqttDelivery.h"
#include "delivery/mqtt/MqttTopic.h"
#include "live/NowPlaying.h"
#include "platform/Tcp.h"
#include "platform/Tls.h"
#include "tests/delivery/MosquittoBroker.h"
#include "tests/delivery/RenderedUpload.h"
#include "tests/platform/TempFolder.h"
#include "tests/support/ShippedMessages.h"
#include <gtest/gtest.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const auto* const kEnglish = ::testing::AddGlobalTestEnvironment(new kw::test::TEnglishMessages);

// The authority the system's trust store holds in these tests.
const kw::test::TTestCa& TrustedCa() {
    static const kw::test::TTestCa ca;
    return ca;
}

// The TLS seam reads the system's trust store once, with the process's first TLS connection, so
// the store names the test's authority before any test runs.
class TTrustedCaInTheStore : public ::testing::Environment {
public:
    void SetUp() override {
        if (TrustedCa().Ok())
            setenv("SSL_CERT_FILE", TrustedCa().CertFile().c_str(), 1);
    }
};
const auto* const kTrustedCa = ::testing::AddGlobalTestEnvironment(new TTrustedCaInTheStore);

using namespace kw;
using namespace kw::test;

// Short limits, so that the bounds are seen within a test's time.
mqtt::TLinkTimings Quick() {
    mqtt::TLinkTimings t;
    t.ConnectMs = 2000;
    t.ReplyMs = 2000;
    t.KeepAliveSecs = 2;
    t.BackoffFirstMs = 200;
    t.BackoffMaxMs = 1000;
    return t;
}

TWorkConfig MqttWork(const kwtest::TTempFolder& dir, uint16_t port, const std::string& topic) {
    TWorkConfig c;
    c.Section = c.Name = "File1";
    c.FileIn = dir.Path("page.tpl");
    c.FileOut = dir.Path("page.json");
    SetTargetChoice(c, tcMQTT);
    c.MQTT.Host = "127.0.0.1";
    c.MQTT.Port = port;
    c.MQTT.Topic = topic;
    return c;
}

// A page straight to the target, without a render (no tags in the topic).
TDeliveryResult Send(TMqttDelivery& target, const TWorkConfig& c, const std::string& page) {
    TWorkData work;
    return target.Deliver(work, c, TDeliveryPage{page, {}, {}});
}

TEST(MqttNames, StatusTopicClientIdAndTopicBound) {
    EXPECT_EQ(mqtt::DefaultStatusTopic("radio/studio1/now", "id"), "radio/studio1/status");
    EXPECT_EQ(mqtt::DefaultStatusTopic("radio/studio1/!KW!SongArtist/x", "id"), "radio/studio1/status");
    EXPECT_EQ(mqtt::DefaultStatusTopic("now", "id"), "now/status");
    EXPECT_EQ(mqtt::DefaultStatusTopic("!kw!SongArtist", "id"), "kwpage/id/status");
    EXPECT_EQ(mqtt::DefaultClientId("ST\xC0UDIO 1", "File1"), "KWPAGE-ST_UDIO_1-File1");
    EXPECT_EQ(mqtt::DefaultClientId(std::string(100, 'a'), "File1").size(), 64u);
    // A cut never splits a character: a two-byte letter across the bound goes whole.
    const std::string topic = std::string(mqtt::MaxTopicBytes - 1, 'a') + "\xD0\x9A" + "tail";
    EXPECT_EQ(mqtt::BoundedTopic(topic), std::string(mqtt::MaxTopicBytes - 1, 'a'));
    // Wildcards a hand-edited settings file may hold never reach the broker: it would drop us.
    TWorkConfig c;
    c.Section = "File1";
    c.MQTT.Topic = "radio/+/now#";
    c.MQTT.StatusTopic = "radio/#";
    EXPECT_EQ(MqttTopicOf(c, TDeliveryPage{}), "radio/_/now_");
    EXPECT_EQ(MqttAddressOf(c, "PC").StatusTopic, "radio/_");
    EXPECT_EQ(MqttAddressOf(c, "PC").ClientId, "KWPAGE-PC-File1");
    EXPECT_EQ(MqttAddressOf(c, "PC").Port, 1883);
    c.MQTT.Tls = true;
    EXPECT_EQ(MqttAddressOf(c, "PC").Port, 8883);
}

// Through the render as the program runs it: the topic's tags expanded, their values made
// topic-safe, the page byte for byte, QoS 1 acknowledged, retained for a late subscriber.
TEST(MqttBroker, RenderedPageArrivesByteForByteOnTheExpandedTopicAndStaysRetained) {
    TMosquitto broker({});
    ASSERT_TRUE(broker.Ok()) << "mosquitto did not start";
    kwtest::TTempFolder dir;
    dir.Write("page.tpl", "{\"artist\":\"!KW!SongArtist\",\"bytes\":\"\x01\xFF\"}\r\n");
    test::TRenderedUpload render(std::make_shared<TMqttDelivery>(Quick()));
    TBroadcastState state;
    state.Song.Artist = "\xCA\xE8\xED\xEE a/b+c#d";  // "Кино a/b+c#d" in Windows-1251
    render.Publish(state);
    auto work = std::make_shared<TWorkData>();
    const std::string status =
        render.Render(work, MqttWork(dir, broker.Port(), "radio/\xCF\xE5\xF0\xE2\xFB\xE9/!KW!SongArtist"));
    EXPECT_EQ(status.substr(status.size() - 7), " (MQTT)") << status;
    EXPECT_EQ(work->Show.Tone(), TStatusTone::Normal);
    // "Первый" and "Кино" in UTF-8; the value's "/", "+" and "#" as "_".
    const std::string topic =
        "radio/\xD0\x9F\xD0\xB5\xD1\x80\xD0\xB2\xD1\x8B\xD0\xB9/\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE a_b_c_d";
    EXPECT_EQ(broker.Receive(topic), dir.Read("page.json"));
    EXPECT_EQ(broker.Receive("radio/\xD0\x9F\xD0\xB5\xD1\x80\xD0\xB2\xD1\x8B\xD0\xB9/status"), "online");
}

// A work that publishes the now-playing document needs no template: the subscriber gets the
// document of the state the render read (the one of the work's delay), valid JSON in UTF-8, and
// the output file named gets the same bytes; without an output file only the broker gets it.
TEST(MqttBroker, NowPlayingDocumentArrivesAsValidJsonOfTheRenderedState) {
    TMosquitto broker({});
    ASSERT_TRUE(broker.Ok()) << "mosquitto did not start";
    kwtest::TTempFolder dir;
    test::TRenderedUpload render(std::make_shared<TMqttDelivery>(Quick()));
    render.Context().NowPlaying = live::NowPlayingJson;
    TBroadcastState state;
    state.Song.Artist = "\xCA\xE8\xED\xEE \"\\";  // "Кино" and JSON's own quote and back slash
    state.Song.Title = "\xC3\xF0\xF3\xEF\xEF\xE0 \xEA\xF0\xEE\xE2\xE8";
    state.Block.Name = "Night";
    render.Publish(state);
    TWorkConfig c = MqttWork(dir, broker.Port(), "radio/a/now");
    c.FileIn = dir.Path("no such template.tpl");
    c.MQTT.Payload = mpNowPlaying;
    auto work = std::make_shared<TWorkData>();
    std::string status = render.Render(work, c);
    EXPECT_EQ(status.substr(status.size() - 7), " (MQTT)") << status;
    const std::optional<std::string> document = broker.Receive("radio/a/now");
    ASSERT_TRUE(document);
    EXPECT_EQ(*document, dir.Read("page.json"));
    // Python's own JSON parser reads it and finds the state's values in UTF-8.
    dir.Write("document.json", *document);
    const std::string check =
        "import json,sys; d=json.load(open(sys.argv[1],encoding='utf-8')); "
        "assert d['song']['artist']=='\u041a\u0438\u043d\u043e \"\\\\', d['song']; "
        "assert d['song']['title']=='\u0413\u0440\u0443\u043f\u043f\u0430 \u043a\u0440\u043e\u0432\u0438'; "
        "assert d['block']['name']=='Night' and d['link']=='N' and d['version']==1, d";
    EXPECT_EQ(RunProgram({"/usr/bin/python3", "-c", check, dir.Path("document.json")}, dir.Path("python.out"), 20000), 0)
        << *document;

    // A later state, no output file: the broker has the new document, no file is written.
    state.Song.Artist = "Aquarium";
    render.Publish(state);
    c.FileOut = "";
    status = render.Render(work, c);
    EXPECT_EQ(work->Show.Tone(), TStatusTone::Normal) << status;
    const std::optional<std::string> next = broker.Receive("radio/a/now");
    ASSERT_TRUE(next);
    EXPECT_NE(next->find("\"artist\":\"Aquarium\""), std::string::npos) << *next;
    EXPECT_NE(dir.Read("page.json").find("\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE"), std::string::npos);  // the first one
}

TEST(MqttBroker, PasswordFileAndRefusals) {
    TMosquitto broker({"station", "s3cret!"});
    ASSERT_TRUE(broker.Ok()) << "mosquitto did not start";
    kwtest::TTempFolder dir;
    TMqttDelivery target(Quick());
    TWorkConfig c = MqttWork(dir, broker.Port(), "kw/now");
    c.MQTT.User = "station";
    c.MQTT.Password = "s3cret!";
    c.MQTT.Qos = 0;
    EXPECT_TRUE(Send(target, c, "page one").Ok);
    EXPECT_EQ(broker.Receive("kw/now"), "page one");

    // A wrong password: red at once with the broker's refusal (mosquitto says "not authorized"),
    // and the password nowhere.
    c.Section = "File2";
    c.MQTT.Password = "wrong-s3cret";
    auto start = Clock::now();
    TDeliveryResult r = Send(target, c, "page two");
    EXPECT_FALSE(r.Ok);
    EXPECT_LT(MsSince(start), 3000);
    const std::string text = TextOf(r.Message);
    EXPECT_NE(text.find("not authorized"), std::string::npos) << text;
    EXPECT_EQ(text.find("s3cret"), std::string::npos) << text;
    // While it stays refused the next page waits without holding the render.
    start = Clock::now();
    EXPECT_FALSE(Send(target, c, "page three").Ok);
    EXPECT_LT(MsSince(start), 500);

    // A port nobody listens on.
    c.MQTT.Port = FreePort();
    c.Section = "File3";
    start = Clock::now();
    r = Send(target, c, "page");
    EXPECT_FALSE(r.Ok);
    EXPECT_LT(MsSince(start), 3000);
    EXPECT_NE(TextOf(r.Message).find("Waiting for the broker: 127.0.0.1:"), std::string::npos) << TextOf(r.Message);
}

TEST(MqttBroker, PeerThatNeverAnswersIsRedWithinTheReplyLimitAndShutdownIsBounded) {
    net::TTcpListener silent;  // takes connections (the system's backlog) and never says a word
    ASSERT_TRUE(silent.Listen({{127, 0, 0, 1}, 0}, 8).ok());
    net::TIpv4Endpoint at;
    ASSERT_TRUE(silent.LocalEndpoint(at).ok());
    kwtest::TTempFolder dir;
    auto target = std::make_unique<TMqttDelivery>(Quick());
    const auto start = Clock::now();
    const TDeliveryResult r = Send(*target, MqttWork(dir, at.Port, "kw/now"), "page");
    EXPECT_FALSE(r.Ok);
    EXPECT_LT(MsSince(start), Quick().ConnectMs + Quick().ReplyMs + 1500);
    EXPECT_NE(TextOf(r.Message).find("did not answer the connection"), std::string::npos) << TextOf(r.Message);
    const auto stop = Clock::now();
    target.reset();
    EXPECT_LT(MsSince(stop), Quick().ConnectMs + Quick().ReplyMs + 1000);
}

TEST(MqttBroker, TlsWithAPinnedCertificate) {
    TMosquitto broker({"", "", true});
    ASSERT_TRUE(broker.Ok()) << "mosquitto with TLS did not start";
    kwtest::TTempFolder dir;
    TMqttDelivery target(Quick());
    TWorkConfig c = MqttWork(dir, broker.Port(), "kw/tls");
    c.MQTT.Tls = true;
    c.MQTT.TlsSha256 = broker.Sha256();
    const std::string page(70000, '\x7F');  // more than one TLS record
    TDeliveryResult r = Send(target, c, page);
    EXPECT_TRUE(r.Ok) << TextOf(r.Message);
    EXPECT_EQ(broker.Receive("kw/tls"), page);
    // Another pinned certificate: refused, and the broker's fingerprint is in the text to copy.
    c.Section = "File2";
    c.MQTT.TlsSha256 = std::string(64, 'a');
    r = Send(target, c, "page");
    EXPECT_FALSE(r.Ok);
    EXPECT_NE(TextOf(r.Message).find(broker.Sha256()), std::string::npos) << TextOf(r.Message);
}

// Without a pin the system's trust store decides: a broker whose certificate an authority of
// the store signed for its address is taken, one signed by another authority is refused.
TEST(MqttBroker, TlsTrustedByTheSystemsStore) {
    ASSERT_TRUE(TrustedCa().Ok()) << "openssl could not make the test's authority";
    ASSERT_STREQ(std::getenv("SSL_CERT_FILE"), TrustedCa().CertFile().c_str());
    TMosquitto broker({"", "", true, &TrustedCa()});
    ASSERT_TRUE(broker.Ok()) << "mosquitto with TLS did not start";
    kwtest::TTempFolder dir;
    TMqttDelivery target(Quick());
    TWorkConfig c = MqttWork(dir, broker.Port(), "kw/trusted");
    c.MQTT.Tls = true;
    std::string page(5000, '\0');
    for (size_t i = 0; i < page.size(); ++i)
        page[i] = static_cast<char>(i * 7);
    TDeliveryResult r = Send(target, c, page);
    EXPECT_TRUE(r.Ok) << TextOf(r.Message);
    EXPECT_EQ(broker.Receive("kw/trusted"), page);

    kw::test::TTestCa stranger;
    ASSERT_TRUE(stranger.Ok());
    TMosquitto other({"", "", true, &stranger});
    ASSERT_TRUE(other.Ok()) << "mosquitto with TLS did not start";
    c = MqttWork(dir, other.Port(), "kw/stranger");
    c.Section = "File2";
    c.MQTT.Tls = true;
    r = Send(target, c, "page");
    EXPECT_FALSE(r.Ok);
    const std::string text = TextOf(r.Message);
    EXPECT_EQ(text.find("Waiting for the broker: 127.0.0.1:"), 0u) << text;
    EXPECT_NE(text.find("certificate was refused: unable to get local issuer certificate"), std::string::npos) << text;
    EXPECT_EQ(other.Receive("kw/stranger", 1, 1), std::nullopt);  // nothing went out
}

// The broker goes away in the middle of a burst of pages: no page waits longer than the reply
// limit, the status is red while it is away, and the latest page, queued meanwhile, reaches a
// subscriber once the broker is back without another render; the next page is green again.
TEST(MqttBroker, RestartDuringABurstLeavesTheLatestPage) {
    TMosquitto broker({});
    ASSERT_TRUE(broker.Ok()) << "mosquitto did not start";
    kwtest::TTempFolder dir;
    TMqttDelivery target(Quick());
    const TWorkConfig c = MqttWork(dir, broker.Port(), "kw/burst");
    int64_t longest = 0;
    bool redWhileAway = true;
    std::string last;
    for (int i = 0; i < 60; ++i) {
        if (i == 30)
            broker.Stop();
        last = "page " + std::to_string(i);
        const auto start = Clock::now();
        const TDeliveryResult r = Send(target, c, last);
        longest = std::max(longest, MsSince(start));
        if (i >= 31)
            redWhileAway = redWhileAway && !r.Ok && TextOf(r.Message).find("Waiting for the broker") == 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(redWhileAway);
    EXPECT_LT(longest, Quick().ReplyMs + 1000);
    broker.Start();
    ASSERT_TRUE(broker.Ok());
    EXPECT_EQ(broker.Receive("kw/burst", 1, 5), last);
    EXPECT_TRUE(Send(target, c, "after").Ok);
}

// Presence: "online" while connected, "offline" at once on a clean exit, and "offline" by the
// last will within one and a half keep-alives after the process holding the link is killed.
TEST(MqttBroker, PresenceOnCleanExitAndAfterAKill) {
    TMosquitto broker({});
    ASSERT_TRUE(broker.Ok()) << "mosquitto did not start";
    kwtest::TTempFolder dir;
    TWorkConfig c = MqttWork(dir, broker.Port(), "studio/a/now");
    {
        TMqttDelivery target(Quick());
        ASSERT_TRUE(Send(target, c, "page").Ok);
        EXPECT_EQ(broker.Receive("studio/a/status"), "online");
    }
    EXPECT_EQ(broker.Receive("studio/a/status"), "offline");

    // A child holds the link (no thread of this process crosses the fork). Frozen, it sends no
    // keep-alive and the broker gives it up within one and a half of them; killed, its socket
    // closes and the broker says so at once.
    const auto holdLink = [&](const std::string& studio) {
        c.MQTT.Topic = "studio/" + studio + "/now";
        const pid_t child = fork();
        if (child == 0) {
            TMqttDelivery target(Quick());
            (void)Send(target, c, "page");
            for (;;)
                pause();
        }
        return child;
    };
    const auto statusBecomes = [&](const std::string& studio, const std::string& word, int limitMs) {
        const auto start = Clock::now();
        while (MsSince(start) < limitMs)
            if (broker.Receive("studio/" + studio + "/status", 1, 1) == word)
                return true;
        return false;
    };
    for (const int signal : {SIGSTOP, SIGKILL}) {
        const std::string studio = signal == SIGSTOP ? "frozen" : "killed";
        const pid_t child = holdLink(studio);
        ASSERT_GT(child, 0);
        EXPECT_TRUE(statusBecomes(studio, "online", 10000));
        kill(child, signal);
        const auto gone = Clock::now();
        EXPECT_TRUE(statusBecomes(studio, "offline", 10000)) << studio;
        // The broker counts one and a half keep-alives from the link's last packet, which was
        // at most half a keep-alive earlier, and looks at its clients about once a second.
        EXPECT_LT(MsSince(gone), Quick().KeepAliveSecs * 1500 + 3000) << studio;
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
    }
}

} // namespace
