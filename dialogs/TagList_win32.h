// TFTagList: the tag reference over the work editor. Every tag with the value it inserts now
// (the editor's code page and escaping), a search field that filters as one types, and a button
// that copies the selected tag's text to the clipboard for pasting into a template.
#pragma once
#include "lang/Language.h"
#include "ui/TagReference.h"
#include "ui/win32/ButtonBar.h"
#include "ui/win32/Controls.h"
#include "ui/win32/Tooltips.h"
#include <memory>
#include <string>
#include <vector>

namespace kw {

class TFTagList : public win::TWindowBase<TFTagList> {
public:
    static const wchar_t* ClassName() { return L"TFTagList"; }

    TFTagList(lang::TLanguage& language, std::vector<TTagReferenceRow> rows)
        : language_(language), rows_(std::move(rows)) {}
    ~TFTagList() override;

    bool Create(HWND owner);
    void ShowModal();
    // Shows the rows the search field's text finds.
    void ESearchChange();
    // Puts the selected row's tag on the clipboard; false when no row is selected or the
    // clipboard could not be had.
    bool SBCopyClick();

    win::TFormComponents& Components() { return *components_; }
    HWND Tags() const { return lvTags_; }
    // The positions in the table of the rows shown, in the list's order.
    const std::vector<size_t>& Shown() const { return shown_; }

    enum : int { IDC_ESEARCH = 1301, IDC_LVTAGS, IDC_SBCOPY, IDC_SBCLOSE };

    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

protected:
    void DpiChanged(int dpi, const RECT* suggested) override;

private:
    void CreateControls();
    void Layout();

    lang::TLanguage& language_;
    const std::vector<TTagReferenceRow> rows_;
    std::vector<size_t> shown_;
    std::unique_ptr<lang::TSectionList> list_;
    std::unique_ptr<win::TFormComponents> components_;
    win::TButtonBar panB_;
    win::TTooltips hints_;
    HWND lSearch_ = nullptr, eSearch_ = nullptr, lvTags_ = nullptr, sbCopy_ = nullptr, sbClose_ = nullptr;
    HWND owner_ = nullptr;
    bool closed_ = false;
};

// Shows the tag reference for `page` with the editor's code page and escaping over `owner`.
void ShowTagList(HWND owner, lang::TLanguage& language, const TPageState& page, uint8_t codePage, uint8_t escaping);

} // namespace kw
