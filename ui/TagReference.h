// The tag reference: every tag of the table with the value it gives now, as the preview would
// insert it (the editor's code page and escaping), and a search over them.
#pragma once
#include "render/TemplateEngine.h"
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kw {

struct TTagReferenceRow {
    std::string Tag;    // the text to put into a template: "!KW!SongArtist", "!KW!PlayedArtist0"
    std::string Name;   // the tag's name as the table spells it
    bool Live = false;  // empty while the host has sent no data
    bool List = false;  // takes an entry digit (the row shows entry 0)
    std::string Value;  // what the tag inserts now, as the code page gives it, UTF-8
};

// All tags in table order.
std::vector<TTagReferenceRow> TagReference(const TPageState& page, uint8_t codePage, uint8_t escaping);

// The positions of the rows whose tag or value holds `query` (UTF-8), without regard to the
// case of Latin and Cyrillic letters; every row for an empty query.
std::vector<size_t> SearchTagReference(const std::vector<TTagReferenceRow>& rows, std::string_view query);

} // namespace kw
