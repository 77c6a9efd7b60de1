// The 25 component classes that translation knows, and what it translates for each.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kw::lang {

enum class TClassKind : uint8_t {
    Panel, Label, SpeedButton, Button, BitBtn, GroupBox, CheckBox, RadioButton, StaticText, Edit,
    LabeledEdit, StatusBar, TabSheet, PageControl, TabControl, RadioGroup, ComboBox, ListBox,
    CheckListBox, RxCheckListBox, MenuItem, ToolButton, StringGrid, TreeView, Image
};

constexpr int kClassKindCount = 25;

struct TClassKindEntry {
    TClassKind Kind;
    std::string ClassName;  // upper-cased
};

// The table sorted by class name; Find is a binary search without regard to ASCII case that
// matches whole names only, so a derived or look-alike class is not found.
class TClassKinds {
public:
    TClassKinds();
    const std::vector<TClassKindEntry>& Entries() const { return entries_; }
    const TClassKindEntry* Find(const std::string& className) const;

private:
    std::vector<TClassKindEntry> entries_;
};

} // namespace kw::lang
