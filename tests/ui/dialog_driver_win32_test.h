// Drives the program's dialogs under Wine as a user would: a thread timer, which keeps running
// inside every modal loop, answers the message dialogs (reading their text first, then clicking
// their first button by real input) and performs scripted steps while a dialog is open
// modally. Every wait is bounded by a tick count.
#pragma once
#include "lang/Language.h"
#include "dialogs/MessageDialog_win32.h"
#include "ui/win32/Controls.h"
#include "ui/win32/Window.h"
#include "tests/lang/LangFixture.h"
#include "tests/ui/RealInput_win32.h"
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>
#include <windows.h>
#include <commctrl.h>

namespace kw::test {

struct TDriver {
    std::vector<std::string> Messages;              // texts of the message dialogs answered
    std::vector<std::function<void()>> Steps;       // run one per tick while no message is open
    size_t NextStep = 0;
    int Ticks = 0;
    HWND Answered = nullptr;  // the message dialog whose button has been clicked
    bool InStep = false;
    bool AnswerMessages = true;  // off: the steps deal with the dialogs themselves
    UINT_PTR Timer = 0;

    static TDriver*& Current() {
        static TDriver* current = nullptr;
        return current;
    }

    TDriver() {
        Current() = this;
        Timer = SetTimer(nullptr, 0, 30, &TDriver::Tick);
    }
    ~TDriver() {
        KillTimer(nullptr, Timer);
        Current() = nullptr;
    }
    TDriver(const TDriver&) = delete;
    TDriver& operator=(const TDriver&) = delete;

    static HWND FindMessageDialog() {
        HWND found = nullptr;
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND h, LPARAM out) -> BOOL {
                char cls[32] = {};
                GetClassNameA(h, cls, sizeof cls);
                if (IsWindowVisible(h) && lstrcmpA(cls, "#32770") == 0) {
                    *reinterpret_cast<HWND*>(out) = h;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&found));
        return found;
    }

    // The message's text, then its first button (OK) clicked.
    void Answer(HWND dialog) {
        if (dialog == Answered)
            return;  // the click is on its way
        Answered = dialog;
        std::string text;
        HWND button = nullptr;
        for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            char cls[32] = {};
            GetClassNameA(c, cls, sizeof cls);
            if (lstrcmpiA(cls, "Static") == 0 && !(GetWindowLongA(c, GWL_STYLE) & SS_ICON))
                text = win::GetText(c);
            else if (lstrcmpiA(cls, "Button") == 0 && !button)
                button = c;
        }
        Messages.push_back(text);
        if (button) {
            SetForegroundWindow(dialog);
            QueueClick(button);
        }
    }

    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        TDriver* d = Current();
        if (!d || d->InStep)
            return;  // a step that runs messages itself (a screenshot) is not interrupted by the next
        if (++d->Ticks > 400) {  // twelve seconds: something hangs; end whatever is open
            if (HWND dlg = FindMessageDialog())
                EndDialog(dlg, -99);
            else if (HWND form = GetActiveWindow())
                PostMessageW(form, WM_CLOSE, 0, 0);
        }
        if (HWND dlg = FindMessageDialog(); dlg && d->AnswerMessages) {
            d->Answer(dlg);
            return;
        }
        if (d->NextStep < d->Steps.size()) {
            d->InStep = true;
            d->Steps[d->NextStep++]();
            d->InStep = false;
        }
    }
};

// Clicks a button or check box with the mouse. Inside a driver's step the click is queued for
// the dialog's own modal loop; outside, it is handled before this returns.
inline void Click(HWND control) {
    if (TDriver::Current() && TDriver::Current()->InStep) {
        QueueClick(control);
        return;
    }
    ClickOn(control);
    Settle(100);
}

// Types text into an edit field: the field is emptied and each character arrives as WM_CHAR.
inline void Type(HWND edit, const std::string& ansiText) {
    SetFocus(edit);
    // Ctrl+A is not an edit box's key everywhere: the old text is selected by the field's own
    // message, then the keyboard types over it (Delete first, for an empty text).
    SendMessageW(edit, EM_SETSEL, 0, -1);
    QueueKey(VK_DELETE);
    QueueText(win::Wide(ansiText));
    if (!(TDriver::Current() && TDriver::Current()->InStep))
        WaitFor([&] { return win::GetText(edit) == ansiText; }, 3000);
}


// A control anywhere inside `root` (buttons of a button bar are the bar's children).
inline HWND Descendant(HWND root, int id) {
    struct TFind {
        int Id;
        HWND Found;
    } find{id, nullptr};
    EnumChildWindows(
        root,
        [](HWND h, LPARAM p) -> BOOL {
            auto* f = reinterpret_cast<TFind*>(p);
            if (GetDlgCtrlID(h) != f->Id)
                return TRUE;
            f->Found = h;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&find));
    return find.Found;
}

// A form's control by the name the language file knows it by (tests only: the windows hold
// their controls as fields).
inline HWND Named(win::TFormComponents& form, const std::string& name) {
    for (int i = 0; i < form.ComponentCount(); ++i)
        if (form.Control(i).Name() == name)
            return form.Control(i).Hwnd();
    return nullptr;
}

inline win::TControl& NamedControl(win::TFormComponents& form, const std::string& name) {
    for (int i = 0; i < form.ComponentCount(); ++i)
        if (form.Control(i).Name() == name)
            return form.Control(i);
    throw std::runtime_error("no control " + name);
}

} // namespace kw::test
