// TProgram: the long-lived objects of one run of KWPAGE and the order in which they are made
// and released. Start-up (`FormCreate`) builds them in twenty steps; the main window's
// services (IMainServices) reach them; the staged shutdown frees the reader thread, then the
// renders through the scheduler, then the ring, then the rest. The window and the platform
// come in through IStartupHost, so the whole sequence runs natively in tests.
#pragma once
#include "works/Settings.h"
#include "hostlink/BroadcastState.h"
#include "hostlink/Inbox.h"
#include "hostlink/InboundRing.h"
#include "hostlink/LinkStatus.h"
#include "hostlink/ReaderDataThread.h"
#include "hostlink/WinMSG.h"
#include "lang/Language.h"
#include "render/RenderContext.h"
#include "render/RenderScheduler.h"
#include "render/TemplateEngine.h"
#include "shell/LiveService.h"
#include "shell/MainServices.h"
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace kw {

// The window's caption before the language file may replace it: "KWPAGE 1.2.3".
std::string MainCaption(const std::string& designCaption, int major, int minor, int release);

// What start-up needs of the main window and of the platform, in the order it needs it.
class IStartupHost {
public:
    virtual ~IStartupHost() = default;
    virtual void SetCaption(const std::string& caption) = 0;           // step 4
    virtual void SetTitleAndHint(const std::string& title) = 0;        // step 5
    virtual lang::IMessageDialogView* DialogView() = 0;                // step 7's message
    virtual void RequestTerminate() = 0;                               // step 7 without a language
    virtual void SetThreadLocale(int locale) = 0;                      // step 8
    virtual void Language_Change() = 0;                                // step 9
    virtual void ShowWorks() = 0;                                      // step 11
    virtual TWindowHandle OwnHandle() = 0;                             // step 14
    virtual void StartLinkPoll(TWinMSG& link) = 0;                     // step 14
    virtual void StopLinkPoll() = 0;                                   // shutdown, before the link goes
    virtual void AttachMinimizeHooks() = 0;                            // step 15
    virtual void OutLog(const std::string& text) = 0;                  // step 17
    virtual void StartTimer() = 0;                                     // step 20
};

class TProgram : public IMainServices {
public:
    // `windows`: the desktop the link polls (the real one, or a test's).
    explicit TProgram(std::unique_ptr<IWindowEnum> windows);
    ~TProgram() override;
    TProgram(const TProgram&) = delete;
    TProgram& operator=(const TProgram&) = delete;

    // The start-up sequence. False when there is no language file: the message has been shown,
    // the end of the program requested, and nothing after step 7 exists.
    bool FormCreate(IStartupHost& host, int major, int minor, int release);

    // IMainServices
    std::string MainText(const std::string& key) override;
    void TranslateMain(lang::IForm& form) override;
    bool ConfirmExit() override;
    void DeleteWork(int index) override;
    bool ConfirmDelete(int index) override;
    void SendNow(int index) override;
    // What a render starting now would read for a work `delayMs` behind the air: the broadcast
    // snapshot of then, the link state, the time (the work editor's preview and tag reference).
    // The history reaches back only as far as the largest delay of a saved work; a longer one
    // gets the oldest state kept.
    TPageState CurrentPage(int64_t delayMs = 0) const;
    TShowCell& SourceStatus() override { return Status.SourceStatus; }
    void TerminateReader() override;
    bool ReaderExists() override { return Reader != nullptr; }
    bool ReaderFinished() override;
    void FreeReader() override;
    bool RendersRunning() override;
    void ReleaseRing() override;
    void FreeLongLivedObjects() override;
    std::vector<std::string> TakeLogLines() override;
    // The live server as the settings and the works' "serve live" say now (after start-up, the
    // settings dialog, the work editor, a deletion). A server open to other computers without
    // an access key gets a new one, saved in the settings.
    void ApplyLiveSettings();

    // Everything the run owns. Public for the window's glue and the tests.
    std::atomic<uint8_t> ClosingStage{0};
    TInboundRing Ring;
    TSettings Settings;
    TBroadcastStore Broadcast;
    TLinkStatus Status;
    TInbox Inbox;
    std::unique_ptr<lang::TLanguage> Language;
    std::unique_ptr<lang::TSectionList> MainSection;
    // The English file's section "Main": the words of a message the chosen language lacks.
    std::unique_ptr<lang::TLanguage> English;
    std::unique_ptr<lang::TSectionList> EnglishMain;
    // Before the render context: renders and the reader hand it pages and states until they end.
    TLiveService Live;
    // Declared so that they are destroyed in the order shutdown frees them: the reader (it
    // calls the scheduler), the link, then the scheduler, which waits for renders that still
    // read the context, the language and the broadcast state.
    TRenderContext Context;
    TRenderScheduler Scheduler;
    std::unique_ptr<TWinMSG> Link;
    std::unique_ptr<TReaderDataThread> Reader;
    std::string Title;  // step 5: the application's title and the tray hint

protected:
    // The dialogs behind the tool bar (EditWork, EditProgramSettings) are the platform's.
    IStartupHost* Host() const { return host_; }
    // A failed save or delete, in an error box: the user has just asked for it.
    void ReportFailure(const std::string& text);

private:
    std::string ProgramFilePrefix() const;
    void CreateLink();
    void LogSkippedWorks(const std::vector<std::string>& sections);
    // The log line for a work the list had no room for, in the language's words.
    std::string WorkNotLoadedText(const std::string& section);
    void RemoveWriteLeftovers();
    // Messages (failures of the deliveries, the folder browser) in the language's words.
    void InstallMessageWords();
    std::string MessageWords(const std::string& key, const std::vector<std::string>& args);

    std::unique_ptr<IWindowEnum> windows_;
    IStartupHost* host_ = nullptr;
};

} // namespace kw
