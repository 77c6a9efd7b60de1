// The Win32 program around TProgram: the main window, the host link's poll timer, the message
// dialogs, the dialogs behind the tool bar, and the message loop.
#pragma once
#include "hostlink/HostWindow_win32.h"
#include "dialogs/MessageDialog_win32.h"
#include "shell/Program.h"
#include "shell/win32/MainWindow_win32.h"
#include <memory>

namespace kw {

class TApplication final : public TProgram, private IStartupHost {
public:
    TApplication();
    ~TApplication() override;

    // The program entry's work: creates the main window (which runs `FormCreate`), shows it
    // and runs the message loop until the window has been destroyed. The process's exit code.
    int Run(int showCommand);

    TKW_PAGE& Page() { return page_; }

    // IMainServices: the dialogs.
    bool EditWork(int index) override;
    void EditProgramSettings() override;

private:
    // IStartupHost
    void SetCaption(const std::string& caption) override;
    void SetTitleAndHint(const std::string& title) override { page_.SetTrayHint(title); }
    lang::IMessageDialogView* DialogView() override { return &dialogs_; }
    void RequestTerminate() override { terminateRequested_ = true; }
    void SetThreadLocale(int locale) override;
    void Language_Change() override { page_.Language_Change(); }
    void ShowWorks() override { page_.ShowWorks(); }
    TWindowHandle OwnHandle() override { return WindowKey(page_.Hwnd()); }
    void StartLinkPoll(TWinMSG& link) override { poll_ = std::make_unique<TLinkPollTimer>(link); }
    void StopLinkPoll() override { poll_.reset(); }
    void AttachMinimizeHooks() override { page_.AttachMinimizeHooks(); }
    void OutLog(const std::string& text) override { page_.OutLog(text); }
    void StartTimer() override { page_.StartTimer(); }

    int MessageLoop();
    void ConnectDialogs();

    TKW_PAGE page_;
    lang::TMessageDialogWin32 dialogs_;
    std::unique_ptr<TLinkPollTimer> poll_;
    HICON icon_ = nullptr;
    HICON smallIcon_ = nullptr;
    bool terminateRequested_ = false;
};

} // namespace kw
