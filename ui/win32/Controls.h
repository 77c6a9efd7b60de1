// The child controls of the program's windows as the translation sees them: each with the
// name and class the language files address (lang::IComponent). Windows hold them as typed
// fields; the form's list only serves the translation.
#pragma once
#include "lang/Component.h"
#include "ui/win32/Window.h"
#include <memory>
#include <string>
#include <vector>

namespace kw::win {

// A control with a caption (label, button, check box, group box, panel, edit).
class TControl : public lang::IComponent {
public:
    TControl(std::string name, std::string className, HWND hwnd)
        : name_(std::move(name)), class_(std::move(className)), hwnd_(hwnd) {}
    std::string Name() const override { return name_; }
    std::string ClassName() const override { return class_; }
    std::string Caption() const override { return GetText(hwnd_); }
    void SetCaption(const std::string& text) override { win::SetText(hwnd_, text); }
    std::string Text() const override { return GetText(hwnd_); }
    void SetText(const std::string& text) override { win::SetText(hwnd_, text); }
    std::string Hint() const override { return hint_; }
    void SetHint(const std::string& hint) override { hint_ = hint; }
    void SetShowHint(bool on) override { showHint_ = on; }
    bool ShowHint() const { return showHint_; }
    HWND Hwnd() const { return hwnd_; }

protected:
    std::string name_, class_;
    HWND hwnd_;
    std::string hint_;
    bool showHint_ = false;
};

// A report-mode ListView standing in for a string grid: the header is its fixed row.
class TGridControl : public TControl {
public:
    using TControl::TControl;
    int ColCount() const override;
    int RowCount() const override;
    int FixedRows() const override { return 1; }
    std::string Cell(int col, int row) const override;
    void SetCell(int col, int row, const std::string& text) override;
};

// A drop-down list's items.
class TComboControl : public TControl {
public:
    using TControl::TControl;
    int ItemCount() const override;
    std::string Item(int i) const override;
    void SetItem(int i, const std::string& text) override;
    int ItemIndex() const override;
    void SetItemIndex(int i) override;
    void AddItem(const std::string& text);
};

// A form's controls for translation.
class TFormComponents : public lang::IForm {
public:
    TFormComponents(std::string name, HWND form) : name_(std::move(name)), form_(form) {}
    std::string Name() const override { return name_; }
    std::string Caption() const override { return GetText(form_); }
    void SetCaption(const std::string& caption) override { SetText(form_, caption); }
    int ComponentCount() const override { return static_cast<int>(items_.size()); }
    lang::IComponent& Component(int index) override { return *items_.at(static_cast<size_t>(index)); }
    TControl& Control(int index) { return *items_.at(static_cast<size_t>(index)); }

    template <typename C = TControl>
    C& Add(const std::string& name, const std::string& className, HWND hwnd) {
        items_.push_back(std::make_unique<C>(name, className, hwnd));
        return static_cast<C&>(*items_.back());
    }

private:
    std::string name_;
    HWND form_;
    std::vector<std::unique_ptr<TControl>> items_;
};

// Creates a child control with the dialog font at the parent's DPI.
HWND MakeChild(HWND parent, const wchar_t* cls, const std::string& text, DWORD style, int x, int y, int w, int h,
               int id, DWORD exStyle = 0);
// Gives every child of `parent` the dialog font at `dpi` (after a DPI change).
void SetChildFonts(HWND parent, int dpi);

// Check boxes.
bool IsChecked(HWND box);
void SetChecked(HWND box, bool on);

// The control that owns the keyboard focus within `form`, or null.
HWND FocusWithin(HWND form);

} // namespace kw::win
