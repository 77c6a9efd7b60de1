// PNG files of screen copies, compressed so that the pictures can go into the documentation and
// the package as they are: a window has few colours, so most become palette pictures of a few
// kilobytes. No library: deflate with LZ77 matches and the fixed codes.
#pragma once
#include <cstdint>
#include <vector>

namespace kw::test {

// `rgb` holds width * height pixels of three bytes (red, green, blue), rows from the top.
// Pictures of at most 256 colours are written with a palette (lossless), others as RGB with a
// filter chosen per row.
std::vector<uint8_t> EncodePng(const uint8_t* rgb, int width, int height);

} // namespace kw::test
