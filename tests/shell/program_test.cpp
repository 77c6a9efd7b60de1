// The program's start-up and shutdown with the real subsystems: settings file, language files,
// link, inbound ring, reader thread, scheduler and renders. Only the window and the desktop are
// stand-ins (a window cannot exist natively); the threads are real, so this also runs under TSan.
#include "hostlink/WindowEnum.h"
#include "lang/MessageDialog.h"
#include "platform/Clock.h"
#include "platform/Cp1251.h"
#include "platform/FileSystem.h"
#include "platform/Message.h"
#include "platform/Tcp.h"
#include "shell/ClosingSequence.h"
#include "shell/Program.h"
#include <gtest/gtest.h>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace {

using namespace kw;
namespace stdfs = std::filesystem;

constexpr TWindowHandle HostWindow = 0x4711;
constexpr TWindowHandle OwnWindow = 0x100;

// The desktop: the host's window, present once it has been "opened".
struct TDesktop : IWindowEnum {
    bool hostOpen = true;
    std::vector<TTopWindow> TopLevelWindows() override {
        if (!hostOpen)
            return {{OwnWindow, "TKW_PAGE"}};
        return {{OwnWindow, "TKW_PAGE"}, {HostWindow, "TKWMain"}};
    }
    bool HasHungTest() override { return false; }
    std::optional<bool> IsHung(TWindowHandle) override { return std::nullopt; }
    std::optional<int32_t> SendQuery(TWindowHandle, TWindowHandle) override { return std::nullopt; }
};

struct TDialogs : lang::IMessageDialogView {
    std::vector<std::string> errors;
    int answer = lang::mrYes;
    int asked = 0;
    std::vector<std::string> texts;
    int ShowModal(const lang::TMessageDialogModel& m) override {
        ++asked;
        texts.push_back(m.Text);
        return answer;
    }
    void ShowStandardError(const std::string& text) override { errors.push_back(text); }
};

// The main window as the language sees it: a caption and no controls.
struct TForm : lang::IForm {
    std::string caption = "KWPAGE 1.0.0";
    std::string Name() const override { return "KW_PAGE"; }
    std::string Caption() const override { return caption; }
    void SetCaption(const std::string& c) override { caption = c; }
    int ComponentCount() const override { return 0; }
    lang::IComponent& Component(int) override { throw std::out_of_range("no components"); }
};

// The window's side of start-up, as a list of what was asked in which order.
struct THost : IStartupHost {
    TForm form;
    TProgram* program = nullptr;
    TDialogs dialogs;
    std::vector<std::string> calls;
    std::vector<std::string> log;
    int locale = 0;
    bool timer = false;

    void SetCaption(const std::string& c) override { calls.push_back("caption " + c); }
    void SetTitleAndHint(const std::string& t) override { calls.push_back("title " + t); }
    lang::IMessageDialogView* DialogView() override { return &dialogs; }
    void RequestTerminate() override { calls.push_back("terminate"); }
    void SetThreadLocale(int l) override { locale = l; calls.push_back("locale"); }
    void Language_Change() override {
        program->TranslateMain(form);
        calls.push_back("translate");
    }
    void ShowWorks() override { calls.push_back("works"); }
    TWindowHandle OwnHandle() override { return OwnWindow; }
    void StartLinkPoll(TWinMSG&) override { calls.push_back("link"); }
    void StopLinkPoll() override { calls.push_back("unlink"); }
    void AttachMinimizeHooks() override { calls.push_back("hooks"); }
    void OutLog(const std::string& text) override { log.push_back(text); calls.push_back("log"); }
    void StartTimer() override { timer = true; calls.push_back("timer"); }
};

struct TTestProgram : TProgram {
    explicit TTestProgram(TDesktop*& desktop) : TProgram(Make(desktop)) {}
    static std::unique_ptr<IWindowEnum> Make(TDesktop*& desktop) {
        auto d = std::make_unique<TDesktop>();
        desktop = d.get();
        return d;
    }
    bool EditWork(int) override { return false; }
    void EditProgramSettings() override {}
};

