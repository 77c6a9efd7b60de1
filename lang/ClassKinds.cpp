// The class table, built in kind order and sorted by name for the binary search.
#include "lang/ClassKinds.h"
#include "lang/SectionList.h"
#include <algorithm>

namespace kw::lang {

namespace {
// Row number = kind.
const char* const kClassNames[kClassKindCount] = {
    "TPanel",      "TLabel",       "TSpeedButton", "TButton",       "TBitBtn",        "TGroupBox",
    "TCheckBox",   "TRadioButton", "TStaticText",  "TEdit",         "TLabeledEdit",   "TStatusBar",
    "TTabSheet",   "TPageControl", "TTabControl",  "TRadioGroup",   "TComboBox",      "TListBox",
    "TCheckListBox", "TRxCheckListBox", "TMenuItem", "TToolButton", "TStringGrid",    "TTreeView",
    "TImage"};
} // namespace

TClassKinds::TClassKinds() {
    entries_.reserve(kClassKindCount);
    for (int kind = 0; kind < kClassKindCount; ++kind)
        entries_.push_back({static_cast<TClassKind>(kind), UpperAscii(kClassNames[kind])});
    std::sort(entries_.begin(), entries_.end(),
              [](const TClassKindEntry& a, const TClassKindEntry& b) { return a.ClassName < b.ClassName; });
}

const TClassKindEntry* TClassKinds::Find(const std::string& className) const {
    auto it = std::lower_bound(entries_.begin(), entries_.end(), className,
                               [](const TClassKindEntry& e, const std::string& name) {
                                   return CompareTextAscii(e.ClassName, name) < 0;
                               });
    if (it == entries_.end() || CompareTextAscii(it->ClassName, className) != 0)
        return nullptr;
    return &*it;
}

} // namespace kw::lang
