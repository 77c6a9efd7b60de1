// The Win32 program: start-up of the window, the message loop and the tool bar's dialogs.
#include "shell/win32/Application_win32.h"
#include "shell/res/resource.h"
#include "widgets/VersionInfo.h"

namespace kw {

TApplication::TApplication() : TProgram(CreateDesktopWindowEnum()), page_(Settings, *this) {}

TApplication::~TApplication() {
    // The poll timer goes before the link it polls (TProgram's members outlive ours).
    poll_.reset();
    if (icon_)
        DestroyIcon(icon_);
    if (smallIcon_)
        DestroyIcon(smallIcon_);
}

void TApplication::SetCaption(const std::string& caption) { win::SetText(page_.Hwnd(), caption); }

void TApplication::SetThreadLocale(int locale) { ::SetThreadLocale(static_cast<LCID>(locale)); }

int TApplication::Run(int showCommand) {
    // The icon in the sizes the shell asks for: the window's, the title bar's and the tray's.
    icon_ = static_cast<HICON>(LoadImageW(win::Instance(), MAKEINTRESOURCEW(IDI_KWPAGE), IMAGE_ICON,
                                          GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    smallIcon_ = static_cast<HICON>(LoadImageW(win::Instance(), MAKEINTRESOURCEW(IDI_KWPAGE), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    if (!page_.Create("KWPAGE", icon_, true))
        return 1;
    SendMessageW(page_.Hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
    page_.SetTrayIcon(smallIcon_ ? smallIcon_ : icon_);
    page_.ShareClosingStage(ClosingStage);
    ConnectDialogs();
    page_.SetInbox(&Inbox);  // ignored by the inbox until the link exists (step 14)

    const TVersionInfo version;
    if (!FormCreate(*this, version.Major(), version.Minor(), version.Release()) || terminateRequested_) {
        // No language file: the message has been shown; nothing else was created.
        page_.SetInbox(nullptr);
        DestroyWindow(page_.Hwnd());
        return 1;
    }
    ShowWindow(page_.Hwnd(), showCommand == SW_HIDE ? SW_SHOWNORMAL : showCommand);
    UpdateWindow(page_.Hwnd());
    return MessageLoop();
}

int TApplication::MessageLoop() {
    MSG msg;
    for (;;) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0)
            return static_cast<int>(msg.wParam);
        if (got < 0)
            return 1;
        // Tab moves between the tool bar and the grids; dialogs run loops of their own.
        if (IsWindow(page_.Hwnd()) && IsDialogMessageW(page_.Hwnd(), &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

} // namespace kw