// The main window's part of the staged shutdown, as TKW_PAGE forwards it.
struct TSteps : IClosingSteps {
    TProgram& p;
    THost& host;
    bool closed = false;
    TSteps(TProgram& program, THost& h) : p(program), host(h) {}
    bool ConfirmExit() override { return p.ConfirmExit(); }
    void LogBye() override { host.OutLog(p.MainText("Bye")); }
    void TimerToShutdown() override {}
    void TerminateReader() override { p.TerminateReader(); }
    bool ReaderExists() override { return p.ReaderExists(); }
    bool ReaderFinished() override { return p.ReaderFinished(); }
    void FreeReader() override { p.FreeReader(); }
    bool RendersRunning() override { return p.RendersRunning(); }
    void ReleaseRing() override { p.ReleaseRing(); }
    void StopTimer() override {}
    void CloseWindow() override { closed = true; }
    void FreeLongLivedObjects() override { p.FreeLongLivedObjects(); }
    void TerminateNow() override { ADD_FAILURE() << "shutdown failed"; }
};

std::string ReadAll(const stdfs::path& path) {
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

// True once done() holds, checking every 10 ms for at most `seconds` and running step() between.
template <typename Done, typename Step>
bool Eventually(Done done, Step step, int seconds = 10) {
    for (int i = 0; i < seconds * 100; ++i) {
        if (done())
            return true;
        step();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

struct ProgramRun : ::testing::Test {
    stdfs::path folder;
    TDesktop* desktop = nullptr;
    std::unique_ptr<TTestProgram> program;
    THost host;

    void SetUp() override {
        folder = stdfs::temp_directory_path() /
                 ("kwpage_program_" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        stdfs::create_directories(folder);
        fs::SetProgramPathForTesting((folder / "KWPAGE.exe").string());
        program = std::make_unique<TTestProgram>(desktop);
        host.program = program.get();
    }
    void TearDown() override {
        program.reset();
        fs::SetProgramPathForTesting("");
        stdfs::remove_all(folder);
    }
    void Write(const std::string& name, const std::string& text) {
        std::ofstream(folder / name, std::ios::binary) << text;
    }
    void WriteWorks(int count) {
        std::string ini = "[Settings]\nLanguage=Russian.lng\n";
        for (int i = 0; i < count; ++i)
            ini += "[File" + std::to_string(1000 + i) + "]\nName=w" + std::to_string(i) + "\nUpdate=900\n";
        Write("KWPAGE.ini", ini);
    }
    // The loaded works' first renders run at start: the staged shutdown ends them before the
    // program goes.
    void CloseStaged() {
        TSteps steps(*program, host);
        TClosingSequence closing;
        closing.ShareStage(&program->ClosingStage);
        EXPECT_FALSE(closing.FormClose(steps));
        ASSERT_TRUE(Eventually([&] { return steps.closed; }, [&] { closing.ToShutdownTick(steps, program->Settings.Works); }));
        EXPECT_TRUE(closing.FormClose(steps));
    }
    void AddRussian() {
        stdfs::copy_file(stdfs::path(KW_SOURCE_DIR) / "dist" / "KWPAGE.Russian.lng", folder / "KWPAGE.Russian.lng");
    }
};

// The work's render is over and its next one is a period away (not its start-up render
// still running, nor one due at once).
bool RenderedAndResting(const TWorkPtr& work) {
    const int64_t next = work->NextUpdate.load();
    return next != NothingPending && next > NowTicks.load() + 60000;
}

TEST_F(ProgramRun, CaptionCarriesTheVersion) {
    EXPECT_EQ(MainCaption("KWPAGE", 2, 0, 15), "KWPAGE 2.0.15");
    EXPECT_EQ(MainCaption("KWPAGE", 1, 2, 3), "KWPAGE 1.2.3");
}

TEST_F(ProgramRun, WithoutALanguageFileStartUpStopsAfterTheMessage) {
    Write("KWPAGE.ini", "[Settings]\nPID=7\n");
    EXPECT_FALSE(program->FormCreate(host, 2, 0, 15));
    const std::vector<std::string> expected{"caption KWPAGE 2.0.15", "title KWPAGE 2.0.15", "terminate"};
    EXPECT_EQ(host.calls, expected);
    ASSERT_EQ(host.dialogs.errors.size(), 1u);
    EXPECT_NE(host.dialogs.errors[0].find("KWPAGE.*.lng"), std::string::npos);
    EXPECT_EQ(program->Language, nullptr);
    EXPECT_EQ(program->Link, nullptr);
    EXPECT_EQ(program->Reader, nullptr);
    EXPECT_EQ(program->Settings.PID, 7);  // step 3 ran

    // A host message that arrives now is ignored: there is no link.
    const uint8_t element[] = {0, 2, 0, 0, 0, 0, 'A', 13, 'T', 0};
    program->Inbox.WMCOPYDATA(HostWindow, 0x10000, sizeof element, element);
    EXPECT_FALSE(program->Ring.IsFilled(0));
}

TEST_F(ProgramRun, StartsInOrderRendersWhatTheHostPlaysAndShutsDownInStages) {
    AddRussian();
    Write("page.tpl", "<b>!KW!SongArtist</b>\n");
    Write("KWPAGE.ini", "[Settings]\nLanguage=Russian.lng\n[File230101000000]\nName=Page\nFileIn=" +
                            (folder / "page.tpl").string() + "\nFileOut=" + (folder / "page.html").string() +
                            "\nUpdate=900\nCodePage=1\n");
    ASSERT_TRUE(program->FormCreate(host, 1, 0, 0));
    const std::vector<std::string> expected{"caption KWPAGE 1.0.0", "title KWPAGE 1.0.0", "locale", "translate",
                                            "works", "link", "hooks", "log", "timer"};
    EXPECT_EQ(host.calls, expected);
    EXPECT_EQ(host.locale, 1049);
    EXPECT_EQ(program->Title, "KWPAGE 1.0.0");
    ASSERT_EQ(program->Settings.Works.Count(), 1u);
    EXPECT_EQ(program->Settings.Works.At(0)->Show.Tone(), TStatusTone::Normal);
    EXPECT_EQ(host.log, std::vector<std::string>{"\xCF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xE0 \xE7\xE0\xEF\xF3\xF9\xE5\xED\xE0"});
    TShowCell::TTaken source = program->SourceStatus().Take();
    EXPECT_TRUE(source.Changed);
    EXPECT_EQ(source.Tone, TStatusTone::Failure);  // "Wait"
    ASSERT_NE(program->Reader, nullptr);

    // The host links itself; its element ("Кино" in Windows-1251) is rendered into UTF-8.
    program->Inbox.ReceiveCMD(HostWindow, 0x7FFF0000);
    program->Link->Poll();
    EXPECT_EQ(program->Status.LinkState.load(), LinkConnected);
    // The start-up render is over first (the loader spreads first renders over 0..9 s), so
    // that the element's page is the next one written.
    ASSERT_TRUE(Eventually([&] { return RenderedAndResting(program->Settings.Works.At(0)); },
                           [] { NowTicks.store(GetTicks64()); }, 30));
    const uint8_t element[] = {0, 2, 0xD8, 0xCA, 0x02, 0x00, 0xCA, 0xE8, 0xED, 0xEE, 13, 'T', 0};
    program->Inbox.WMCOPYDATA(HostWindow, 0x10000, sizeof element, element);
    EXPECT_EQ(program->Status.LinkState.load(), LinkDataReceived);
    ASSERT_TRUE(Eventually([&] { return ReadAll(folder / "page.html") == "<b>\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE</b>\r\n"; },
                          [] { NowTicks.store(GetTicks64()); }))
        << ReadAll(folder / "page.html");

    // The host goes away: the poll unlinks it.
    desktop->hostOpen = false;
    program->Link->Poll();
    EXPECT_EQ(program->Status.LinkState.load(), LinkWaiting);

    // Shutdown: Yes to "Exit", then the stages until the window may close.
    TSteps steps(*program, host);
    TClosingSequence closing;
    closing.ShareStage(&program->ClosingStage);
    EXPECT_FALSE(closing.FormClose(steps));
    EXPECT_EQ(host.dialogs.asked, 1);
    EXPECT_EQ(program->ClosingStage.load(), 1);
    program->Inbox.WMCOPYDATA(HostWindow, 0x10000, sizeof element, element);  // ignored from now on
    ASSERT_TRUE(Eventually([&] { return steps.closed; }, [&] { closing.ToShutdownTick(steps, program->Settings.Works); }));
    EXPECT_EQ(program->Reader, nullptr);
    EXPECT_EQ(program->Scheduler.Running(), 0u);
    for (int i = 0; i < TInboundRing::SlotCount; ++i)
        EXPECT_FALSE(program->Ring.IsFilled(i));
    EXPECT_TRUE(closing.FormClose(steps));
    EXPECT_EQ(program->Link, nullptr);
    EXPECT_EQ(program->Language, nullptr);
    EXPECT_EQ(program->MainText("Run"), "");
    EXPECT_EQ(host.calls.back(), "unlink");
}

// A delivery target that holds its render until released (bounded), as a slow server does.
struct THeldDelivery : IDelivery {
    std::mutex m;
    std::condition_variable cv;
    bool held = false;
    const char* Label() const noexcept override { return "held"; }
    bool Wanted(const TWorkConfig&) const noexcept override { return true; }
    TDeliveryResult Deliver(TWorkData&, const TWorkConfig&, const TDeliveryPage&) noexcept override {
        std::unique_lock<std::mutex> lock(m);
        cv.wait_for(lock, std::chrono::seconds(10), [this] { return !held; });
        return {true, {}};
    }
    void Hold(bool on) {
        {
            std::lock_guard<std::mutex> lock(m);
            held = on;
        }
        cv.notify_all();
    }
};

// "Send now" renders a work whose period is far off at once, with its usual status; asked
// again while that render runs, it says so and asks nothing more of the work.
TEST_F(ProgramRun, SendNowRendersAtOnceAndSaysSoWhileARenderRuns) {
    AddRussian();
    Write("page.tpl", "<b>!KW!SongArtist</b>\n");
    Write("KWPAGE.ini", "[Settings]\nLanguage=Russian.lng\n[File230101000000]\nName=Page\nFileIn=" +
                            (folder / "page.tpl").string() + "\nFileOut=" + (folder / "page.html").string() +
                            "\nUpdate=900\n");
    auto held = std::make_shared<THeldDelivery>();
    program->Context.Deliveries.push_back(held);
    ASSERT_TRUE(program->FormCreate(host, 1, 0, 0));
    const TWorkPtr work = program->Settings.Works.At(0);
    auto tick = [] { NowTicks.store(GetTicks64()); };
    // the start-up render first: afterwards the work is not due for 900 s
    auto periodSet = [&] { return RenderedAndResting(work); };
    ASSERT_TRUE(Eventually(periodSet, tick, 30));
    stdfs::remove(folder / "page.html");
    (void)work->Show.Take();

    held->Hold(true);
    tick();
    program->SendNow(0);
    ASSERT_TRUE(Eventually([&] { return stdfs::exists(folder / "page.html"); }, tick));
    ASSERT_TRUE(work->Rendering.load());  // held in its delivery
    program->SendNow(0);
    ASSERT_EQ(host.dialogs.texts.size(), 1u);
    EXPECT_NE(host.dialogs.texts[0].find("\"Page\""), std::string::npos) << host.dialogs.texts[0];
    held->Hold(false);
    ASSERT_TRUE(Eventually([&] { return !work->Rendering.load(); }, tick));
    ASSERT_TRUE(Eventually(periodSet, tick));
    EXPECT_EQ(ReadAll(folder / "page.html"), "<b></b>\r\n");
    const TShowCell::TTaken status = work->Show.Take();
    EXPECT_TRUE(status.Changed);
    EXPECT_NE(status.Text.find("(held)"), std::string::npos) << status.Text;  // written and delivered
    EXPECT_EQ(host.dialogs.asked, 1);

    // No work at a position: nothing happens.
    program->SendNow(5);
    EXPECT_EQ(host.dialogs.asked, 1);
}

TEST_F(ProgramRun, ExitAnsweredNoLeavesEverythingRunning) {
    AddRussian();
    ASSERT_TRUE(program->FormCreate(host, 1, 0, 0));
    host.dialogs.answer = lang::mrNo;
    TSteps steps(*program, host);
    TClosingSequence closing;
    closing.ShareStage(&program->ClosingStage);
    EXPECT_FALSE(closing.FormClose(steps));
    EXPECT_EQ(program->ClosingStage.load(), 0);
    EXPECT_EQ(host.log.size(), 1u);  // "Run" only, no "Bye"
    EXPECT_NE(program->Reader, nullptr);
    EXPECT_FALSE(program->Reader->Terminated());
    // the destructor still ends the reader before the scheduler goes
}

TEST_F(ProgramRun, WorksPastTheHundredTwentyEighthAreLoggedByTheirSectionNames) {
    AddRussian();
    WriteWorks(130);
    ASSERT_TRUE(program->FormCreate(host, 1, 0, 0));
    EXPECT_EQ(program->Settings.Works.Count(), 128u);
    ASSERT_EQ(host.log.size(), 3u);
    // in the language's words, as the shipped Russian file has them
    EXPECT_EQ(host.log[1], Utf8ToCp1251("Шаблон [File1128] не загружен: в списке может быть не больше 128 шаблонов"));
    EXPECT_EQ(host.log[2], Utf8ToCp1251("Шаблон [File1129] не загружен: в списке может быть не больше 128 шаблонов"));
    CloseStaged();
}

// A language file whose text does not take the arguments: the line is still there, in English.
TEST_F(ProgramRun, AFaultyWordingStillLogsTheWorkNotLoaded) {
    Write("KWPAGE.Russian.lng", "[Constants]\r\nLanguage=Russian\r\nLocale=1049\r\n[Main]\r\nDialog.Run=Run\r\n"
                                "Dialog.WorkNotLoaded=%d\r\n");
    WriteWorks(129);
    ASSERT_TRUE(program->FormCreate(host, 1, 0, 0));
    ASSERT_EQ(host.log.size(), 2u);
    EXPECT_EQ(host.log[1], "Work [File1128] not loaded: the list holds at most 128 works.");
    CloseStaged();
}

// The failures of the deliveries and the folder browser: in the chosen language's words; where
// its file lacks a message or words it so that the arguments do not fit, in the English file's.
TEST_F(ProgramRun, MessagesTheLanguageLacksReadInTheEnglishFilesWords) {
    Write("KWPAGE.Russian.lng", "[Constants]\r\nLanguage=Russian\r\nLocale=1049\r\n[Main]\r\n"
                                "Dialog.Seconds=%s sek\r\nDialog.FtpBadPasv=%d\r\n");
    stdfs::copy_file(stdfs::path(KW_SOURCE_DIR) / "dist" / "KWPAGE.English.lng", folder / "KWPAGE.English.lng");
    WriteWorks(0);
    ASSERT_TRUE(program->FormCreate(host, 1, 0, 0));
    EXPECT_EQ(TextOf(TMessage::Of("FtpReplyTimedOut", {DurationMessage(3000)})),
              "Read timed out: no reply from the server within 3 sek");
    EXPECT_EQ(TextOf(TMessage::Of("FtpBadPasv", {"227 x"})), "Malformed PASV reply: 227 x");
    CloseStaged();
    program.reset();
    EXPECT_EQ(TextOf(TMessage::Of("FtpBadPasv", {"227 x"})), "FtpBadPasv 227 x") << "the words went with the program";
}

// One GET on the live server, answered whole (the server closes after an answer).
std::string LiveGet(uint16_t port, const std::string& target) {
    net::TTcpConnection c;
    if (!c.Connect(net::TIpv4Endpoint{{127, 0, 0, 1}, port}, 5000).ok())
        return "no connection";
    const std::string request = "GET " + target + " HTTP/1.1\r\n\r\n";
    (void)c.SendAll(request.data(), request.size(), 5000);
    std::string answer;
    char buf[4096];
    size_t n = 0;
    while (c.Receive(buf, sizeof buf, n, 5000).ok())
        answer.append(buf, n);
    const size_t body = answer.find("\r\n\r\n");
    return body == std::string::npos ? answer : answer.substr(body + 4);
}

// The live server in the running program: each page a render writes is served at once, the
// now-playing document follows the host, and a port in use is logged while the program runs on.
TEST_F(ProgramRun, TheLiveServerServesEachWrittenPageAndTheStateAndSurvivesAPortInUse) {
    AddRussian();
    uint16_t port = 0;
    {
        net::TTcpListener probe;
        net::TIpv4Endpoint at{{127, 0, 0, 1}, 0};
        ASSERT_TRUE(probe.Listen(at).ok());
        ASSERT_TRUE(probe.LocalEndpoint(at).ok());
        port = at.Port;
    }
    Write("page.tpl", "<b>!KW!SongArtist</b>\n");
    Write("KWPAGE.ini", "[Settings]\nLanguage=Russian.lng\nLiveServer=1\nLivePort=" + std::to_string(port) +
                            "\n[File230101000000]\nName=Page\nFileIn=" + (folder / "page.tpl").string() +
                            "\nFileOut=" + (folder / "page.html").string() + "\nUpdate=900\nCodePage=1\nServeLive=1\n");
    ASSERT_TRUE(program->FormCreate(host, 1, 0, 0));
    ASSERT_TRUE(program->Live.Running());
    EXPECT_NE(host.log.back().find(std::to_string(port)), std::string::npos) << host.log.back();
    program->Inbox.ReceiveCMD(HostWindow, 0x7FFF0000);
    program->Link->Poll();
    ASSERT_TRUE(Eventually([&] { return RenderedAndResting(program->Settings.Works.At(0)); },
                          [] { NowTicks.store(GetTicks64()); }, 30));
    EXPECT_EQ(LiveGet(port, "/works/File230101000000"), ReadAll(folder / "page.html"));
    const uint8_t element[] = {0, 2, 0xD8, 0xCA, 0x02, 0x00, 0xCA, 0xE8, 0xED, 0xEE, 13, 'T', 0};
    program->Inbox.WMCOPYDATA(HostWindow, 0x10000, sizeof element, element);
    const std::string page = "<b>\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE</b>\r\n";
    ASSERT_TRUE(Eventually([&] { return LiveGet(port, "/works/File230101000000") == page; },
                          [] { NowTicks.store(GetTicks64()); }));
    ASSERT_TRUE(Eventually(
        [&] { return LiveGet(port, "/nowplaying.json").find("\"artist\":\"\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE\"") != std::string::npos; },
        [] {}));

    // Another program holds the port: the log says so, the program runs on without the server.
    net::TTcpListener other;
    net::TIpv4Endpoint held{{127, 0, 0, 1}, 0};
    ASSERT_TRUE(other.Listen(held).ok());
    ASSERT_TRUE(other.LocalEndpoint(held).ok());
    program->Settings.Live.Port = held.Port;
    program->ApplyLiveSettings();
    EXPECT_FALSE(program->Live.Running());
    EXPECT_NE(host.log.back().find(std::to_string(held.Port)), std::string::npos) << host.log.back();
    program->Settings.Live.Port = port;  // the settings dialog: back on its own port
    program->ApplyLiveSettings();
    EXPECT_EQ(LiveGet(port, "/works/File230101000000"), page);
    CloseStaged();
}

} // namespace
