// Translation of a window's components by class, with stand-in components.
#include "LangFixture.h"
#include "lang/BuiltinTexts.h"
#include "lang/Language.h"
#include <gtest/gtest.h>

namespace kw::lang {
namespace {
using test::TProgramFolder;
using test::TStandIn;
using test::TStandInForm;

class TranslateTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.WriteLines("Prog.Test.lng",
                       {"[Constants]", "txt=TEXT", "[Form1]", "Caption=Form caption", "Pan=Panel", "Pan.Hint=Panel hint",
                        "Lbl=Label", "Ed=Edited", "Ed.Hint=", "LE=Label of edit", "LE.Text=Edit text", "Bar=Status",
                        "PC.Hint=Pages", "PC=not used", "Tabs.1=Tab one", "Tabs.2=Tab two", "RG=Group", "RG.2=Second",
                        "CB=Combo text", "CB.1=One", "CB.2=Two", "LB.1=L1", "CLB.1=C1", "CLB.2=C2", "RX.1=R1",
                        "Sep=Not a separator", "Sep.Hint=h", "Mi=Menu", "Mi.Hint=Menu hint", "Tb=Tool",
                        "Grid.1.1=Col1", "Grid.2.1=Col2", "Grid.3.1=Col3", "Grid.1.2=Not fixed", "Grid.Hint=Grid hint",
                        "Tree.1=Root", "Tree.3=Leaf", "Img.Hint=Picture", "Img=no caption",
                        "FE=File edit", "Spin=Spin", "SB2=Derived", "Lower=lower class"});
        language = std::make_unique<TLanguage>("Prog.");
        ASSERT_TRUE(language->SelectFromSettings("", "Settings", ""));
    }

    TProgramFolder dir;
    std::unique_ptr<TLanguage> language;
    TStandInForm form{"Form1"};
};

TEST_F(TranslateTest, CaptionsHintsAndTextsByClass) {
    form.caption = "Design";
    auto& pan = form.Add("Pan", "TPanel");
    auto& lbl = form.Add("Lbl", "TLabel");
    lbl.hint = "kept";
    auto& ed = form.Add("Ed", "TEdit");
    ed.hint = "cleared by an empty value";
    auto& le = form.Add("LE", "TLabeledEdit");
    auto& bar = form.Add("Bar", "TStatusBar");
    auto& pc = form.Add("PC", "TPageControl");
    pc.caption = "PC design";
    auto& img = form.Add("Img", "TImage");
    auto& tb = form.Add("Tb", "TToolButton");
    auto& lower = form.Add("Lower", "tpanel");  // class names compare without regard to case
    std::unique_ptr<TSectionList> list;
    language->LoadAndTranslate(form, list);

    EXPECT_EQ(form.caption, "Form caption");
    EXPECT_EQ(pan.caption, "Panel");
    EXPECT_EQ(pan.hint, "Panel hint");
    EXPECT_TRUE(pan.showHint);
    EXPECT_EQ(lbl.caption, "Label");
    EXPECT_EQ(lbl.hint, "kept");
    EXPECT_TRUE(lbl.showHint);
    EXPECT_EQ(ed.text, "Edited");
    EXPECT_EQ(ed.caption, "");
    EXPECT_EQ(ed.hint, "");
    EXPECT_FALSE(ed.showHint);
    EXPECT_EQ(le.caption, "Label of edit");
    EXPECT_EQ(le.text, "Edit text");
    EXPECT_EQ(bar.caption, "Status");
    EXPECT_EQ(pc.caption, "PC design");  // hint only
    EXPECT_EQ(pc.hint, "Pages");
    EXPECT_EQ(img.caption, "");
    EXPECT_EQ(img.hint, "Picture");
    EXPECT_EQ(tb.caption, "Tool");
    EXPECT_EQ(lower.caption, "lower class");
    ASSERT_NE(list, nullptr);  // the list belongs to the caller
}

TEST_F(TranslateTest, ItemsKeepSelectionAndChecks) {
    auto& tabs = form.Add("Tabs", "TTabControl");
    tabs.items = {"t1", "t2", "t3"};
    auto& rg = form.Add("RG", "TRadioGroup");
    rg.items = {"r1", "r2"};
    auto& cb = form.Add("CB", "TComboBox");
    cb.items = {"a", "b", "c"};
    cb.itemIndex = 1;
    auto& lb = form.Add("LB", "TListBox");
    lb.items = {"x"};
    auto& clb = form.Add("CLB", "TCheckListBox");
    clb.items = {"c1", "c2"};
    clb.checks = {true, false};
    auto& rx = form.Add("RX", "TRxCheckListBox");
    rx.items = {"r"};
    rx.checks = {true};
    language->TranslateOnce(form);

    EXPECT_EQ(tabs.items, (std::vector<std::string>{"Tab one", "Tab two", "t3"}));
    EXPECT_EQ(rg.caption, "Group");
    EXPECT_EQ(rg.items, (std::vector<std::string>{"r1", "Second"}));
    EXPECT_EQ(cb.text, "Combo text");
    EXPECT_EQ(cb.items, (std::vector<std::string>{"One", "Two", "c"}));
    EXPECT_EQ(cb.itemIndex, 1);
    EXPECT_EQ(lb.items[0], "L1");
    EXPECT_EQ(clb.items, (std::vector<std::string>{"C1", "C2"}));
    EXPECT_EQ(clb.checks, (std::vector<bool>{true, false}));
    EXPECT_EQ(rx.items[0], "R1");
    EXPECT_TRUE(rx.checks[0]);
}

