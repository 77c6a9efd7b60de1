// The localised message dialogs: the message text, its formatting, the reports of a missing or
// broken message, and the localisation of the dialog's captions.
#include "lang/Language.h"

namespace kw::lang {

namespace {
// Each row is tried in turn against the button's caption as it stands at that moment, so a
// caption set by one row can be matched by a later one.
struct TButtonCaptionRow {
    const char* Stock;
    const char* Key;
};
const TButtonCaptionRow kButtonCaptionRows[] = {
    {"OK", "OK"},         {"Cancel", "Cancel"}, {"&Yes", "Yes"},     {"&No", "No"},
    {"&Help", "Help"},    {"&Ignore", "Ignore"}, {"&Retry", "Retry"}, {"&All", "All"},
    {"Yes to &All", "YesToAll"}, {"N&o to All", "NoToAll"}};

const char* const kReportStart = "Error in language file ";
} // namespace

int TLanguage::ShowDialog(const std::string& name, TMsgDlgType type, const TSectionList* list,
                          TMsgDlgButtons buttons) const {
    return ShowDialogFmt(name, type, {}, list, buttons);
}

int TLanguage::ShowDialogFmt(const std::string& name, TMsgDlgType type, const TFormatArgs& args,
                             const TSectionList* list, TMsgDlgButtons buttons, int defaultButton) const {
    const auto state = State();
    const auto data = list ? list->Snapshot() : state->Constants;
    std::string text = MessageTextIn(*data, *ConstantsFor(*data), name);
    if (text.empty()) {
        text = kReportStart + state->CurrentFile + "\r--> Dialog." + name + " <---";
        type = TMsgDlgType::Error;
        buttons = mbOKOnly;
    } else {
        std::string failure;
        try {
            text = Format(text, args);
        } catch (const std::exception& e) {
            failure = e.what();
        }
        if (!failure.empty()) {
            text = kReportStart + state->CurrentFile + "\r--> Dialog." + name + "\rError: " + failure +
                   "\rPlease send about this error to author.";
            type = TMsgDlgType::Error;
            buttons = mbOKOnly;
        }
    }
    return ShowTextDialog(text, type, buttons, defaultButton);
}

TMessageDialogModel TLanguage::LocalisedDialog(const std::string& text, TMsgDlgType type,
                                               TMsgDlgButtons buttons) const {
    TMessageDialogModel model = BuildMessageDialog(text, type, buttons);
    model.Caption = ConstGroupText("Dialog", CaptionKey(model.Type), "");
    for (TDialogButton& button : model.ButtonList)
        for (const TButtonCaptionRow& row : kButtonCaptionRows)
            if (button.Caption == row.Stock)
                button.Caption = ConstGroupText("Button", row.Key, "");
    return model;
}

int TLanguage::ShowTextDialog(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons,
                              int defaultButton) const {
    TMessageDialogModel model = LocalisedDialog(text, type, buttons);
    if (defaultButton >= 0 && defaultButton < kButtonCount)
        SetDefaultButton(model, static_cast<TMsgDlgBtn>(defaultButton));
    // Without a view nothing can be shown, and no caller may take that as any button's answer.
    return view_ ? view_->ShowModal(model) : mrNone;
}

} // namespace kw::lang
