// A text for the station as a language key and its arguments, so a failure reads in the
// program's language wherever it is shown. An argument is an outside text shown as it stands
// (a server's reply, a file name, the system's message) or another message (a failure's cause,
// a duration).
#pragma once
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kw {

struct TMessage {
    TMessage() = default;
    // An outside text, shown as it stands.
    TMessage(std::string text) : Text(std::move(text)) {}
    TMessage(const char* text) : Text(text ? text : "") {}
    // The message of language key `key` (a message name of the main section) with its arguments.
    static TMessage Of(std::string key, std::vector<TMessage> args = {}) {
        TMessage m;
        m.Key = std::move(key);
        m.Args = std::move(args);
        return m;
    }

    bool Empty() const noexcept { return Key.empty() && Text.empty(); }

    std::string Key;  // empty: Text is the whole message
    std::string Text;
    std::vector<TMessage> Args;
};

// A duration in the words of the language ("10 s", "500 ms").
TMessage DurationMessage(int ms);

// Turns a key and its arguments, already words, into the text in the program's language.
using TMessageFormat = std::function<std::string(const std::string& key, const std::vector<std::string>& args)>;

// The program's words: installed once the language is chosen, taken away before it goes.
// Any thread may read messages meanwhile.
void SetMessageFormat(TMessageFormat format);

// The text of `message`: its arguments first, then its key through the installed format. Without
// a format, or where it gives nothing, the key and its arguments as they stand, so nothing is lost.
std::string TextOf(const TMessage& message);

// Applies `edit` to every outside text of the message (masking what must not be shown).
void EditTexts(TMessage& message, const std::function<std::string(std::string)>& edit);

} // namespace kw
