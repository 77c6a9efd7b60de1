// Start-up and the release of the run's objects.
#include "shell/Program.h"
#include "platform/FileIo.h"
#include "works/Settings.h"
#include "delivery/DeliveryTargets.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Message.h"
#include "lang/Format.h"
#include "live/AccessKey.h"
#include "live/NowPlaying.h"
#include "render/SendNow.h"
#include <cstdio>

namespace kw {

namespace {
constexpr const char* DesignCaption = "KWPAGE";
constexpr const char* MainSectionName = "Main";
constexpr const char* SettingsSection = "Settings";
constexpr const char* EnglishFileName = "English.lng";
} // namespace

std::string MainCaption(const std::string& designCaption, int major, int minor, int release) {
    char version[40];
    std::snprintf(version, sizeof version, "%d.%d.%d", major, minor, release);
    return designCaption + " " + version;
}

TProgram::TProgram(std::unique_ptr<IWindowEnum> windows)
    : Status([this](const std::string& key) { return MainText(key); }),
      Inbox(Ring, Settings, Status, ClosingStage),
      Context(Settings.Works, Broadcast, Status.LinkState, [this](const std::string& key) { return MainText(key); }),
      Scheduler(Context), windows_(std::move(windows)) {
    Context.Deliveries = MakeDeliveryTargets();
    Context.PageWritten = [this](const TWorkConfig& work, const std::string& page) { Live.PageWritten(work, page); };
    Context.NowPlaying = live::NowPlayingJson;
}

TProgram::~TProgram() {
    // A run that did not go through the staged shutdown (a failed start, a test) still ends
    // in order: no host message reaches the ring, the reader stops before the scheduler goes.
    Inbox.SetLink(nullptr);
    if (Reader)
        Reader->Terminate();
    Inbox.SetWake(nullptr);
    Reader.reset();
    Link.reset();  // before the desktop it polls
    if (Language)
        SetMessageFormat(nullptr);
}

std::string TProgram::ProgramFilePrefix() const {
    const std::string name = fs::ExtractFileName(fs::ProgramPath());
    return fs::ChangeFileExt(name, ".");
}

bool TProgram::FormCreate(IStartupHost& host, int major, int minor, int release) {
    host_ = &host;
    Inbox.WriteIndex = 0;                                              // 1
    Status.LinkState = LinkWaiting;
    ClosingStage = 0;
    Ring.Clear();                                                      // 2
    const TLoadSummary loaded = LoadSettings(Settings);                // 3
    RemoveWriteLeftovers();
    const std::string caption = MainCaption(DesignCaption, major, minor, release);
    host.SetCaption(caption);                                          // 4
    Title = caption;                                                   // 5
    host.SetTitleAndHint(Title);
    Language = std::make_unique<lang::TLanguage>(ProgramFilePrefix()); // 6
    Language->SetDialogView(host.DialogView());
    Language->SetTerminateRequest([&host] { host.RequestTerminate(); });
    if (!Language->SelectFromSettings(std::string(), SettingsSection, Settings.Language)) {  // 7
        Language.reset();
        return false;
    }
    host.SetThreadLocale(Language->StartupLocale());                   // 8
    MainSection = std::make_unique<lang::TSectionList>();              // 9
    InstallMessageWords();
    host.Language_Change();
    host.ShowWorks();  // 10, 11: the grid colours each status by its tone itself
    Broadcast.Publish(std::make_shared<const TBroadcastState>());      // 12: empty lists
    NowTicks.store(GetTicks64());                                      // 13
    CreateLink();                                                      // 14
    host.AttachMinimizeHooks();                                        // 15
    // 16: after each pass the now-playing document follows the state, then the renders start
    Reader = std::make_unique<TReaderDataThread>(Ring, Broadcast, Status, [this, passes = Scheduler.AfterDrain()] {
        Live.StateChanged(Broadcast.Current(), Status.LinkState.load(std::memory_order_acquire), Context.LocalTime());
        passes();
    });
    Reader->ReadIndex = 0;
    Reader->SetIdlePlan([this] { return Scheduler.IdleWait(); });
    Inbox.SetWake(&Reader->Wake());
    Settings.Works.SetOnAppend([this] {
        if (Reader)
            Reader->Wake().Signal();
    });
    Reader->Start();
    host.OutLog(MainText("Run"));                                      // 17
    LogSkippedWorks(loaded.SkippedWorks);
    ApplyLiveSettings();
    Status.SetLinkStatus(0);                                           // 18
    // 19: the selection was cleared by ShowWorks (no row is selected yet)
    host.StartTimer();                                                 // 20
    return true;
}

void TProgram::RemoveWriteLeftovers() {
    // A run killed while writing a page left its temporary file beside it.
    for (const TWorkPtr& work : Settings.Works.Snapshot()) {
        const std::string out = work->Config().FileOut;
        if (!out.empty())
            fs::RemoveReplacementLeftover(out);
    }
}

void TProgram::LogSkippedWorks(const std::vector<std::string>& sections) {
    // They stay in the file, untouched, but get no render: the station must hear of it.
    for (const std::string& section : sections)
        host_->OutLog(WorkNotLoadedText(section));
}

void TProgram::CreateLink() {
    Link = std::make_unique<TWinMSG>(*windows_, host_->OwnHandle());
    Link->OnConnect = [this](TWinMSG&, const TLinkWindow&) { Status.ConnectKW(); };
    Link->OnDisconnect = [this](TWinMSG&, const TLinkWindow&) { Status.DisconnectKW(); };
    Inbox.SetLink(Link.get());
    host_->StartLinkPoll(*Link);
}

std::string TProgram::WorkNotLoadedText(const std::string& section) {
    try {
        const std::string text = lang::Format(MainText("WorkNotLoaded"), {section, std::to_string(MaxWorks)});
        if (text.find(section) != std::string::npos)
            return text;
    } catch (const lang::EFormatError&) {
        // a language file's faulty text: the line below still names the work
    }
    return "Work [" + section + "] not loaded: the list holds at most " + std::to_string(MaxWorks) + " works.";
}

std::string TProgram::MainText(const std::string& key) {
    // Render threads ask too; the language and the section go only after the last render.
    return Language ? Language->MessageText(key, MainSection.get()) : std::string();
}

void TProgram::TranslateMain(lang::IForm& form) {
    if (!Language)
        return;
    Language->LoadSection(MainSectionName, MainSection);
    Language->TranslateForm(form, MainSection.get());
}

bool TProgram::ConfirmExit() {
    if (!Language)
        return true;
    return Language->ShowDialog("Exit", lang::TMsgDlgType::Confirmation, MainSection.get(), lang::mbYesNo) ==
           lang::mrYes;
}

bool TProgram::ConfirmDelete(int index) {
    const TWorkPtr work = Settings.Works.At(index);
    if (!work || !Language)
        return false;
    return Language->ShowDialogFmt("DeleteWork", lang::TMsgDlgType::Confirmation, {work->Config().Name},
                                   MainSection.get(), lang::mbYesNo, lang::mbNo) == lang::mrYes;
}

void TProgram::DeleteWork(int index) {
    std::string error;
    if (kw::DeleteWork(Settings, index, &error)) {
        ApplyLiveSettings();
        return;
    }
    // the work stays: the list and the file keep agreeing
    if (Language)
        Language->ShowDialogFmt("SettingsNotWritten", lang::TMsgDlgType::Error, {Settings.FileName},
                                MainSection.get(), lang::mbOKOnly);
    else
        ReportFailure(error);
}

void TProgram::SendNow(int index) {
    const TWorkPtr work = Settings.Works.At(index);
    switch (kw::SendNow(Settings.Works, index, Context.NowTicks)) {
    case TSendNowAnswer::Started:
        if (Reader)
            Reader->Wake().Signal();  // an idle reader would start the render only after its sleep
        break;
    case TSendNowAnswer::AlreadyRunning:
        if (Language && work)
            Language->ShowDialogFmt("SendNowRunning", lang::TMsgDlgType::Information, {work->Config().Name},
                                    MainSection.get(), lang::mbOKOnly);
        break;
    case TSendNowAnswer::NoWork:
        break;
    }
}

TPageState TProgram::CurrentPage(int64_t delayMs) const {
    TPageState page;
    page.Broadcast = Broadcast.Delayed(delayMs);
    page.LinkState = Status.LinkState.load(std::memory_order_acquire);
    page.Now = Context.LocalTime();
    return page;
}

void TProgram::ReportFailure(const std::string& text) {
    if (Language)
        Language->ShowTextDialog(text, lang::TMsgDlgType::Error, lang::mbOKOnly);
    else if (host_)
        host_->OutLog(text);
}

void TProgram::TerminateReader() {
    if (Reader)
        Reader->Terminate();
}

bool TProgram::ReaderFinished() { return !Reader || Reader->Finished.load(std::memory_order_acquire); }

void TProgram::FreeReader() {
    Inbox.SetWake(nullptr);  // the wake-up goes with the reader
    Reader.reset();
}

bool TProgram::RendersRunning() {
    if (Reader)
        return true;  // the scheduler is the reader's until the reader has gone
    Scheduler.PassCleanup();
    return Scheduler.Running() > 0;
}

void TProgram::ReleaseRing() { Ring.Clear(); }

void TProgram::ApplyLiveSettings() {
    if (Settings.Live.OtherComputers && Settings.Live.AccessKey.empty()) {
        Settings.Live.AccessKey = live::NewAccessKey();
        std::string error;
        if (!SaveProgramSettings(Settings, &error) && host_)
            host_->OutLog(error);
    }
    Live.Apply(Settings.Live, Settings.Works);
    if (host_)
        for (const std::string& line : TakeLogLines())
            host_->OutLog(line);
}

std::vector<std::string> TProgram::TakeLogLines() {
    std::vector<std::string> lines;
    for (const TMessage& message : Live.TakeLog())
        lines.push_back(TextOf(message));
    return lines;
}

void TProgram::FreeLongLivedObjects() {
    Live.Stop();
    Inbox.SetLink(nullptr);
    if (host_)
        host_->StopLinkPoll();
    Link.reset();  // raises no event
    Broadcast.Publish(std::make_shared<const TBroadcastState>());
    SetMessageFormat(nullptr);
    lang::TLanguage::FreeSection(MainSection, true);
    Language.reset();
    lang::TLanguage::FreeSection(EnglishMain, true);
    English.reset();
}

void TProgram::InstallMessageWords() {
    English = std::make_unique<lang::TLanguage>(ProgramFilePrefix());
    if (English->LoadLanguageFile(EnglishFileName))
        English->LoadSection(MainSectionName, EnglishMain);
    SetMessageFormat([this](const std::string& key, const std::vector<std::string>& args) {
        return MessageWords(key, args);
    });
}

// The chosen language's text, else the English file's; a text that does not take the
// arguments is passed over like a missing one (TextOf then shows the key and its arguments).
std::string TProgram::MessageWords(const std::string& key, const std::vector<std::string>& args) {
    const lang::TFormatArgs formatArgs(args.begin(), args.end());
    const std::string texts[] = {MainText(key), English ? English->MessageText(key, EnglishMain.get()) : std::string()};
    for (const std::string& text : texts) {
        if (text.empty())
            continue;
        try {
            return lang::Format(text, formatArgs);
        } catch (const lang::EFormatError&) {
            // a language file's faulty text: the next one, or the bare key
        }
    }
    return {};
}

} // namespace kw
