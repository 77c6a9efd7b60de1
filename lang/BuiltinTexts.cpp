// The built-in English texts, parsed once from the English language file compiled in.
#include "lang/BuiltinTexts.h"
#include "lang/TextExpansion.h"
#include <map>

namespace kw::lang {

namespace {

// The UTF-8 source of the shipped English file (pure ASCII), as the build copied it in.
const char* const EnglishFile =
#include "lang/BuiltinEnglish.inc"
    ;

using TSections = std::map<std::string, std::shared_ptr<const TSectionData>>;

// Lines of each "[Section]", keyed by the upper-cased name; lines before the first are dropped.
TSections ParseSections(const std::string& text) {
    std::map<std::string, std::vector<std::string>> lines;
    std::vector<std::string>* current = nullptr;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() > 2 && line.front() == '[' && line.back() == ']')
            current = &lines[UpperAscii(line.substr(1, line.size() - 2))];
        else if (current)
            current->push_back(line);
    }
    TSections sections;
    for (const auto& [name, body] : lines)
        sections[name] = TSectionData::FromLines(body);
    return sections;
}

const TSections& Sections() {
    static const TSections sections = ParseSections(EnglishFile);
    return sections;
}

} // namespace

const TSectionData& BuiltinSection(const std::string& section) {
    const auto found = Sections().find(UpperAscii(section));
    return found == Sections().end() ? *EmptySection() : *found->second;
}

std::vector<std::string> BuiltinSectionNames() {
    std::vector<std::string> names;
    for (const auto& section : Sections())
        names.push_back(section.first);
    return names;
}

std::string BuiltinText(const std::string& section, const std::string& key) {
    const std::string* value = BuiltinSection(section).Find(key);
    return value ? DecodeEscapes(*value) : std::string();
}

} // namespace kw::lang
