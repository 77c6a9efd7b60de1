// Translation of a window's components by their class, from a loaded section list.
#include "lang/BuiltinTexts.h"
#include "lang/Language.h"
#include "lang/TextExpansion.h"
#include "platform/FileSystem.h"

namespace kw::lang {

namespace {
// Looks up the texts of one component, each with the component's current text as default.
// With `foundOnly` a text the list has no key for stays exactly as it is (the built-in texts
// are laid under a window's own, which must not pass through expansion twice).
class TComponentTranslator {
public:
    TComponentTranslator(IComponent& c, const TSectionData& list, const TSectionData& constants, bool foundOnly)
        : c_(c), name_(c.Name()), list_(list), constants_(constants), foundOnly_(foundOnly) {}

    std::string Main(const std::string& def) const { return Look(name_, def); }
    std::string Property(const std::string& property, const std::string& def) const {
        return Look(name_ + "." + property, def);
    }

    void Caption() { c_.SetCaption(Main(c_.Caption())); }

    void Hint(bool showHint) {
        const std::string hint = Property("Hint", c_.Hint());
        c_.SetHint(hint);
        if (showHint && !hint.empty())
            c_.SetShowHint(true);
    }

    void Items(bool keepChecks) {
        for (int i = 0; i < c_.ItemCount(); ++i) {
            const bool checked = keepChecks && c_.Checked(i);
            c_.SetItem(i, Property(std::to_string(i + 1), c_.Item(i)));
            if (keepChecks)
                c_.SetChecked(i, checked);
        }
    }

    void FixedCells() {
        for (int r = 0; r < c_.RowCount(); ++r)
            for (int col = 0; col < c_.ColCount(); ++col)
                if (col < c_.FixedCols() || r < c_.FixedRows())
                    c_.SetCell(col, r, Property(std::to_string(col + 1) + "." + std::to_string(r + 1), c_.Cell(col, r)));
    }

    void Nodes() {
        for (int i = 0; i < c_.NodeCount(); ++i)
            c_.SetNodeText(i, Property(std::to_string(i + 1), c_.NodeText(i)));
    }

private:
    std::string Look(const std::string& key, const std::string& def) const {
        if (foundOnly_ && !list_.Find(key))
            return def;
        return LookupText(&list_, constants_, key, def);
    }

    IComponent& c_;
    const std::string name_;
    const TSectionData& list_;
    const TSectionData& constants_;
    const bool foundOnly_;
};
} // namespace

bool TLanguage::CanTranslate() const {
    const std::string file = CurrentFile();
    return !file.empty() && fs::FileExists(file);
}

namespace {
void TranslateComponent(const TClassKinds& kinds, IComponent& component, const TSectionData& list,
                        const TSectionData& constants, bool foundOnly) {
    const TClassKindEntry* entry = kinds.Find(component.ClassName());
    if (!entry)
        return;
    TComponentTranslator t(component, list, constants, foundOnly);
    using K = TClassKind;
    switch (entry->Kind) {
    case K::Edit:
        component.SetText(t.Main(component.Text()));
        t.Hint(true);
        break;
    case K::LabeledEdit:
        t.Caption();
        component.SetText(t.Property("Text", component.Text()));
        t.Hint(true);
        break;
    case K::PageControl:
    case K::Image:
        t.Hint(true);
        break;
    case K::TabControl:
    case K::ListBox:
        t.Hint(true);
        t.Items(false);
        break;
    case K::RadioGroup:
        t.Caption();
        t.Hint(true);
        t.Items(false);
        break;
    case K::ComboBox: {
        component.SetText(t.Main(component.Text()));
        t.Hint(true);
        const int selected = component.ItemIndex();
        t.Items(false);
        component.SetItemIndex(selected);
        break;
    }
    case K::CheckListBox:
    case K::RxCheckListBox:
        t.Hint(true);
        t.Items(true);
        break;
    case K::MenuItem:
        if (component.Caption() == "-")  // a separator stays one
            break;
        t.Caption();
        t.Hint(false);
        break;
    case K::StringGrid:
        t.Hint(true);
        t.FixedCells();
        break;
    case K::TreeView:
        t.Hint(true);
        t.Nodes();
        break;
    default:  // panels, labels, buttons, boxes, static texts, status bars, tab sheets, tool buttons
        t.Caption();
        t.Hint(true);
        break;
    }
}
} // namespace

void ShowBuiltinTexts(IForm& form, const std::string& section) {
    static const TClassKinds kinds;
    const TSectionData& list = BuiltinSection(section);
    const TSectionData& constants = BuiltinSection("Constants");
    if (!form.IsFrame() && list.Find("Caption"))
        form.SetCaption(LookupText(&list, constants, "Caption", {}));
    for (int i = 0; i < form.ComponentCount(); ++i)
        TranslateComponent(kinds, form.Component(i), list, constants, true);
}

void TLanguage::TranslateForm(IForm& form, const TSectionList* list) const {
    if (!list || !CanTranslate())
        return;
    const auto data = list->Snapshot();
    const auto constants = ConstantsFor(*data);
    if (!form.IsFrame())
        form.SetCaption(LookupText(data.get(), *constants, "Caption", form.Caption()));
    for (int i = 0; i < form.ComponentCount(); ++i)
        TranslateComponent(classKinds_, form.Component(i), *data, *constants, false);
}

void TLanguage::LoadAndTranslate(IForm& form, std::unique_ptr<TSectionList>& list) const {
    if (!CanTranslate())
        return;
    LoadSection(form.Name(), list);
    TranslateForm(form, list.get());
}

void TLanguage::TranslateOnce(IForm& form) const {
    std::unique_ptr<TSectionList> list;
    LoadAndTranslate(form, list);
}

} // namespace kw::lang
