// The tables of the message dialog: stock captions, result codes and caption keys.
#include "lang/MessageDialog.h"

namespace kw::lang {

namespace {
struct TButtonInfo {
    const char* Caption;
    int Result;
};
// Indexed by TMsgDlgBtn.
const TButtonInfo kButtons[kButtonCount] = {
    {"&Yes", mrYes},         {"&No", mrNo},       {"OK", mrOk},         {"Cancel", mrCancel},
    {"&Abort", mrAbort},     {"&Retry", mrRetry}, {"&Ignore", mrIgnore}, {"&All", mrAll},
    {"N&o to All", mrNoToAll}, {"Yes to &All", mrYesToAll}, {"&Help", mrNone}};
} // namespace

std::string StockCaption(TMsgDlgBtn button) { return kButtons[button].Caption; }

int ResultCode(TMsgDlgBtn button) { return kButtons[button].Result; }

TMsgDlgType DialogTypeFromCode(uint8_t code) {
    return code <= 4 ? static_cast<TMsgDlgType>(code) : TMsgDlgType::Custom;
}

std::string CaptionKey(TMsgDlgType type) {
    switch (type) {
    case TMsgDlgType::Warning: return "Warning";
    case TMsgDlgType::Error: return "Error";
    case TMsgDlgType::Information: return "Information";
    case TMsgDlgType::Confirmation: return "Confirm";
    default: return "Custom";
    }
}

TMessageDialogModel BuildMessageDialog(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons) {
    TMessageDialogModel model;
    model.Type = DialogTypeFromCode(static_cast<uint8_t>(type));
    model.Text = text;
    for (int bit = 0; bit < kButtonCount; ++bit)
        if (buttons & (1u << bit)) {
            const auto button = static_cast<TMsgDlgBtn>(bit);
            model.ButtonList.push_back({button, StockCaption(button), ResultCode(button)});
        }
    // A dialog must be closable: a set without any button that closes it (empty, or Help alone)
    // gets an OK button.
    bool closable = false;
    for (const TDialogButton& b : model.ButtonList)
        closable = closable || b.Result != mrNone;
    if (!closable) {
        model.ButtonList.insert(model.ButtonList.begin(), {mbOK, StockCaption(mbOK), mrOk});
    }
    return model;
}

void SetDefaultButton(TMessageDialogModel& model, TMsgDlgBtn button) {
    for (size_t i = 0; i < model.ButtonList.size(); ++i)
        if (model.ButtonList[i].Button == button)
            model.DefaultIndex = i;
}

} // namespace kw::lang
