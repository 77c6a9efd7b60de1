// TFPreview: the template preview over the work editor. Shows the page the editor's current,
// unsaved settings give for one broadcast-state snapshot, line by line as the code page gives
// it, and below it what could not be read. It never writes the work's output and never
// delivers; an HTML page can be opened in the user's browser from a temporary file.
#pragma once
#include "lang/Language.h"
#include "ui/Preview.h"
#include "ui/win32/ButtonBar.h"
#include "ui/win32/Controls.h"
#include "ui/win32/Tooltips.h"
#include <functional>
#include <memory>
#include <string>

namespace kw {

// What the tags of a preview read: the program's broadcast snapshot of `delayMs` ago (the
// current one for 0), its link state and the local time. The program gives the editor one;
// without it a preview shows the empty state of a program that has heard nothing from the host
// yet.
using TPageSource = std::function<TPageState(int64_t delayMs)>;

// Opens a written preview page in the user's browser; false when the system could not.
// Tests put a stand-in here so that no browser starts on the test machine.
using TOpenPageFn = bool (*)(const std::string& path);
extern TOpenPageFn OpenPreviewPageHook;

// The system's temporary folder ("" when it cannot be told).
std::string TempRoot();

class TFPreview : public win::TWindowBase<TFPreview> {
public:
    static const wchar_t* ClassName() { return L"TFPreview"; }

    TFPreview(lang::TLanguage& language, TPreview preview) : language_(language), preview_(std::move(preview)) {}
    ~TFPreview() override;

    bool Create(HWND owner);
    // Modal over the owner until Close, Escape or the close box.
    void ShowModal();
    void SBOpenBrowserClick();

    win::TFormComponents& Components() { return *components_; }
    HWND Lines() const { return lvPage_; }
    HWND Problems() const { return lbProblems_; }
    const TPreview& Preview() const { return preview_; }
    // The folder of the page opened in a browser ("" before the first, and once closed).
    const std::string& PreviewFolder() const { return folder_.Folder(); }

    enum : int { IDC_LVPAGE = 1201, IDC_LBPROBLEMS, IDC_SBOPENBROWSER, IDC_SBCLOSE };

    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

protected:
    void DpiChanged(int dpi, const RECT* suggested) override;

private:
    void CreateControls();
    void Layout();
    void Fill();
    std::vector<std::string> ProblemTexts() const;

    lang::TLanguage& language_;
    const TPreview preview_;
    std::unique_ptr<lang::TSectionList> list_, mainList_;
    std::unique_ptr<win::TFormComponents> components_;
    win::TButtonBar panB_;
    win::TTooltips hints_;
    HWND lvPage_ = nullptr, lProblems_ = nullptr, lbProblems_ = nullptr;
    HWND sbOpenBrowser_ = nullptr, sbClose_ = nullptr;
    HWND owner_ = nullptr;
    bool closed_ = false;
    TPreviewFolder folder_{TempRoot()};
};

// Renders the preview and shows it over `owner` until it is closed.
void ShowPreview(HWND owner, lang::TLanguage& language, const TPreviewSettings& settings, const TPageState& page);

} // namespace kw
