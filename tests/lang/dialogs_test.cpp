// The logic of the localised message dialogs, shown through a recording stand-in view.
#include "LangFixture.h"
#include "lang/Language.h"
#include <gtest/gtest.h>

namespace kw::lang {
namespace {
using test::TProgramFolder;

class TRecordingView : public IMessageDialogView {
public:
    int ShowModal(const TMessageDialogModel& model) override {
        shown.push_back(model);
        for (const TDialogButton& b : model.ButtonList)
            if (b.Button == press)
                return b.Result;
        return mrNone;
    }
    void ShowStandardError(const std::string&) override {}
    const TMessageDialogModel& Last() const { return shown.back(); }

    TMsgDlgBtn press = mbOK;
    std::vector<TMessageDialogModel> shown;
};

std::vector<std::string> Captions(const TMessageDialogModel& m) {
    std::vector<std::string> out;
    for (const TDialogButton& b : m.ButtonList)
        out.push_back(b.Caption);
    return out;
}

class DialogsTest : public ::testing::Test {
protected:
    void Load(const std::vector<std::string>& constants, const std::vector<std::string>& editor) {
        std::vector<std::string> lines = {"[Constants]"};
        lines.insert(lines.end(), constants.begin(), constants.end());
        lines.push_back("[FEditWork]");
        lines.insert(lines.end(), editor.begin(), editor.end());
        dir.WriteLines("Prog.Test.lng", lines);
        language = std::make_unique<TLanguage>("Prog.");
        language->SetDialogView(&view);
        ASSERT_TRUE(language->SelectFromSettings("", "Settings", ""));
        language->LoadSection("FEditWork", list);
    }

