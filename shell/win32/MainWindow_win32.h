// TKW_PAGE: the program's main window. Tool bar (the button bar with four flat buttons), the
// works grid with the "Source" row and one row per work, the log grid, the 100 ms main timer,
// the notification icon and the staged shutdown. Decisions live in the portable models; sizes
// are at 96 DPI and follow the monitor's scale.
#pragma once
#include "hostlink/Inbox.h"
#include "shell/ClosingSequence.h"
#include "ui/GridLayout.h"
#include "ui/LogModel.h"
#include "shell/MainServices.h"
#include "ui/win32/ButtonBar.h"
#include "ui/win32/Controls.h"
#include "ui/win32/ListView.h"
#include <commctrl.h>
#include <memory>
#include <shellapi.h>

namespace kw {

class TKW_PAGE : public win::TWindowBase<TKW_PAGE>, private IClosingSteps {
public:
    static const wchar_t* ClassName() { return L"TKW_PAGE"; }

    TKW_PAGE(TSettings& settings, IMainServices& services) : settings_(settings), services_(services) {}
    ~TKW_PAGE() override;

    // Creates the window (hidden) with its caption; `quitOnDestroy` ends the message loop
    // when the window is gone (the program), tests keep theirs.
    bool Create(const std::string& caption, HICON icon, bool quitOnDestroy);
    void StartTimer();

    // Part of the main window's interface used by start-up and the tests.
    void ShowWorks();
    void SGWorkClick();
    void SBAddClick();
    void SBEditClick();
    void SBDeleteClick();
    void SBPidClick();
    void SBSendNowClick();
    // The notification icon's menu at the pointer ("Send now" for the selected work).
    void TrayMenu();
    void OutLog(const std::string& text);
    void Language_Change();
    void TimerTick();
    void ToShutdownTick();
    void OnMinimize();
    void OnRestore();
    void TrayIconDblClick() { OnRestore(); }
    void SetTrayHint(const std::string& hint) { trayHint_ = hint; }
    // Start-up's wiring: the host's messages go to `inbox` (none before), the closing stage is
    // published for the host message handlers, and minimising starts to consult Hide.
    void SetInbox(TInbox* inbox) { inbox_ = inbox; }
    void ShareClosingStage(std::atomic<uint8_t>& stage) { closing_.ShareStage(&stage); }
    void AttachMinimizeHooks() { minimizeHooks_ = true; }
    void SetTrayIcon(HICON icon) { icon_ = icon; }

    int SelectedWork() const { return selectedWork_; }
    const TClosingSequence& Closing() const { return closing_; }
    const TLogModel& Log() const { return log_; }
    bool TrayIconVisible() const { return trayVisible_; }
    win::TFormComponents& Components() { return *components_; }
    HWND PanT() const { return panT_.Hwnd(); }
    const win::TButtonBar& Bar() const { return panT_; }
    HWND SGWork() const { return sgWork_; }
    HWND SGLog() const { return sgLog_; }
    HWND Button(int id) const { return GetDlgItem(panT_.Hwnd(), id); }
    // Row height of the grids (18 at 96 DPI), as laid out and as the column fitting uses it.
    int GridRowHeight() const { return S(18); }
    TToolBarLayout ToolBar() const;
    // What a tool-bar button's glyph and caption need, in pixels.
    int ToolBarWantedWidth(int id) const { return panT_.WantedWidth(Button(id)); }
    // The client width the tool bar needs to show every caption whole.
    int CaptionsWidth() const;
    // Widens the window to CaptionsWidth within the work area; true when its size changed.
    bool FitWidthToCaptions();

    enum : int { IDC_SBADD = 101, IDC_SBEDIT, IDC_SBDELETE, IDC_SBPID, IDC_SGWORK, IDC_SGLOG, IDC_SBSENDNOW };
    enum : UINT { IDM_SENDNOW = 201 };
    enum : UINT_PTR { IDT_MAIN = 1 };

    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

protected:
    void DpiChanged(int dpi, const RECT* suggested) override;

private:
    void CreateControls();
    void PanTResize();
    void PanWorkResize();
    void PanLogResize();
    void Layout();
    void FitGrid(HWND grid, const std::vector<int16_t>& percents);
    void SetWorkCell(int row, int col, const std::string& text);
    void ShowHints();
    LRESULT OnNotify(const NMHDR& n);
    LRESULT WorksCustomDraw(NMLVCUSTOMDRAW& cd);
    void TrayIcon(DWORD action);
    void Command(int id);

    // IClosingSteps: the window's own steps here, the threads' through the services.
    bool ConfirmExit() override { return services_.ConfirmExit(); }
    void LogBye() override { OutLog(services_.MainText("Bye")); }
    void TimerToShutdown() override {}  // WM_TIMER dispatches by the closing stage
    void TerminateReader() override { services_.TerminateReader(); }
    bool ReaderExists() override { return services_.ReaderExists(); }
    bool ReaderFinished() override { return services_.ReaderFinished(); }
    void FreeReader() override { services_.FreeReader(); }
    bool RendersRunning() override { return services_.RendersRunning(); }
    void ReleaseRing() override { services_.ReleaseRing(); }
    void StopTimer() override { KillTimer(Hwnd(), IDT_MAIN); }
    void CloseWindow() override { PostMessageW(Hwnd(), WM_CLOSE, 0, 0); }
    void FreeLongLivedObjects() override { services_.FreeLongLivedObjects(); }
    void TerminateNow() override { ExitProcess(1); }

    TSettings& settings_;
    IMainServices& services_;
    win::TButtonBar panT_;
    HWND sgWork_ = nullptr, sgLog_ = nullptr;
    std::unique_ptr<win::TFormComponents> components_;
    win::TControl* sbAdd_ = nullptr;
    win::TControl* sbEdit_ = nullptr;
    win::TControl* sbDelete_ = nullptr;
    win::TControl* sbPid_ = nullptr;
    win::TControl* sbSendNow_ = nullptr;
    win::TControl* miSendNow_ = nullptr;  // the tray menu's item: its text, translated with the window
    TClosingSequence closing_;
    TLogModel log_;
    std::vector<TStatusTone> cellTones_;  // status tone per works grid item
    uint64_t statusSeen_ = ~uint64_t{0};  // the status cells' publication count at the last take
    int selectedWork_ = -1;
    bool quitOnDestroy_ = false;
    bool minimizeHooks_ = false;
    TInbox* inbox_ = nullptr;
    bool trayVisible_ = false;
    bool layoutPending_ = false;     // created, not laid out yet: done once before it shows
    bool builtinTextsShown_ = false; // the built-in texts are up and no language applied since
    std::string trayHint_;
    HICON icon_ = nullptr;
    UINT taskbarCreated_ = 0;
};

} // namespace kw
