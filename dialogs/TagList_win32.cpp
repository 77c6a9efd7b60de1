// The tag reference's window: the search field, the list of tags (tag, value, live) and the
// button bar with Copy and Close.
#include "dialogs/TagList_win32.h"
#include "lang/BuiltinTexts.h"
#include "ui/win32/Layout.h"
#include "ui/win32/ListView.h"
#include "ui/win32/ModalForm.h"
#include <commctrl.h>
#include <cstring>

namespace kw {

namespace {


constexpr int FormWidth = 560;
constexpr int ListTop = 40, ListH = 340;
const int ColumnWidths[] = {190, 280, 50};  // with a vertical scroll bar, no horizontal one

// The list view's column titles as the language file addresses them: items "LVTags.1" to
// "LVTags.3" of a list.
class TColumnTitles : public win::TControl {
public:
    using TControl::TControl;
    int ItemCount() const override { return Header_GetItemCount(ListView_GetHeader(Hwnd())); }
    std::string Item(int i) const override {
        wchar_t text[256] = {};
        LVCOLUMNW c{};
        c.mask = LVCF_TEXT;
        c.pszText = text;
        c.cchTextMax = 255;
        SendMessageW(Hwnd(), LVM_GETCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&c));
        return win::Ansi(text);
    }
    void SetItem(int i, const std::string& text) override { win::LvSetColumnText(Hwnd(), i, text); }
};

std::string Utf8(const std::wstring& wide) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// The field's text read wide, so that a search for any character reaches the search as typed.
std::string FieldUtf8(HWND field) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(field)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(field, text.data(), static_cast<int>(text.size()))));
    return Utf8(text);
}

} // namespace

TFTagList::~TFTagList() { lang::TLanguage::FreeSection(list_, true); }

bool TFTagList::Create(HWND owner) {
    owner_ = owner;
    if (!CreateForm(owner, "", FormWidth, 460, ICC_LISTVIEW_CLASSES))
        return false;
    CreateControls();
    lang::ShowBuiltinTexts(*components_, components_->Name());
    language_.LoadAndTranslate(*components_, list_);
    win::LvFitHeaders(lvTags_, 1);  // the titles as translated, whole; the value column gives
    hints_.SetFromForm(Hwnd(), *components_);
    ESearchChange();
    Layout();
    return true;
}

void TFTagList::CreateControls() {
    components_ = std::make_unique<win::TFormComponents>("FTagList", Hwnd());
    lSearch_ = win::MakeChild(Hwnd(), L"STATIC", "", SS_LEFT | SS_NOPREFIX, 0, 0, 1, 1, 0);
    components_->Add("LSearch", "TLabel", lSearch_);
    eSearch_ = win::MakeChild(Hwnd(), L"EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL, 0, 0, 1, 1, IDC_ESEARCH,
                              WS_EX_CLIENTEDGE);
    SendMessageW(eSearch_, EM_SETLIMITTEXT, 255, 0);
    components_->Add("ESearch", "TEdit", eSearch_);
    lvTags_ = win::MakeReportList(Hwnd(), IDC_LVTAGS,
                                  {{"", ColumnWidths[0]}, {"", ColumnWidths[1]},
                                   {"", ColumnWidths[2]}},
                                  Dpi(), LVS_SINGLESEL | LVS_NOSORTHEADER);
    components_->Add<TColumnTitles>("LVTags", "TListBox", lvTags_);
    panB_.Create(Hwnd(), 0, 0, S(FormWidth));
    sbCopy_ = panB_.AddButton(IDC_SBCOPY, "");
    sbClose_ = panB_.AddButton(IDC_SBCLOSE, "");
    components_->Add("SBCopy", "TSpeedButton", sbCopy_);
    components_->Add("SBClose", "TSpeedButton", sbClose_);
    components_->Add("PanB", "TPanel", panB_.Hwnd());
}

void TFTagList::ESearchChange() {
    shown_ = SearchTagReference(rows_, FieldUtf8(eSearch_));
    SendMessageW(lvTags_, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(lvTags_);
    const std::string yes = "+";
    for (size_t i = 0; i < shown_.size(); ++i) {
        const TTagReferenceRow& row = rows_[shown_[i]];
        const int item = static_cast<int>(i);
        win::LvSetCellUtf8(lvTags_, item, 0, row.Tag);
        win::LvSetCellUtf8(lvTags_, item, 1, row.Value);
        win::LvSetCellUtf8(lvTags_, item, 2, row.Live ? yes : std::string());
    }
    if (!shown_.empty())
        ListView_SetItemState(lvTags_, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    SendMessageW(lvTags_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(lvTags_, nullptr, TRUE);
}

bool TFTagList::SBCopyClick() {
    const int item = ListView_GetNextItem(lvTags_, -1, LVNI_SELECTED);
    if (item < 0 || static_cast<size_t>(item) >= shown_.size())
        return false;
    return win::CopyToClipboard(Hwnd(), rows_[shown_[static_cast<size_t>(item)]].Tag);
}

void TFTagList::Layout() {
    win::TLayout l(*this, FormWidth);
    l.Put(lSearch_, {8, 12, 80, win::LabelHeight});
    l.Put(eSearch_, {92, 9, FormWidth - 100, win::RowHeight});
    l.Put(lvTags_, {8, ListTop, FormWidth - 16, ListH});
    l.Bar(panB_, ListTop + ListH + 10);
    l.BarLeft({{sbCopy_, 150}});
    l.BarRight({{sbClose_, 105}});
    l.SizeAndCentreForm();
}

void TFTagList::DpiChanged(int dpi, const RECT*) {
    panB_.ApplyDpi(dpi);
    win::SetChildFonts(Hwnd(), dpi);
    SendMessageW(lvTags_, WM_SETFONT, reinterpret_cast<WPARAM>(win::UiFont(dpi)), TRUE);
    win::LvScaleColumns(lvTags_, {ColumnWidths[0], ColumnWidths[1], ColumnWidths[2]}, dpi);
    win::LvFitHeaders(lvTags_, 1);  // the value column gives what a title lacks
    Layout();
    RedrawWindow(Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void TFTagList::ShowModal() {
    closed_ = false;
    win::ShowModalForm(Hwnd(), owner_, eSearch_, [this] { return closed_; });
}

LRESULT TFTagList::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND: {
        const int id = LOWORD(wp), code = HIWORD(wp);
        if (id == IDC_ESEARCH && code == EN_CHANGE)
            ESearchChange();
        else if (code == BN_CLICKED && id == IDC_SBCOPY)
            SBCopyClick();
        else if (code == BN_CLICKED && (id == IDC_SBCLOSE || id == IDCANCEL))
            closed_ = true;
        else if (code == BN_CLICKED && id == IDOK)  // Enter copies, as a double click does
            SBCopyClick();
        return 0;
    }
    case WM_NOTIFY: {
        const auto& n = *reinterpret_cast<const NMHDR*>(lp);
        if (n.hwndFrom == lvTags_ && n.code == NM_DBLCLK)
            SBCopyClick();
        else if (n.hwndFrom == lvTags_ && n.code == NM_SETFOCUS)
            win::LvShowFocus(lvTags_);
        return 0;
    }
    case WM_CLOSE:
        closed_ = true;
        return 0;
    }
    return Default(msg, wp, lp);
}

void ShowTagList(HWND owner, lang::TLanguage& language, const TPageState& page, uint8_t codePage, uint8_t escaping) {
    TFTagList form(language, TagReference(page, codePage, escaping));
    if (form.Create(owner))
        form.ShowModal();
}

} // namespace kw
