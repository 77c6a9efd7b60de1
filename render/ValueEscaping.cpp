// One table per mode maps each byte to its replacement (empty: the byte stays), so a value is
// copied in runs and only the bytes that need it are looked at twice.
#include "render/ValueEscaping.h"
#include <algorithm>
#include <array>

namespace kw {

namespace {

using TTable = std::array<std::string_view, 256>;

constexpr std::string_view Replacement = "&#xFFFD;";

// "%XX", "\u00XX" and "&#NN;" texts for every byte, built once.
struct TCodes {
    char Percent[256][4];
    char Unicode[256][7];
    TCodes() {
        const char* hex = "0123456789ABCDEF";
        for (int b = 0; b < 256; ++b) {
            Percent[b][0] = '%';
            Percent[b][1] = hex[b >> 4];
            Percent[b][2] = hex[b & 15];
            Percent[b][3] = 0;
            const char u[] = {'\\', 'u', '0', '0', hex[b >> 4], hex[b & 15], 0};
            for (int i = 0; i < 7; ++i)
                Unicode[b][i] = u[i];
        }
    }
};

const TCodes& Codes() {
    static const TCodes codes;
    return codes;
}

TTable HtmlTable() {
    TTable t{};
    t['&'] = "&amp;";
    t['<'] = "&lt;";
    t['>'] = "&gt;";
    t['"'] = "&quot;";
    t['\''] = "&#39;";
    for (int b = 0; b < 0x20; ++b)
        t[b] = Replacement;
    t['\t'] = {};
    t['\n'] = {};
    t['\r'] = "&#13;";
    return t;
}

TTable XmlTable() {
    TTable t{};
    for (int b = 0; b < 0x20; ++b)
        t[b] = Replacement;
    t['\t'] = "&#9;";
    t['\n'] = "&#10;";
    t['\r'] = "&#13;";
    t['&'] = "&amp;";
    t['<'] = "&lt;";
    t['>'] = "&gt;";
    t['"'] = "&quot;";
    t['\''] = "&apos;";
    return t;
}

TTable JsonTable() {
    TTable t{};
    for (int b = 0; b < 0x20; ++b)
        t[b] = Codes().Unicode[b];
    t[0x7F] = Codes().Unicode[0x7F];
    for (unsigned char c : {'<', '>', '&', '\''})
        t[c] = Codes().Unicode[c];
    t['"'] = "\\\"";
    t['\\'] = "\\\\";
    return t;
}

bool Unreserved(int b) {
    return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '-' || b == '.' ||
           b == '_' || b == '~';
}

TTable UrlTable() {
    TTable t{};
    for (int b = 0; b < 256; ++b)
        if (!Unreserved(b))
            t[b] = std::string_view(Codes().Percent[b], 3);
    return t;
}

TTable TopicTable() {
    TTable t{};
    for (int b = 0; b < 0x20; ++b)
        t[b] = "_";
    t[0x7F] = "_";
    for (unsigned char c : {'+', '#', '/'})
        t[c] = "_";
    return t;
}

const TTable* TableOf(uint8_t mode) {
    static const TTable html = HtmlTable(), xml = XmlTable(), json = JsonTable(), url = UrlTable(),
                        topic = TopicTable();
    switch (mode) {
    case escTopic: return &topic;
    case escHTML: return &html;
    case escXML: return &xml;
    case escJSON: return &json;
    case escURL: return &url;
    default: return nullptr;
    }
}

} // namespace

void EscapeAppend(std::string& out, std::string_view text, uint8_t mode) {
    if (mode & escLineSafe) {
        mode &= static_cast<uint8_t>(~escLineSafe);
        const auto control = [](char c) { return static_cast<unsigned char>(c) < 0x20; };
        if (std::any_of(text.begin(), text.end(), control)) {
            std::string spaced(text);
            std::replace_if(spaced.begin(), spaced.end(), control, ' ');
            EscapeAppend(out, spaced, mode);
            return;
        }
    }
    const TTable* table = TableOf(mode);
    if (!table) {
        out.append(text);
        return;
    }
    size_t run = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const std::string_view r = (*table)[static_cast<unsigned char>(text[i])];
        if (r.empty())
            continue;
        out.append(text.data() + run, i - run);
        out.append(r);
        run = i + 1;
    }
    out.append(text.data() + run, text.size() - run);
}

std::string Escape(std::string_view text, uint8_t mode) {
    std::string out;
    out.reserve(text.size());
    EscapeAppend(out, text, mode);
    return out;
}

} // namespace kw
