// The screenshot encoder: what it writes reads back, in ImageMagick, as exactly the pixels it was
// given, and a window's picture comes out as a small palette PNG rather than its raw size.
#include "tests/platform/TempFolder.h"
#include "tests/ui/Png.h"
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using kw::test::EncodePng;

struct TPicture {
    int Width, Height;
    std::vector<uint8_t> Rgb;
    void Set(int x, int y, uint8_t r, uint8_t g, uint8_t b) {
        uint8_t* p = &Rgb[(static_cast<size_t>(y) * Width + x) * 3];
        p[0] = r, p[1] = g, p[2] = b;
    }
};

// A dialog as the screen shows it: a grey face, a title bar shaded in 64 steps, white fields with
// black "letters" scattered over them (a fixed pseudo-random pattern).
TPicture Dialog(int w, int h) {
    TPicture p{w, h, std::vector<uint8_t>(static_cast<size_t>(w) * h * 3, 0xF0)};
    uint32_t seed = 12345;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            seed = seed * 1103515245u + 12345u;
            if (y < 20)
                p.Set(x, y, 0x20, static_cast<uint8_t>(0x60 + x * 64 / w), 0xE0);
            else if (y % 30 > 8 && y % 30 < 24 && x > 120 && x < w - 10)
                (seed >> 16) % 7 == 0 ? p.Set(x, y, 0, 0, 0) : p.Set(x, y, 0xFF, 0xFF, 0xFF);
        }
    return p;
}

// More than 256 colours: a smooth field in two directions with some noise.
TPicture ManyColours(int w, int h) {
    TPicture p{w, h, std::vector<uint8_t>(static_cast<size_t>(w) * h * 3)};
    uint32_t seed = 7;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            seed = seed * 1103515245u + 12345u;
            p.Set(x, y, static_cast<uint8_t>(x), static_cast<uint8_t>(y),
                  static_cast<uint8_t>((seed >> 16) & 3));
        }
    return p;
}

// The PNG's pixels as ImageMagick decodes them (8-bit RGB), or nothing when it cannot.
std::string Decoded(const kwtest::TTempFolder& dir, const std::vector<uint8_t>& png) {
    const std::string in = dir.Write("picture.png", std::string(png.begin(), png.end()));
    const std::string out = dir.Path("picture.rgb");
    const std::string command = std::string(KW_CONVERT) + " '" + in + "' -depth 8 'rgb:" + out + "' 2>&1";
    if (std::system(command.c_str()) != 0)
        return {};
    return dir.Read("picture.rgb");
}

uint8_t ColourType(const std::vector<uint8_t>& png) {
    return png.size() > 25 ? png[25] : 0;
}

TEST(PngEncoder, PicturesReadBackExactly) {
    kwtest::TTempFolder dir;
    const TPicture pictures[] = {Dialog(1, 1), Dialog(7, 3), Dialog(406, 481), ManyColours(300, 70)};
    for (const TPicture& p : pictures) {
        const std::vector<uint8_t> png = EncodePng(p.Rgb.data(), p.Width, p.Height);
        EXPECT_EQ(Decoded(dir, png), std::string(p.Rgb.begin(), p.Rgb.end())) << p.Width << "x" << p.Height;
    }
}

TEST(PngEncoder, WindowPictureIsASmallPalettePng) {
    const TPicture dialog = Dialog(606, 709);
    const std::vector<uint8_t> png = EncodePng(dialog.Rgb.data(), dialog.Width, dialog.Height);
    EXPECT_EQ(ColourType(png), 3); // palette
    EXPECT_LT(png.size() * 10, dialog.Rgb.size()) << png.size() << " bytes";

    const TPicture many = ManyColours(300, 70);
    const std::vector<uint8_t> rgb = EncodePng(many.Rgb.data(), many.Width, many.Height);
    EXPECT_EQ(ColourType(rgb), 2); // RGB: a palette cannot hold it
    EXPECT_LT(rgb.size() * 2, many.Rgb.size()) << rgb.size() << " bytes";
}

} // namespace
