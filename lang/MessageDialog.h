// The localised message dialog: its types, buttons and result codes, the model the logic
// builds, and the view that shows it (the Win32 dialog in MessageDialog_win32.h; tests use a
// stand-in).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kw::lang {

enum class TMsgDlgType : uint8_t { Warning = 0, Error = 1, Information = 2, Confirmation = 3, Custom = 4 };

// Buttons as a set of bits; the dialog shows the chosen ones in bit order.
enum TMsgDlgBtn : uint8_t {
    mbYes = 0, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp
};
using TMsgDlgButtons = uint16_t;
constexpr int kButtonCount = 11;
constexpr TMsgDlgButtons Buttons(TMsgDlgBtn b) { return static_cast<TMsgDlgButtons>(1u << b); }
constexpr TMsgDlgButtons mbOKOnly = Buttons(mbOK);                       // 4
constexpr TMsgDlgButtons mbYesNo = Buttons(mbYes) | Buttons(mbNo);        // 3

// Result codes of the pressed button.
enum TModalResult : int {
    mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6, mrNo = 7,
    mrAll = 8, mrNoToAll = 9, mrYesToAll = 10
};

std::string StockCaption(TMsgDlgBtn button);
// The result code of a button; mrNone for Help, which leaves the dialog open.
int ResultCode(TMsgDlgBtn button);
// "Warning", "Error", "Information", "Confirm" or "Custom": the key of the dialog's caption in
// group "Dialog" of the constants. Any code beyond 4 is Custom.
std::string CaptionKey(TMsgDlgType type);
TMsgDlgType DialogTypeFromCode(uint8_t code);

struct TDialogButton {
    TMsgDlgBtn Button;
    std::string Caption;
    int Result;  // mrNone: pressing it does not close the dialog
};

// Everything the view shows: built and localised by the logic, drawn by the view.
struct TMessageDialogModel {
    TMsgDlgType Type = TMsgDlgType::Custom;
    std::string Caption;
    std::string Text;
    std::vector<TDialogButton> ButtonList;  // in bit order
    // The button Enter presses and the focus starts on: an index into ButtonList. A question
    // whose "yes" loses something starts on "no".
    size_t DefaultIndex = 0;
};

// Shows dialogs modally. Implementations must not throw.
class IMessageDialogView {
public:
    virtual ~IMessageDialogView() = default;
    // Shows the dialog until a button with a result is pressed and returns that result.
    virtual int ShowModal(const TMessageDialogModel& model) = 0;
    // The platform's own error box (not localised), for the one message that comes before any
    // language is loaded.
    virtual void ShowStandardError(const std::string& text) = 0;
};

// Builds the standard dialog for a ready text: chosen buttons with their stock captions.
TMessageDialogModel BuildMessageDialog(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons);
// Makes `button` the default one when the dialog shows it (else the first stays the default).
void SetDefaultButton(TMessageDialogModel& model, TMsgDlgBtn button);

} // namespace kw::lang
