// Keys of one profile section, looked up in its lines.
#include "platform/ProfileSection.h"
#include "platform/Profile.h"
#include "platform/ProfileText.h"

namespace kw::profile {

TProfileSection::TProfileSection(std::vector<std::string> lines) : lines_(std::move(lines)) {}

TProfileSection TProfileSection::Read(const std::string& file, const std::string& section) {
    return TProfileSection(ReadSectionLines(file, section));
}

std::string TProfileSection::Value(std::string_view key, const std::string& def) const {
    const std::string_view name = TrimmedView(key);
    for (const std::string_view line : lines_) {
        const size_t eq = line.find('=');
        if (!SameName(TrimmedView(line.substr(0, eq)), name))
            continue;
        return eq == std::string_view::npos ? def : UnquoteValue(TrimmedView(line.substr(eq + 1)));
    }
    return def;
}

} // namespace kw::profile