    TProgramFolder dir;
    TRecordingView view;
    std::unique_ptr<TLanguage> language;
    std::unique_ptr<TSectionList> list;
};

const std::vector<std::string> kFullConstants = {
    "Dialog.Error=Error!", "Dialog.Confirm=Sure?", "Dialog.Custom=Own", "Button.OK=Okay", "Button.Yes=&Ja",
    "Button.No=&Nein", "Button.Cancel=Abbrechen", "Button.Help=Hilfe"};

TEST_F(DialogsTest, MissingMessageIsReportedAsAnErrorWithOK) {
    Load(kFullConstants, {"dialog.setshape="});
    view.press = mbYes;  // even a confirmation cannot be answered Yes
    EXPECT_EQ(language->ShowDialog("Exit", TMsgDlgType::Confirmation, list.get(), mbYesNo), mrNone);
    view.press = mbOK;
    EXPECT_EQ(language->ShowDialog("SetShape", TMsgDlgType::Confirmation, list.get(), mbYesNo), mrOk);
    const TMessageDialogModel& m = view.Last();
    EXPECT_EQ(m.Text, "Error in language file " + dir.Path("Prog.Test.lng") + "\r--> Dialog.SetShape <---");
    EXPECT_EQ(m.Type, TMsgDlgType::Error);
    EXPECT_EQ(m.Caption, "Error!");
    EXPECT_EQ(Captions(m), (std::vector<std::string>{"Okay"}));
}

TEST_F(DialogsTest, FormattingOfMessages) {
    Load(kFullConstants, {"Dialog.OtherOut=Output is used by %s", "Dialog.Pct=100%%", "Dialog.SetFileIn=Need %s"});
    EXPECT_EQ(language->ShowDialogFmt("OtherOut", TMsgDlgType::Error, {"News"}, list.get(), mbOKOnly), mrOk);
    EXPECT_EQ(view.Last().Text, "Output is used by News");
    language->ShowDialogFmt("OtherOut", TMsgDlgType::Error, {"A %s B"}, list.get(), mbOKOnly);
    EXPECT_EQ(view.Last().Text, "Output is used by A %s B");
    language->ShowDialog("Pct", TMsgDlgType::Information, list.get(), mbOKOnly);
    EXPECT_EQ(view.Last().Text, "100%");

    language->ShowDialog("SetFileIn", TMsgDlgType::Warning, list.get(), mbYesNo);
    const TMessageDialogModel& m = view.Last();
    EXPECT_EQ(m.Text, "Error in language file " + dir.Path("Prog.Test.lng") +
                          "\r--> Dialog.SetFileIn\rError: No argument for format '%s'\r"
                          "Please send about this error to author.");
    EXPECT_EQ(m.Type, TMsgDlgType::Error);
    EXPECT_EQ(Captions(m), (std::vector<std::string>{"Okay"}));
}

TEST_F(DialogsTest, ANullListTakesTheMessageFromTheConstants) {
    Load({"Dialog.Hello=Hi from constants"}, {});
    language->ShowDialog("Hello", TMsgDlgType::Information, nullptr, mbOKOnly);
    EXPECT_EQ(view.Last().Text, "Hi from constants");
}

TEST_F(DialogsTest, CaptionsAndButtonsAreLocalisedInBitOrder) {
    Load(kFullConstants, {"Dialog.Exit=Quit?"});
    view.press = mbNo;
    EXPECT_EQ(language->ShowDialog("Exit", TMsgDlgType::Confirmation, list.get(), mbYesNo), mrNo);
    EXPECT_EQ(view.Last().Caption, "Sure?");
    EXPECT_EQ(Captions(view.Last()), (std::vector<std::string>{"&Ja", "&Nein"}));
    EXPECT_EQ(view.Last().DefaultIndex, 0u);  // the first button, unless the caller says
    language->ShowDialogFmt("Exit", TMsgDlgType::Confirmation, {}, list.get(), mbYesNo, mbNo);
    EXPECT_EQ(view.Last().DefaultIndex, 1u);  // a question whose "yes" loses something starts on "no"
    language->ShowDialogFmt("Exit", TMsgDlgType::Confirmation, {}, list.get(), mbYesNo, mbCancel);
    EXPECT_EQ(view.Last().DefaultIndex, 0u);  // a button the dialog does not show changes nothing

    const TMessageDialogModel all = language->LocalisedDialog("t", static_cast<TMsgDlgType>(9), 0x7FF);
    EXPECT_EQ(all.Caption, "Own");  // any unknown type is Custom
    EXPECT_EQ(Captions(all), (std::vector<std::string>{"&Ja", "&Nein", "Okay", "Abbrechen", "&Abort", "", "", "", "",
                                                       "", "Hilfe"}));
    std::vector<int> results;
    for (const TDialogButton& b : all.ButtonList)
        results.push_back(b.Result);
    EXPECT_EQ(results, (std::vector<int>{6, 7, 1, 2, 3, 4, 5, 8, 9, 10, 0}));
}

TEST_F(DialogsTest, MissingKeysGiveEmptyCaptionsAndEachRowReadsTheCaptionAnew) {
    Load({"Button.OK=Cancel", "Button.Cancel=Really cancel"}, {"Dialog.Exit=Quit?"});
    language->ShowDialog("Exit", TMsgDlgType::Confirmation, list.get(), mbYesNo);
    EXPECT_EQ(view.Last().Caption, "");
    EXPECT_EQ(Captions(view.Last()), (std::vector<std::string>{"", ""}));
    const TMessageDialogModel ok = language->LocalisedDialog("t", TMsgDlgType::Information, mbOKOnly);
    EXPECT_EQ(Captions(ok), (std::vector<std::string>{"Really cancel"}));
    EXPECT_EQ(ok.ButtonList[0].Result, mrOk);
}

TEST_F(DialogsTest, ADialogAlwaysHasAButtonThatClosesIt) {
    Load(kFullConstants, {});
    EXPECT_EQ(Captions(language->LocalisedDialog("t", TMsgDlgType::Warning, 0)), (std::vector<std::string>{"Okay"}));
    EXPECT_EQ(Captions(language->LocalisedDialog("t", TMsgDlgType::Warning, Buttons(mbHelp))),
              (std::vector<std::string>{"Okay", "Hilfe"}));
}

TEST(DialogsWithoutView, NothingShownIsNoAnswer) {
    TProgramFolder dir;
    dir.WriteLines("Prog.Test.lng", {"[Constants]", "Dialog.Q=Question"});
    TLanguage language("Prog.");
    ASSERT_TRUE(language.SelectFromSettings("", "Settings", ""));
    EXPECT_EQ(language.ShowDialog("Q", TMsgDlgType::Confirmation, nullptr, mbYesNo), mrNone);
}

} // namespace
} // namespace kw::lang
