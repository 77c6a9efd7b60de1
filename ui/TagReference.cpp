// The tag reference.
#include "ui/TagReference.h"
#include "render/PageText.h"

namespace kw {

namespace {

// Lower case of Latin and Cyrillic letters in UTF-8 (А..Я, Ѐ..Џ, Ґ and the Latin capitals); any
// other byte stays, so the search never fails on text it does not fold.
std::string Fold(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<uint8_t>(text[i]);
        if (b >= 'A' && b <= 'Z') {
            out += static_cast<char>(b + 32);
            continue;
        }
        if ((b == 0xD0 || b == 0xD1) && i + 1 < text.size()) {
            const uint32_t c = ((b & 0x1Fu) << 6) | (static_cast<uint8_t>(text[i + 1]) & 0x3Fu);
            uint32_t lower = c;
            if (c >= 0x410 && c <= 0x42F)
                lower = c + 0x20;
            else if (c >= 0x400 && c <= 0x40F)
                lower = c + 0x50;
            out += static_cast<char>(0xC0 | (lower >> 6));
            out += static_cast<char>(0x80 | (lower & 0x3F));
            ++i;
            continue;
        }
        if (b == 0xD2 && i + 1 < text.size() && static_cast<uint8_t>(text[i + 1]) == 0x90) {  // Ґ
            out += "\xD2\x91";
            ++i;
            continue;
        }
        out += static_cast<char>(b);
    }
    return out;
}

} // namespace

std::vector<TTagReferenceRow> TagReference(const TPageState& page, uint8_t codePage, uint8_t escaping) {
    std::vector<TTagReferenceRow> rows;
    rows.reserve(TagCount);
    for (size_t i = 0; i < TagCount; ++i) {
        const TTagInfo& info = TagTable()[i];
        TTagReferenceRow row;
        row.Name = std::string(info.Name);
        row.Live = info.Live;
        row.List = IsListTag(info.Tag);
        row.Tag = std::string(TagMarker) + row.Name + (row.List ? "0" : "");
        std::string value;
        ExpandLine(row.Tag, codePage, escaping, page, value);
        row.Value = PageTextToUtf8(value, codePage);
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<size_t> SearchTagReference(const std::vector<TTagReferenceRow>& rows, std::string_view query) {
    const std::string wanted = Fold(query);
    std::vector<size_t> found;
    for (size_t i = 0; i < rows.size(); ++i)
        if (Fold(rows[i].Tag).find(wanted) != std::string::npos || Fold(rows[i].Value).find(wanted) != std::string::npos)
            found.push_back(i);
    return found;
}

} // namespace kw
