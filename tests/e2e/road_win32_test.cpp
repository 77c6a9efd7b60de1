// The host-to-page road with the real KWPAGE.exe, the host player and a real FTP server: an
// element on air reaches every code page's page and the FTP server, the link status follows
// the host, every tag gives its value only when it should, and a server that is down is
// reported and tried again.
#include <winsock2.h>
#include "tests/e2e/Station_win32.h"
#include "tests/delivery/FtpTestServers.h"
#include <gtest/gtest.h>
#include <map>
#include <regex>

namespace kw::e2e {
namespace {

const std::string WaitText = "Ожидание связи";
const std::string ConnectedText = "Связь установлена";
const std::string NoTemplateText = "Файл шаблона не найден";
const std::regex StampPattern(R"(^\d\d:\d\d:\d\d  \d\d\.\d\d$)");

const std::string Artist = "Кино и Ёлка";
const std::string Title = "Группа крови";

int Count(const std::vector<std::string>& lines, const std::string& prefix) {
    int n = 0;
    for (const std::string& line : lines)
        n += line.compare(0, prefix.size(), prefix) == 0;
    return n;
}

TEST(Road, OneElementReachesEveryCodePageAndTheFtpServerWhileTheLinkStatusFollowsTheHost) {
    test::TRealFtpServer server("pyftpdlib");
    ASSERT_TRUE(server.Ok()) << "pyftpdlib fixture not running (KW_FTP_PYFTPDLIB_DIR)";
    const std::string uploaded = server.Root() + "/nowplaying.html";
    DeleteFileA(uploaded.c_str());

    TStation station("road");
    ASSERT_TRUE(station.Ok());
    WriteFile(station.Path("page.tpl"), "<p>!KW!SongArtist - !KW!SongTitle</p>\n");
    // Sorted by name, so position = index here; the UTF-8 work also uploads.
    const struct {
        const char* name;
        int codePage;
        UINT systemCodePage;
    } pages[] = {{"a-1251", 0, 1251}, {"b-utf8", 1, CP_UTF8}, {"c-koi8r", 2, 20866}, {"d-koi8u", 3, 21866},
                 {"e-cp866", 4, 866}};
    std::vector<TStationWork> works;
    for (const auto& p : pages) {
        TStationWork w = Work(p.name, "page.tpl", std::string(p.name) + ".html", p.codePage);
        if (p.codePage == 1) {
            w.Ftp = true;
            w.FtpPort = server.Port();
            w.FtpFile = "nowplaying.html";
        }
        works.push_back(w);
    }
    works.push_back(Work("f-missing", "absent.tpl", "f.html", 0));
    station.WriteSettings(works);
    ASSERT_TRUE(station.Start());
    ASSERT_TRUE(WaitFor([&] { return station.SourceStatus() == WaitText; }, 5000)) << station.SourceStatus();

    ASSERT_TRUE(station.PlayHost("connect\nwait 1500\n"
                                 "element song=0 type=2 duration=183000 artist=\"" + Artist + "\" title=\"" + Title +
                                 "\"\nwait 1500\nstate\nPLAYER=1\nend\nwait 2500\n"));
    // The link status: "Wait", "Connected", the time of the state message, and "Wait" again
    // once the host's window has closed without a disconnect request.
    std::vector<std::string> seen{station.SourceStatus()};
    WaitFor([&] {
        const std::string now = station.SourceStatus();
        if (now != seen.back())
            seen.push_back(now);
        return seen.size() >= 4;
    }, 20000);
    ASSERT_EQ(seen.size(), 4u) << station.HostOutput();
    EXPECT_EQ(seen[0], WaitText);
    EXPECT_EQ(seen[1], ConnectedText);
    EXPECT_TRUE(std::regex_match(seen[2], StampPattern)) << seen[2];
    EXPECT_EQ(seen[3], WaitText);
    EXPECT_EQ(station.Host().WaitExit(5000), 0u) << station.HostOutput();

    // Every page holds the values recoded into its own code page; the template's text as is.
    for (const auto& p : pages) {
        const std::string want = "<p>" + Encode(Artist, p.systemCodePage) + " - " + Encode(Title, p.systemCodePage) +
                                 "</p>\r\n";
        const std::string page = station.Path(std::string(p.name) + ".html");
        EXPECT_TRUE(WaitFor([&] { return ReadFile(page) == want; }, 5000)) << p.name << ": " << ReadFile(page);
    }
    for (int i = 0; i < 5; ++i) {
        if (i == 1)
            continue;
        EXPECT_TRUE(std::regex_match(station.WorkStatus(i), StampPattern)) << i << ": " << station.WorkStatus(i);
    }
    // The upload: the same bytes on the server, and the time with " (FTP)" in the grid.
    EXPECT_TRUE(WaitFor([&] { return ReadFile(uploaded) == ReadFile(station.Path("b-utf8.html")); }, 10000));
    EXPECT_TRUE(WaitFor([&] { return std::regex_match(station.WorkStatus(1), std::regex(R"(^\d\d:\d\d:\d\d  \d\d\.\d\d \(FTP\)$)")); }, 10000))
        << station.WorkStatus(1);
    // A failure is logged with the work's row number; successes are not.
    EXPECT_EQ(station.WorkStatus(5), NoTemplateText);
    const std::vector<std::string> log = station.Log();
    EXPECT_EQ(Count(log, "[6] " + NoTemplateText), 1) << log.size();
    EXPECT_EQ(Count(log, "["), 1);

    // Windows logs off: answered 1 at once, no question, and the program ends by itself.
    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutW(station.Main(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000,
                                    &answer));
    EXPECT_EQ(answer, 1u);
    EXPECT_EQ(station.Program().Window("#32770"), nullptr);
    EXPECT_EQ(station.Program().WaitExit(15000), 0u);
}

// Every tag of the table, one per line as "Name=[value]"; list tags ask for entry 0.
const char* const Tags[] = {
    "SongArtist", "SongTitle", "SomgDuration", "SongTimeL", "SongRunTime", "SongRunDate", "ElementArtist",
    "ElementTitle", "ElementType", "ElementDuration", "ElementRunTime", "ElementRunDate", "BlockName", "BlockType",
    "BlockDuration", "BlockRunTime", "BlockRunDate", "PlayListSongArtist0", "PlayListSongTitle0",
    "PlayListSongDuration0", "PlayListSongTimeL0", "PlayListArtist0", "PlayListTitle0", "PlayListDuration0",
    "PlayListType0", "PlayedSongArtist0", "PlayedSongTitle0", "PlayedSongDuration0", "PlayedSongRunTime0",
    "PlayedSongRunDate0", "PlayedArtist0", "PlayedTitle0", "PlayedDuration0", "PlayedRunTime0", "PlayedRunDate0",
    "PlayedType0", "ClockName", "CurrentHour", "ClockType", "NClockName", "NextHour", "NClockType", "SourceIndex",
    "SourceStatus", "PlayerStatus", "DetectorStatus", "StudioLastTime", "StudioLastDate", "StudioOnline",
    "SystemTime", "SystemDate", "Studio_Status", "SysMSG", "ExclMode", "NExclMode", "NExclTime", "NExclDate"};

std::map<std::string, std::string> ReadTagPage(const std::string& page) {
    std::map<std::string, std::string> values;
    std::istringstream lines(page);
    for (std::string line; std::getline(lines, line);) {
        const size_t eq = line.find("=["), end = line.rfind("]");
        if (eq != std::string::npos && end != std::string::npos && end >= eq + 2)
            values[line.substr(0, eq)] = line.substr(eq + 2, end - eq - 2);
    }
    return values;
}

TEST(Road, EveryTagIsEmptyWithoutDataUnlessItStandsAloneAndFilledOnceTheHostReports) {
    TStation station("tags");
    ASSERT_TRUE(station.Ok());
    std::string tpl;
    for (const char* tag : Tags)
        tpl += std::string(tag) + "=[!KW!" + tag + "]\r\n";
    WriteFile(station.Path("tags.tpl"), tpl);
    station.WriteSettings({Work("tags", "tags.tpl", "tags.txt", 1)});
    ASSERT_TRUE(station.Start());

    // The first render comes within the loader's spread of ten seconds, before any host.
    ASSERT_TRUE(WaitFor([&] { return ReadTagPage(ReadFile(station.Path("tags.txt"))).size() == 57; }, 15000))
        << ReadFile(station.Path("tags.txt"));
    auto values = ReadTagPage(ReadFile(station.Path("tags.txt")));
    for (const char* tag : Tags) {
        const std::string name = tag;
        if (name == "SystemTime" || name == "SystemDate")
            EXPECT_FALSE(values[name].empty()) << name;
        else if (name == "StudioOnline")
            EXPECT_EQ(values[name], "O");
        else
            EXPECT_EQ(values[name], "") << name;
    }

    ASSERT_TRUE(station.PlayHost(
        "connect\nwait 1500\n"
        "playlist\nitem type=0 duration=200000 artist=\"Аквариум\" title=\"Город золотой\"\nend\n"
        "played\nitem start=now type=0 duration=3725000 artist=\"ДДТ\" title=\"Осень\"\nend\n"
        "state\nC_CLOCKTYPE=B\nC_CLOCKNAME=Утро\nN_CLOCKTYPE=X\nN_CLOCKNAME=День\nSOURCEINDEX=2\nSOURCESTATUS=1\n"
        "PLAYER=P\nDETECTOR=H\nEXCLMODE_C=3\nEXCLMODE_N=4\nEXCLTIME_N=25.12.2026 19:27:26\nSYSMSG=Всё в порядке\nend\n"
        "block type=1 duration=3600000 name=\"Утренний блок\"\n"
        "element song=0 type=2 duration=185000 artist=\"" + Artist + "\" title=\"" + Title + "\"\nwait 3000\n"));
    ASSERT_TRUE(WaitFor([&] {
        return ReadTagPage(ReadFile(station.Path("tags.txt")))["ElementArtist"] == Artist;
    }, 10000)) << ReadFile(station.Path("tags.txt")) << station.HostOutput();
    values = ReadTagPage(ReadFile(station.Path("tags.txt")));
    for (const char* tag : Tags)
        EXPECT_FALSE(values[tag].empty()) << tag;
    // A few exact values that only the whole road gets right (recoding, letters, the lists).
    EXPECT_EQ(values["SongTitle"], Title);
    EXPECT_EQ(values["SomgDuration"], "03:05");
    EXPECT_EQ(values["ElementType"], "O");
    EXPECT_EQ(values["BlockName"], "Утренний блок");
    EXPECT_EQ(values["PlayListSongArtist0"], "Аквариум");
    EXPECT_EQ(values["PlayedDuration0"], "62:05");
    EXPECT_EQ(values["Studio_Status"], "BPH");
    EXPECT_EQ(values["SourceIndex"], "3");
    EXPECT_EQ(values["StudioOnline"], "N");
    EXPECT_EQ(values["SysMSG"], "Всё в порядке");
    EXPECT_EQ(values["NExclTime"], "19:27:26");
    EXPECT_EQ(values["NExclDate"], "25.12.2026");
    EXPECT_EQ(station.Host().WaitExit(10000), 0u) << station.HostOutput();
}

// The log's time column reads "HH:NN:SS DD.MM"; seconds of the day, or -1.
int LogSeconds(const std::string& stamp) {
    int h = 0, m = 0, s = 0;
    if (std::sscanf(stamp.c_str(), "%d:%d:%d", &h, &m, &s) != 3)
        return -1;
    return h * 3600 + m * 60 + s;
}

// A port on 127.0.0.1 with nothing listening: the server is down.
int ClosedPort() {
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    int length = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &length);
    closesocket(s);
    return ntohs(a.sin_port);
}

TEST(Road, AnFtpServerThatIsDownIsReportedInRedWithThePositionAndTriedAgainEachPeriod) {
    TStation station("down");
    ASSERT_TRUE(station.Ok());
    WriteFile(station.Path("page.tpl"), "!KW!SystemTime\n");
    TStationWork work = Work("down", "page.tpl", "page.txt", 0, 15);
    work.Ftp = true;
    work.FtpPort = ClosedPort();
    work.FtpFile = "page.txt";
    station.WriteSettings({work});
    ASSERT_TRUE(station.Start());

    const std::string failure = "[1] 1 FTP: ";
    ASSERT_TRUE(WaitFor([&] { return Count(station.Log(), failure) >= 1; }, 25000)) << station.WorkStatus(0);
    EXPECT_EQ(station.WorkStatus(0).compare(0, 7, "1 FTP: "), 0) << station.WorkStatus(0);
    EXPECT_GT(station.WorkStatus(0).size(), 7u);  // the socket's own error text follows
    EXPECT_FALSE(ReadFile(station.Path("page.txt")).empty());  // the page itself was written

    // One period (15 s) after that render ended, the next render writes and tries again: one
    // log line per attempt, never more.
    ASSERT_TRUE(WaitFor([&] { return Count(station.Log(), failure) >= 2; }, 25000));
    WaitFor([] { return false; }, 1000);
    const std::vector<std::string> log = station.Log();
    EXPECT_EQ(Count(log, failure), 2);
    const int first = LogSeconds(station.Cell(station.LogGrid(), 1, 0));
    const int second = LogSeconds(station.Cell(station.LogGrid(), 0, 0));
    EXPECT_GE((second - first + 86400) % 86400, 14) << "attempts closer than the 15 s period";

    DWORD_PTR answer = 0;
    SendMessageTimeoutW(station.Main(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000, &answer);
    EXPECT_EQ(station.Program().WaitExit(15000), 0u);
}

// A failure the program words reads in the station's language, with the server's own reply as
// it came: FTP over TLS asked of a server that has no TLS.
TEST(Road, AFailureOfOursReadsInTheStationsLanguage) {
    test::TRealFtpServer server("pyftpdlib");
    ASSERT_TRUE(server.Ok()) << "pyftpdlib fixture not running (KW_FTP_PYFTPDLIB_DIR)";
    TStation station("wording");
    ASSERT_TRUE(station.Ok());
    WriteFile(station.Path("page.tpl"), "!KW!SystemTime\n");
    TStationWork work = Work("plain", "page.tpl", "page.txt", 0, 15);
    work.Ftp = true;
    work.FtpPort = server.Port();
    work.FtpFile = "page.txt";
    work.Extra = "FTPTLS=1\r\n";
    station.WriteSettings({work});
    ASSERT_TRUE(station.Start());

    const std::string expected = "1 FTP: Сервер не поддерживает TLS: 5";
    EXPECT_TRUE(WaitFor([&] { return station.WorkStatus(0).compare(0, expected.size(), expected) == 0; }, 25000))
        << station.WorkStatus(0);

    DWORD_PTR answer = 0;
    SendMessageTimeoutW(station.Main(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000, &answer);
    EXPECT_EQ(station.Program().WaitExit(15000), 0u);
}

} // namespace
} // namespace kw::e2e

int main(int argc, char** argv) { return kw::e2e::RunStationTests(argc, argv); }
