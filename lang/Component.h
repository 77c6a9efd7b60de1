// The component model that translation works on. A window exposes its controls through these
// interfaces (the Win32 windows wrap their controls in them; tests use stand-ins), so that the
// rules of translation live in the portable core.
//
// Translation asks a component only for the properties its class has (see ClassKinds.h); the
// defaults below describe a component without that property.
#pragma once
#include <string>

namespace kw::lang {

class IComponent {
public:
    virtual ~IComponent() = default;

    virtual std::string Name() const = 0;
    // The exact class name (for example "TSpeedButton"); translation matches it exactly, so a
    // control of a derived class must report its own class name, not its base's.
    virtual std::string ClassName() const = 0;

    // The visible caption; for a labeled edit the caption of its label, for a status bar its
    // simple-panel text.
    virtual std::string Caption() const { return {}; }
    virtual void SetCaption(const std::string&) {}
    // The text of an edit field or of a combo box's edit part.
    virtual std::string Text() const { return {}; }
    virtual void SetText(const std::string&) {}
    virtual std::string Hint() const { return {}; }
    virtual void SetHint(const std::string&) {}
    virtual void SetShowHint(bool) {}

    // Items of a list, combo box, radio group or check-list box, and the tabs of a tab control,
    // counted from 0.
    virtual int ItemCount() const { return 0; }
    virtual std::string Item(int) const { return {}; }
    virtual void SetItem(int, const std::string&) {}
    virtual int ItemIndex() const { return -1; }
    virtual void SetItemIndex(int) {}
    virtual bool Checked(int) const { return false; }
    virtual void SetChecked(int, bool) {}

    // A string grid's size and cells, counted from 0.
    virtual int ColCount() const { return 0; }
    virtual int RowCount() const { return 0; }
    virtual int FixedCols() const { return 0; }
    virtual int FixedRows() const { return 0; }
    virtual std::string Cell(int, int) const { return {}; }
    virtual void SetCell(int, int, const std::string&) {}

    // A tree's nodes in the tree's overall order (each node followed by its children), from 0.
    virtual int NodeCount() const { return 0; }
    virtual std::string NodeText(int) const { return {}; }
    virtual void SetNodeText(int, const std::string&) {}
};

// A form (window) or frame with the components it owns, in the form's component order.
class IForm {
public:
    virtual ~IForm() = default;
    virtual std::string Name() const = 0;  // also the name of its language file section
    virtual bool IsFrame() const { return false; }  // a frame has no caption of its own
    virtual std::string Caption() const = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual int ComponentCount() const = 0;
    virtual IComponent& Component(int index) = 0;
};

} // namespace kw::lang
