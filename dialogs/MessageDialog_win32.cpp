// The message dialog as a window built at run time from an empty dialog template: the dialog
// manager gives it modality, keyboard navigation and the "&" accelerators; the layout follows
// the text, the captions it is given and the dialog font at the monitor's DPI.
#include "dialogs/MessageDialog_win32.h"
#include "ui/win32/Controls.h"
#include "ui/win32/Dpi.h"
#include "ui/win32/Window.h"
#include <algorithm>
#include <windows.h>

namespace kw::lang {

namespace {

constexpr int kHelpId = 100;  // Help has no result; it must not collide with one
constexpr int kTextId = 200;
constexpr int kIconId = 201;

struct TDialogState {
    const TMessageDialogModel* Model = nullptr;
    HFONT Font = nullptr;  // the UI library's, at the dialog's DPI
    bool CancelAllowed = false;  // Escape and the close box give a result
    int CancelResult = mrCancel;
};

int ButtonId(const TDialogButton& b) { return b.Result == mrNone ? kHelpId + b.Button : b.Result; }

LPCSTR IconFor(TMsgDlgType type) {
    switch (type) {
    case TMsgDlgType::Warning: return MAKEINTRESOURCEA(32515);      // exclamation
    case TMsgDlgType::Error: return MAKEINTRESOURCEA(32513);        // hand
    case TMsgDlgType::Information: return MAKEINTRESOURCEA(32516);  // asterisk
    case TMsgDlgType::Confirmation: return MAKEINTRESOURCEA(32514); // question
    default: return nullptr;
    }
}

// Escape and the close box answer like the standard message box: Cancel when there is a
// Cancel button, the one button when there is only one, otherwise nothing.
void DecideCancel(TDialogState& state) {
    int closing = 0;
    for (const TDialogButton& b : state.Model->ButtonList) {
        if (b.Button == mbCancel) {
            state.CancelAllowed = true;
            state.CancelResult = mrCancel;
            return;
        }
        if (b.Result != mrNone) {
            ++closing;
            state.CancelResult = b.Result;
        }
    }
    state.CancelAllowed = closing == 1;
}

SIZE MeasureText(HDC dc, const std::string& text, int maxWidth, UINT flags) {
    RECT r{0, 0, maxWidth, 0};
    DrawTextA(dc, text.empty() ? " " : text.c_str(), -1, &r, flags | DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

HWND AddChild(HWND dlg, const char* cls, const std::string& text, DWORD style, int id, HFONT font) {
    HWND h = CreateWindowExA(0, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, dlg,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
    if (h && font)
        SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return h;
}

// Creates the controls at `dpi` and sizes the window around them.
void Build(HWND dlg, TDialogState& state, int dpi) {
    const TMessageDialogModel& model = *state.Model;
    SetWindowTextA(dlg, model.Caption.c_str());
    state.Font = win::UiFont(dpi);
    HDC dc = GetDC(dlg);
    HGDIOBJ old = SelectObject(dc, state.Font ? state.Font : GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    const int unit = std::max<int>(tm.tmHeight, 8);  // everything scales with the font
    const int margin = unit;
    const int maxTextWidth = std::max(GetSystemMetrics(SM_CXSCREEN) * 3 / 5, win::Scale(200, dpi));

    const SIZE text = MeasureText(dc, model.Text, maxTextWidth, DT_WORDBREAK);
    const int buttonHeight = unit * 7 / 4;
    const int gap = unit / 2;
    int buttonsWidth = 0;
    std::vector<int> widths;
    for (const TDialogButton& b : model.ButtonList) {
        RECT r{0, 0, 0, 0};
        DrawTextA(dc, b.Caption.empty() ? " " : b.Caption.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE);
        widths.push_back(std::max<int>(unit * 5, r.right - r.left + unit * 2));
        buttonsWidth += widths.back() + (widths.size() > 1 ? gap : 0);
    }
    SelectObject(dc, old);
    ReleaseDC(dlg, dc);

    const LPCSTR iconName = IconFor(model.Type);
    const int iconSize = iconName ? win::Scale(32, dpi) : 0;
    const int textLeft = margin + (iconName ? iconSize + margin : 0);
    const int bodyHeight = std::max<int>(text.cy, iconSize);
    const int clientWidth = std::max<int>(textLeft + text.cx + margin, buttonsWidth + 2 * margin);
    const int clientHeight = margin + bodyHeight + margin + buttonHeight + margin;

    if (iconName) {
        HWND icon = AddChild(dlg, "STATIC", "", SS_ICON, kIconId, nullptr);
        // the stock icon drawn at the dialog's scale (LR_SHARED: the system keeps it)
        HANDLE image = LoadImageA(nullptr, iconName, IMAGE_ICON, iconSize, iconSize, LR_SHARED);
        SendMessageA(icon, STM_SETICON, reinterpret_cast<WPARAM>(image ? image : LoadIconA(nullptr, iconName)), 0);
        SetWindowPos(icon, nullptr, margin, margin, iconSize, iconSize, SWP_NOZORDER);
    }
    HWND label = AddChild(dlg, "STATIC", model.Text, SS_LEFT | SS_NOPREFIX, kTextId, state.Font);
    SetWindowPos(label, nullptr, textLeft, margin + (bodyHeight - text.cy) / 2, text.cx, text.cy, SWP_NOZORDER);

    int x = (clientWidth - buttonsWidth) / 2;
    const int y = margin + bodyHeight + margin;
    HWND first = nullptr;
    const size_t defaultIndex = model.DefaultIndex < model.ButtonList.size() ? model.DefaultIndex : 0;
    for (size_t i = 0; i < model.ButtonList.size(); ++i) {
        const DWORD style = WS_TABSTOP | (i == defaultIndex ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        HWND button = AddChild(dlg, "BUTTON", model.ButtonList[i].Caption, style, ButtonId(model.ButtonList[i]),
                               state.Font);
        SetWindowPos(button, nullptr, x, y, widths[i], buttonHeight, SWP_NOZORDER);
        x += widths[i] + gap;
        if (i == defaultIndex)
            first = button;  // the default button: Enter presses it, the focus starts on it
    }
    if (first) {
        SendMessageA(dlg, DM_SETDEFID, static_cast<WPARAM>(GetDlgCtrlID(first)), 0);
        SetFocus(first);
    }
    DecideCancel(state);
    if (!state.CancelAllowed)
        EnableMenuItem(GetSystemMenu(dlg, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);

    win::SizeAndCentre(dlg, clientWidth, clientHeight);
}

// Moved to a monitor of another scale: the controls are made again at the new DPI.
void Rebuild(HWND dlg, TDialogState& state, int dpi) {
    HWND focus = GetFocus();
    const int focusId = focus && IsChild(dlg, focus) ? GetDlgCtrlID(focus) : 0;
    while (HWND child = GetWindow(dlg, GW_CHILD))
        DestroyWindow(child);
    Build(dlg, state, dpi);
    if (HWND again = focusId ? GetDlgItem(dlg, focusId) : nullptr)
        SetFocus(again);
}

void OnCommand(HWND dlg, const TDialogState& state, int id) {
    if (id == IDCANCEL && state.CancelAllowed) {
        EndDialog(dlg, state.CancelResult);
        return;
    }
    for (const TDialogButton& b : state.Model->ButtonList)
        if (ButtonId(b) == id && b.Result != mrNone) {
            EndDialog(dlg, b.Result);
            return;
        }
    // Help, or Escape where the dialog has no answer for it: the dialog stays open.
}

INT_PTR CALLBACK DialogProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam) {
    // Nothing may escape into the dialog manager's loop.
    try {
        switch (message) {
        case WM_INITDIALOG: {
            auto* state = reinterpret_cast<TDialogState*>(lParam);
            SetWindowLongPtrA(dlg, DWLP_USER, lParam);
            Build(dlg, *state, win::DpiOf(dlg));
            return FALSE;  // focus was set on the first button
        }
        case WM_DPICHANGED:
            if (auto* state = reinterpret_cast<TDialogState*>(GetWindowLongPtrA(dlg, DWLP_USER)))
                Rebuild(dlg, *state, HIWORD(wParam));
            return TRUE;
        case WM_COMMAND:
            if (auto* state = reinterpret_cast<TDialogState*>(GetWindowLongPtrA(dlg, DWLP_USER)))
                OnCommand(dlg, *state, LOWORD(wParam));
            return TRUE;
        case WM_CLOSE:
            SendMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
            return TRUE;
        default:
            return FALSE;
        }
    } catch (...) {
        EndDialog(dlg, mrNone);
        return TRUE;
    }
}

// An empty template: the controls are created in WM_INITDIALOG.
struct alignas(4) TEmptyTemplate {
    DLGTEMPLATE Header;
    WORD Menu = 0;
    WORD Class = 0;
    WORD Title = 0;
};

} // namespace

int TMessageDialogWin32::ShowModal(const TMessageDialogModel& model) noexcept {
    TDialogState state;
    state.Model = &model;
    TEmptyTemplate tpl{};
    // A popup with caption and system menu and a fixed dialog frame: not resizable.
    tpl.Header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_3DLOOK;
    tpl.Header.cdit = 0;
    // Some size to start with: Wine's X11 driver never shows a dialog created empty and sized
    // in WM_INITDIALOG (its screen area stays blank); WM_INITDIALOG gives the real size.
    tpl.Header.cx = 100;
    tpl.Header.cy = 50;
    HWND owner = owner_ ? static_cast<HWND>(owner_) : GetActiveWindow();
    const INT_PTR result = DialogBoxIndirectParamA(GetModuleHandleA(nullptr), &tpl.Header, owner, DialogProc,
                                                   reinterpret_cast<LPARAM>(&state));
    return result < 0 ? mrNone : static_cast<int>(result);
}

void TMessageDialogWin32::ShowStandardError(const std::string& text) noexcept {
    MessageBoxA(static_cast<HWND>(owner_), text.c_str(), nullptr, MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

} // namespace kw::lang
