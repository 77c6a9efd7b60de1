// Profile-file text: parsing into lines, lookups with the profile functions' rules, and
// edits that touch only the lines concerned.
#include "platform/ProfileText.h"

namespace kw::profile {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

// Only ASCII letters fold: the system's profile functions (as our Windows runs them) match
// Cyrillic names byte for byte.
unsigned char FoldCase(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}

// Start and length of `text[from, to)` without surrounding blanks.
void TrimRange(std::string_view text, size_t from, size_t to, size_t& at, size_t& len) {
    while (from < to && IsBlank(text[from]))
        ++from;
    while (to > from && IsBlank(text[to - 1]))
        --to;
    at = from;
    len = to - from;
}

} // namespace

std::string UnquoteValue(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

std::string_view TrimmedView(std::string_view text) {
    size_t at = 0, len = 0;
    TrimRange(text, 0, text.size(), at, len);
    return text.substr(at, len);
}

std::string TrimBlanks(const std::string& text) { return std::string(TrimmedView(text)); }

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldCase(static_cast<unsigned char>(a[i])) != FoldCase(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool IsWritable(const std::string& section, const std::string& key, const std::string& value) {
    const auto breaksLine = [](const std::string& s) {
        return s.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
    };
    if (breaksLine(section) || breaksLine(key) || breaksLine(value))
        return false;
    const std::string k = TrimBlanks(key);
    return !k.empty() && k.find('=') == std::string::npos && section.find(']') == std::string::npos;
}

TProfileText::TLine TProfileText::Classify(std::string raw, std::string ending) {
    TLine line;
    line.raw = std::move(raw);
    line.ending = std::move(ending);
    const size_t nul = line.raw.find('\0');
    const size_t end = nul == std::string::npos ? line.raw.size() : nul;
    size_t at = 0, len = 0;
    TrimRange(line.raw, 0, end, at, len);
    if (len == 0)
        return line;
    const size_t close = line.raw.find(']', at);
    if (line.raw[at] == '[' && close < at + len) {
        line.header = true;
        TrimRange(line.raw, at + 1, close, line.nameAt, line.nameLen);
        return line;
    }
    line.entry = true;
    const size_t eq = line.raw.find('=', at);
    if (eq < at + len) {
        line.hasValue = true;
        TrimRange(line.raw, at, eq, line.nameAt, line.nameLen);
        TrimRange(line.raw, eq + 1, at + len, line.valueAt, line.valueLen);
    } else {
        line.nameAt = at;
        line.nameLen = len;
    }
    return line;
}

TProfileText::TProfileText(const std::string& bytes) {
    size_t pos = 0;
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        byteOrderMark_ = true;
        pos = 3;
    }
    while (pos < bytes.size()) {
        const size_t brk = bytes.find_first_of("\r\n", pos);
        if (brk == std::string::npos) {
            lines_.push_back(Classify(bytes.substr(pos), ""));
            break;
        }
        const size_t endLen =
            (bytes[brk] == '\r' && brk + 1 < bytes.size() && bytes[brk + 1] == '\n') ? 2 : 1;
        lines_.push_back(Classify(bytes.substr(pos, brk - pos), bytes.substr(brk, endLen)));
        pos = brk + endLen;
    }
}

bool TProfileText::FindSection(const std::string& section, TSpan& span) const {
    // The lines before the first header are a section without a name when they hold an entry;
    // it comes before any "[]". Found by one walk over the lines, without copying a name.
    const std::string name = TrimBlanks(section);
    size_t i = 0;
    bool leadingEntries = false;
    for (; i < lines_.size() && !lines_[i].header; ++i)
        leadingEntries = leadingEntries || lines_[i].entry;
    if (leadingEntries && name.empty()) {
        span = {0, i};
        return true;
    }
    for (; i < lines_.size(); ++i) {
        if (!lines_[i].header || !SameName(lines_[i].NameView(), name))
            continue;
        size_t end = i + 1;
        while (end < lines_.size() && !lines_[end].header)
            ++end;
        span = {i, end};
        return true;
    }
    return false;
}

bool TProfileText::FindKey(const TSpan& span, const std::string& key, size_t& index) const {
    const std::string name = TrimBlanks(key);
    for (size_t i = span.first; i < span.end; ++i)
        if (lines_[i].entry && SameName(lines_[i].NameView(), name)) {
            index = i;
            return true;
        }
    return false;
}

std::vector<std::string> TProfileText::SectionNames() const {
    std::vector<std::string> names;
    for (const TLine& line : lines_)
        if (line.header && line.nameLen > 0)
            names.push_back(line.Name());
    return names;
}

std::vector<std::string> TProfileText::SectionLines(const std::string& section) const {
    std::vector<std::string> result;
    TSpan span{};
    if (!FindSection(section, span))
        return result;
    for (size_t i = span.first; i < span.end; ++i) {
        const TLine& line = lines_[i];
        if (!line.entry || (line.nameLen > 0 && line.raw[line.nameAt] == ';'))
            continue;
        result.push_back(line.hasValue ? line.Name() + "=" + line.Value() : line.Name());
    }
    return result;
}

bool TProfileText::Find(const std::string& section, const std::string& key, std::string& value) const {
    TSpan span{};
    size_t index = 0;
    if (!FindSection(section, span) || !FindKey(span, key, index) || !lines_[index].hasValue)
        return false;
    value = UnquoteValue(lines_[index].Value());
    return true;
}

void TProfileText::EnsureEndsWithNewLine() {
    if (!lines_.empty() && lines_.back().ending.empty())
        lines_.back().ending = "\r\n";
}

bool TProfileText::SetValue(const std::string& section, const std::string& key, const std::string& value) {
    const std::string name = TrimBlanks(key);
    TSpan span{};
    if (!FindSection(section, span)) {
        const std::string header = TrimBlanks(section);
        if (header.empty()) { // the nameless section lives before the first header
            lines_.insert(lines_.begin(), Classify(name + "=" + value, "\r\n"));
            return true;
        }
        EnsureEndsWithNewLine();
        lines_.push_back(Classify("[" + header + "]", "\r\n"));
        lines_.push_back(Classify(name + "=" + value, "\r\n"));
        return true;
    }
    size_t index = 0;
    if (FindKey(span, key, index)) {
        const TLine& old = lines_[index];
        const std::string updated = old.Name() + "=" + value; // the key keeps its spelling
        if (updated == old.raw)
            return false;
        lines_[index] = Classify(updated, old.ending);
        return true;
    }
    // Behind the section's last entry, so that blank lines before the next section stay there.
    size_t at = lines_[span.first].header ? span.first + 1 : span.first;
    for (size_t i = span.first; i < span.end; ++i)
        if (lines_[i].entry)
            at = i + 1;
    if (lines_[at - 1].ending.empty())
        lines_[at - 1].ending = "\r\n";
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), Classify(name + "=" + value, "\r\n"));
    return true;
}

bool TProfileText::DeleteKey(const std::string& section, const std::string& key) {
    TSpan span{};
    size_t index = 0;
    if (!FindSection(section, span) || !FindKey(span, key, index))
        return false;
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
}

bool TProfileText::EraseSection(const std::string& section) {
    TSpan span{};
    if (!FindSection(section, span))
        return false;
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(span.first),
                 lines_.begin() + static_cast<std::ptrdiff_t>(span.end));
    return true;
}

std::string TProfileText::Bytes() const {
    std::string out = byteOrderMark_ ? "\xEF\xBB\xBF" : "";
    for (const TLine& line : lines_)
        out += line.raw + line.ending;
    return out;
}

} // namespace kw::profile
