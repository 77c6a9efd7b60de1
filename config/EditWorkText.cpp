// Text rules shared by the work editor and the settings dialog.
#include "config/EditWorkText.h"
#include "platform/Cp1251.h"

namespace kw {

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

} // namespace

std::string TrimText(const std::string& text) {
    size_t first = 0, last = text.size();
    while (first < last && IsBlank(text[first]))
        ++first;
    while (last > first && IsBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

std::string AnsiUpperCase(const std::string& text) {
    return UpperCase1251(text);
}

std::string QuoteFileName(const std::string& name) {
    if (name.find(' ') == std::string::npos)
        return name;
    return '"' + name + '"';
}

std::string UnquoteFileName(const std::string& shown) {
    if (shown.size() >= 2 && shown.front() == '"' && shown.back() == '"')
        return shown.substr(1, shown.size() - 2);
    return shown;
}

} // namespace kw