TEST_F(TranslateTest, GridFixedCellsTreeNodesAndMenuSeparators) {
    auto& grid = form.Add("Grid", "TStringGrid");
    grid.cols = 3;
    grid.rows = 2;
    grid.fixedRows = 1;
    grid.cells[{0, 1}] = "data";
    auto& tree = form.Add("Tree", "TTreeView");
    tree.nodes = {"n1", "n2", "n3"};
    auto& sep = form.Add("Sep", "TMenuItem");
    sep.caption = "-";
    auto& mi = form.Add("Mi", "TMenuItem");
    language->TranslateOnce(form);

    EXPECT_EQ(grid.Cell(0, 0), "Col1");
    EXPECT_EQ(grid.Cell(1, 0), "Col2");
    EXPECT_EQ(grid.Cell(2, 0), "Col3");
    EXPECT_EQ(grid.Cell(0, 1), "data");  // not a fixed cell
    EXPECT_EQ(grid.hint, "Grid hint");
    EXPECT_EQ(tree.nodes, (std::vector<std::string>{"Root", "n2", "Leaf"}));
    EXPECT_EQ(sep.caption, "-");
    EXPECT_EQ(sep.hint, "");
    EXPECT_EQ(mi.caption, "Menu");
    EXPECT_EQ(mi.hint, "Menu hint");
    EXPECT_FALSE(mi.showHint);  // menu items have no show-hint switch
}

TEST_F(TranslateTest, UnknownAndLookAlikeClassesAreLeftAloneAndMissingKeysKeepTheirText) {
    auto& fe = form.Add("FE", "TFilenameEdit");
    fe.text = "orig";
    auto& spin = form.Add("Spin", "TSpinEdit");
    spin.text = "5";
    auto& derived = form.Add("SB2", "TSpeedButtonEx");
    auto& keep = form.Add("NoKeys", "TButton");
    keep.caption = "Name.txt";
    keep.hint = "Line\\nbreak";
    language->TranslateOnce(form);

    EXPECT_EQ(fe.text, "orig");
    EXPECT_EQ(spin.text, "5");
    EXPECT_EQ(derived.caption, "");
    EXPECT_EQ(keep.caption, "NameTEXT");  // the default still passes through expansion
    EXPECT_EQ(keep.hint, "Line\r\nbreak");
}

TEST_F(TranslateTest, FramesKeepTheirCaptionAndANullListTranslatesNothing) {
    TStandInForm frame("Form1", true);
    frame.caption = "frame";
    auto& pan = frame.Add("Pan", "TPanel");
    language->TranslateOnce(frame);
    EXPECT_EQ(frame.caption, "frame");
    EXPECT_EQ(pan.caption, "Panel");

    form.caption = "Design";
    language->TranslateForm(form, nullptr);
    EXPECT_EQ(form.caption, "Design");
}

// The built-in English lies under the language file: a key the file lacks shows in English, a
// text the built-in section lacks too stays as it was, untouched by expansion, and a window
// shown again after a switch keeps nothing of the language it showed before.
TEST_F(TranslateTest, BuiltinEnglishShowsWhereTheFileHasNoKey) {
    dir.WriteLines("Prog.Test.lng", {"[FTagList]", "SBClose=Schliessen", "LVTags.2=Wert"});
    TStandInForm tags("FTagList");
    auto& close = tags.Add("SBClose", "TSpeedButton");
    auto& search = tags.Add("LSearch", "TLabel");
    auto& titles = tags.Add("LVTags", "TListBox");
    titles.items = {"", "", ""};
    auto& none = tags.Add("NoKeys", "TLabel");
    none.caption = "Name.Language";
    ShowBuiltinTexts(tags, tags.Name());
    EXPECT_EQ(none.caption, "Name.Language");
    language->TranslateOnce(tags);
    EXPECT_EQ(tags.caption, "Tags");
    EXPECT_EQ(close.caption, "Schliessen");
    EXPECT_EQ(search.caption, "Search");
    EXPECT_EQ(titles.items, (std::vector<std::string>{"Tag", "Wert", "Live"}));
    EXPECT_EQ(BuiltinText("ftaglist", "SBCopy.Hint"), "Copy the selected tag to the clipboard");
    EXPECT_EQ(BuiltinText("FTagList", "NoKeys"), "");

    dir.WriteLines("Prog.Test.lng", {"[FTagList]", "LSearch=Suche"});
    ShowBuiltinTexts(tags, tags.Name());
    language->TranslateOnce(tags);
    EXPECT_EQ(close.caption, "Close");
    EXPECT_EQ(search.caption, "Suche");
    EXPECT_EQ(titles.items, (std::vector<std::string>{"Tag", "Value", "Live"}));
}

} // namespace
} // namespace kw::lang
