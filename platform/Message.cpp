// Messages as words of the program's language.
#include "platform/Message.h"
#include <memory>
#include <mutex>

namespace kw {

namespace {

std::mutex g_formatLock;
std::shared_ptr<const TMessageFormat> g_format;

std::shared_ptr<const TMessageFormat> CurrentFormat() {
    std::lock_guard<std::mutex> lock(g_formatLock);
    return g_format;
}

std::string Bare(const std::string& key, const std::vector<std::string>& args) {
    std::string text = key;
    for (const std::string& arg : args)
        text += " " + arg;
    return text;
}

std::string TextWith(const TMessage& message, const TMessageFormat* format) {
    if (message.Key.empty())
        return message.Text;
    std::vector<std::string> args;
    args.reserve(message.Args.size());
    for (const TMessage& arg : message.Args)
        args.push_back(TextWith(arg, format));
    std::string text = format && *format ? (*format)(message.Key, args) : std::string();
    return text.empty() ? Bare(message.Key, args) : text;
}

} // namespace

TMessage DurationMessage(int ms) {
    return ms % 1000 == 0 ? TMessage::Of("Seconds", {std::to_string(ms / 1000)})
                          : TMessage::Of("Milliseconds", {std::to_string(ms)});
}

void SetMessageFormat(TMessageFormat format) {
    auto next = format ? std::make_shared<const TMessageFormat>(std::move(format)) : nullptr;
    std::lock_guard<std::mutex> lock(g_formatLock);
    g_format = std::move(next);
}

std::string TextOf(const TMessage& message) {
    const std::shared_ptr<const TMessageFormat> format = CurrentFormat();
    return TextWith(message, format.get());
}

void EditTexts(TMessage& message, const std::function<std::string(std::string)>& edit) {
    if (message.Key.empty())
        message.Text = edit(std::move(message.Text));
    for (TMessage& arg : message.Args)
        EditTexts(arg, edit);
}

} // namespace kw
