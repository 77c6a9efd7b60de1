// Every key the program asks the language files for, in one place: the shipped files are
// checked against this list, so a missing text is found before a station sees an empty caption.
#pragma once
#include <string>
#include <vector>

namespace kw::lang {

struct TRequiredKey {
    std::string Section;
    std::string Key;
};

// The windows' component keys, their captions and messages, and the "Constants" keys.
const std::vector<TRequiredKey>& RequiredKeys();

// The messages shown through the message dialog, with the number of string arguments the
// program passes: their texts must format with exactly those arguments.
struct TDialogMessage {
    std::string Section;
    std::string Name;
    int StringArgs;
};
const std::vector<TDialogMessage>& DialogMessages();

// The log lines the language files word (section "Main"), with the number of string arguments
// the program passes: their texts must format with exactly those arguments.
struct TLogMessage {
    std::string Name;
    int StringArgs;
};
const std::vector<TLogMessage>& LogMessages();

// The preview's problem lines (section "FPreview"): formatted with the line and the column
// (integers) and the marker as written (a string), in this order.
struct TPreviewMessage {
    std::string Name;
};
const std::vector<TPreviewMessage>& PreviewMessages();

} // namespace kw::lang
