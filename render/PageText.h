// A page's bytes read back as its code page gives them, for showing a page in a window: the
// preview and the tag reference show what a browser or a reader of the file would see.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace kw {

// `bytes` of a page in code page `codePage` (TCodePage; an unknown index is Windows-1251, as
// Recode treats it) as UTF-8. In a UTF-8 page each malformed byte reads as U+FFFD.
std::string PageTextToUtf8(std::string_view bytes, uint8_t codePage);

// The number of characters of UTF-8 text (continuation bytes are not counted).
size_t Utf8Length(std::string_view utf8);

} // namespace kw
