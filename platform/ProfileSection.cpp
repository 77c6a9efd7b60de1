// Keys of one profile section, looked up in its lines.
#include "platform/ProfileSection.h"
#include "platform/Profile.h"
#include "platform/ProfileText.h"
#include <string_view>

namespace kw::profile {

namespace {

std::string_view Trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace

TProfileSection::TProfileSection(std::vector<std::string> lines) : lines_(std::move(lines)) {}

TProfileSection TProfileSection::Read(const std::string& file, const std::string& section) {
    return TProfileSection(ReadSectionLines(file, section));
}

std::string TProfileSection::Value(const std::string& key, const std::string& def) const {
    const std::string name = TrimBlanks(key);
    for (const std::string& line : lines_) {
        const size_t eq = line.find('=');
        if (!SameName(Trimmed(std::string_view(line).substr(0, eq)), name))
            continue;
        return eq == std::string::npos ? def : UnquoteValue(std::string(Trimmed(std::string_view(line).substr(eq + 1))));
    }
    return def;
}

} // namespace kw::profile
