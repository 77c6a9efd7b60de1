// Escape decoding, reference expansion and the integer reading of language values.
#include "lang/TextExpansion.h"
#include <climits>
#include <cstdint>

namespace kw::lang {

namespace {
// The eight escapes. No replacement contains a backslash and every escape starts with one, so
// one pass from the left gives the same text as replacing each escape everywhere in turn.
const char* EscapeText(char letter) {
    switch (letter) {
    case '0': return "\0";
    case 'a': return "\a";
    case 'b': return "\b";
    case 't': return "\t";
    case 'n': return "\r\n";
    case 'v': return "\v";
    case 'f': return "\f";
    case 'r': return "\n\r";
    default: return nullptr;
    }
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
} // namespace

std::string DecodeEscapes(const std::string& text) {
    if (text.find('\\') == std::string::npos)
        return text;
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char* replacement = (text[i] == '\\' && i + 1 < text.size()) ? EscapeText(text[i + 1]) : nullptr;
        if (!replacement) {
            out += text[i];
        } else {
            // "\0" must give a real NUL, which a C string cannot carry.
            out.append(replacement, text[i + 1] == '0' ? 1 : std::char_traits<char>::length(replacement));
            ++i;
        }
    }
    return out;
}

bool IsReferenceChar(char c) {
    return c == '-' || c == '.' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

int ReadIntegerPrefix(const std::string& text, size_t* stop) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    const bool hex = i < text.size() && (text[i] == '$' || (text[i] == '0' && i + 1 < text.size() &&
                                                            (text[i + 1] == 'x' || text[i + 1] == 'X')));
    int64_t value = 0;
    if (hex) {
        i += text[i] == '$' ? 1 : 2;
        uint32_t bits = 0;
        for (; i < text.size() && HexDigit(text[i]) >= 0; ++i)
            bits = (bits << 4) | static_cast<uint32_t>(HexDigit(text[i]));
        value = static_cast<int32_t>(bits);
    } else {
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            value = value * 10 + (text[i] - '0');
            if (value > static_cast<int64_t>(INT_MAX) + 1)
                value = static_cast<int64_t>(INT_MAX) + 1;
        }
    }
    if (stop)
        *stop = i;
    if (negative)
        value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

std::string TReferenceExpander::FinishAt(const std::string* found, const std::string& def, int depth) {
    std::string text = DecodeEscapes(found ? *found : def);
    if (!text.empty())
        text = ExpandAt(text, depth);
    return text;
}

std::string TReferenceExpander::ExpandAt(const std::string& text, int depth) {
    if (text.find('.') == std::string::npos)
        return text;
    std::string out;
    out.reserve(text.size());
    std::string name;
    bool collecting = false;
    for (char c : text) {
        if (collecting) {
            if (IsReferenceChar(c)) {
                name += c;
                continue;
            }
            EndReference(out, name, depth);
            collecting = false;
        }
        if (c == '.') {
            collecting = true;
            name.clear();
        } else {
            out += c;
        }
    }
    if (collecting)
        EndReference(out, name, depth);
    return out;
}

void TReferenceExpander::EndReference(std::string& out, const std::string& name, int depth) {
    if (name.empty()) {
        out += '.';
        return;
    }
    const std::string& value = Resolve(name, depth + 1);
    if (!value.empty() && out.size() + value.size() <= kMaxExpandedLength) {
        out += value;
    } else {
        out += '.';
        out += name;
    }
}

const std::string& TReferenceExpander::Resolve(const std::string& name, int depth) {
    static const std::string unresolved;
    if (depth > kMaxReferenceDepth)
        return unresolved;
    std::pair<std::string, int> key(UpperAscii(name), depth);
    auto it = resolved_.find(key);
    if (it != resolved_.end())
        return it->second;
    // ConstText (name, ""): the constant's value goes through the same steps in turn.
    std::string value = FinishAt(constants_.Find(key.first), std::string(), depth);
    return resolved_.emplace(std::move(key), std::move(value)).first->second;
}

std::string LookupText(const TSectionData* list, const TSectionData& constants, const std::string& key,
                       const std::string& def) {
    if (!list || list->Empty() || key.empty())
        return def;
    return TReferenceExpander(constants).Finish(list->Find(key), def);
}

} // namespace kw::lang
