// The gradient label's palette, bands, caption shortening, sizing and property rules.
#include "widgets/GradientLabel.h"
#include <gtest/gtest.h>

namespace {

using namespace kw;

int Red(TColor c) { return c & 0xFF; }

TGradient Bar() { return TGradient{64, clSilver, clWhite, TGradientStyle::gsTop}; }

TEST(GradientPalette, StartsAtStartAndStopsOneStepShortOfEnd) {
    TGradient g{4, 0x00000000, 0x00FFFFFF, TGradientStyle::gsLeft};  // black to white
    auto p = BuildPalette(g, 0, nullptr);
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(p[0], 0x00FFFFFFu);
    EXPECT_EQ(Red(p[1]), 191);  // trunc(255 - 255/4*1) = trunc(191.25)
    EXPECT_EQ(Red(p[3]), 63);   // one step short of black
    g.Style = TGradientStyle::gsRight;  // reversed: starts at the end colour
    EXPECT_EQ(BuildPalette(g, 0, nullptr)[0], 0u);
    // channels move independently: blue rises while red falls
    TGradient mix{2, 0x00FF0000, 0x000000FF, TGradientStyle::gsTop};
    EXPECT_EQ(BuildPalette(mix, 0, nullptr)[1], 0x0000007Fu | (0x7Fu << 16));
}

TEST(GradientPalette, RoundBitClearsLowBitsAndIsClamped) {
    TGradient g = Bar();
    for (TColor c : BuildPalette(g, 3, nullptr))
        for (int s = 0; s <= 16; s += 8)
            EXPECT_EQ(((c >> s) & 0xFF) % 8, 0u);
    EXPECT_EQ(BuildPalette(g, 12, nullptr), BuildPalette(g, 7, nullptr));
    EXPECT_EQ(BuildPalette(g, -5, nullptr), BuildPalette(g, 0, nullptr));
    TGradientLabelModel m;
    m.SetRoundBit(9);
    EXPECT_EQ(m.RoundBit(), 7);
    m.SetRoundBit(-1);
    EXPECT_EQ(m.RoundBit(), 0);
}

TEST(GradientPalette, SystemColoursAreResolvedFirst) {
    TGradient g{2, 0x00000000, clWindowText, TGradientStyle::gsLeft};
    auto p = BuildPalette(g, 0, [](TColor c) { return c == clWindowText ? 0x00123456u : c; });
    EXPECT_EQ(p[0], 0x00123456u);
}

TEST(GradientPalette, BoundGoesOutAndBack) {
    // end colour black, start colour white; h = 3, so entries 1..5 go out and back
    TGradient g{7, 0x00000000, 0x00FFFFFF, TGradientStyle::dsBound};
    auto p = BuildPalette(g, 0, nullptr);
    ASSERT_EQ(p.size(), 7u);
    EXPECT_EQ(p[0], 0u);  // the end colour at both edges
    EXPECT_EQ(p[6], 0u);
    EXPECT_EQ(p[4], p[0]);
    EXPECT_EQ(p[3], p[1]);
    EXPECT_NE(p[2], p[1]);
    g.ColorSteps = 1;  // no mirror at all: still a filled area
    EXPECT_EQ(BuildPalette(g, 0, nullptr).size(), 1u);
}

TEST(GradientBands, TheButtonBarOnTwentyFourPixels) {
    const auto bands = GradientBands(Bar(), 0, 459, 24, nullptr);
    ASSERT_FALSE(bands.empty());
    EXPECT_EQ(bands.front().Top, 0);
    // 64 steps on 24 pixels: the first band rounds to no pixel, so the top row shows entry 2
    EXPECT_GE(Red(bands.front().Color), 254);
    EXPECT_EQ(bands.back().Bottom, 24);
    int covered = 0, lastBottom = 0;
    for (const auto& b : bands) {
        EXPECT_EQ(b.Top, lastBottom);  // no gap, no overlap
        EXPECT_LE(b.Bottom - b.Top, 1);
        EXPECT_EQ(b.Left, 0);
        EXPECT_EQ(b.Right, 459);
        covered += b.Bottom - b.Top;
        lastBottom = b.Bottom;
    }
    EXPECT_EQ(covered, 24);
    EXPECT_LT(Red(bands.back().Color), 200);  // shaded toward silver
}

TEST(GradientBands, StylesAndEmptyAreas) {
    TGradient g{3, clSilver, 0x000000FF, TGradientStyle::gsNone};
    auto none = GradientBands(g, 0, 10, 10, nullptr);
    ASSERT_EQ(none.size(), 1u);
    EXPECT_EQ(none[0].Color, 0x000000FFu);
    g.Style = TGradientStyle::gsLeft;
    auto left = GradientBands(g, 0, 10, 5, nullptr);
    ASSERT_EQ(left.size(), 3u);
    EXPECT_EQ(left[0].Left, 0);
    EXPECT_EQ(left[0].Right, 3);  // 10*1/3 rounded
    EXPECT_EQ(left[1].Right, 7);  // 20/3 = 6.67 rounds to 7
    EXPECT_EQ(left[2].Right, 10);
    EXPECT_EQ(left[0].Color, 0x000000FFu);
    g.Style = TGradientStyle::gsBottom;  // the start colour's side is at the bottom
    const auto bottom = GradientBands(g, 0, 10, 9, nullptr);
    EXPECT_EQ(bottom.front().Color, clSilver);
    EXPECT_EQ(bottom.back().Color, 0x004040EAu);  // one step short of red
    EXPECT_TRUE(GradientBands(g, 0, 0, 9, nullptr).empty());
    g.ColorSteps = 1000;  // clamped to 255
    EXPECT_EQ(BuildPalette(g, 0, nullptr).size(), 255u);
}

TEST(GradientCaption, ShortensWithDotsThatFit) {
    auto w = [](const std::string& s) { return static_cast<int>(s.size()) * 7; };
    EXPECT_EQ(FitCaption("Now playing", 77, w), "Now playing");
    EXPECT_EQ(FitCaption("Now playing", 70, w), "Now pla...");
    EXPECT_EQ(FitCaption("Now playing", 10, w), "");
    EXPECT_EQ(FitCaption("", 0, w), "");
}

TEST(GradientModel, PropertyRules) {
    TGradientLabelModel m;
    EXPECT_TRUE(m.AutoBounds());
    m.SetAlign(TAlign::alClient);
    EXPECT_FALSE(m.AutoBounds());
    m.SetAutoBounds(true);  // no effect while filling the parent
    EXPECT_FALSE(m.AutoBounds());
    int h = 0;
    EXPECT_FALSE(m.AutoHeight({}, h));

    m.SetAlignment(TTextAlignmt::taRight);
    TSubCaption s;
    s.Caption = "sub";
    s.Ellipsis = true;
    m.SetSubCaption(s);
    EXPECT_EQ(m.Alignment(), TTextAlignmt::taLeft);
    m.SetAlignment(TTextAlignmt::taCenter);
    EXPECT_EQ(m.Alignment(), TTextAlignmt::taLeft);
    EXPECT_TRUE(m.SubCaption().Ellipsis);
    s.Caption.clear();
    m.SetSubCaption(s);
    EXPECT_FALSE(m.SubCaption().Ellipsis);
    m.SetAlignment(TTextAlignmt::taCenter);
    EXPECT_EQ(m.Alignment(), TTextAlignmt::taCenter);

    EXPECT_TRUE(m.SubCaptionFits(100, 0) == false);  // no sub-caption: never drawn
    s.Caption = "x";
    m.SetSubCaption(s);
    EXPECT_TRUE(m.SubCaptionFits(100, 91));
    EXPECT_FALSE(m.SubCaptionFits(100, 92));
}

TEST(GradientModel, GlyphFramesInsetsAndHits) {
    TGradientLabelModel m;
    m.SetGlyphSize(64, 16);
    EXPECT_EQ(m.NumGlyphs(), 4);
    EXPECT_EQ(m.GlyphFrameWidth(), 16);
    EXPECT_EQ(m.CaptionInset(), 2 + 16 + 2);
    EXPECT_TRUE(m.HitsGlyph(10));
    EXPECT_FALSE(m.HitsGlyph(1));
    EXPECT_FALSE(m.HitsGlyph(19));
    m.SetGlyphMode(TGlyphMode::gmOverlayed);
    EXPECT_EQ(m.CaptionInset(), 2);
    m.SetGlyphSize(50, 16);
    EXPECT_EQ(m.NumGlyphs(), 1);
    EXPECT_EQ(m.CaptionRoom(200, 30), 200 - 2 - 30 - 8);
    m.SetGlyphSize(0, 0);
    EXPECT_FALSE(m.HitsGlyph(5));
}

TEST(GradientModel, AutomaticSizeFollowsAlign) {
    TGradientLabelModel m;
    m.SetBoundLines(blTop | blBottom | blLeft);
    const TLabelContent c{40, 13, 20, 11, 16, 16, 12};
    int h = 0, w = 0;
    ASSERT_TRUE(m.AutoHeight(c, h));
    EXPECT_EQ(h, 16 + 2);
    ASSERT_TRUE(m.AutoWidth(c, w));
    EXPECT_EQ(w, 40 + 2 + 16 + 2 + 20 + 8 + 12 + 1);
    m.SetAlign(TAlign::alTop);
    EXPECT_TRUE(m.AutoHeight(c, h));
    EXPECT_FALSE(m.AutoWidth(c, w));
    m.SetAlign(TAlign::alLeft);
    EXPECT_FALSE(m.AutoHeight(c, h));
    EXPECT_TRUE(m.AutoWidth(c, w));
}

} // namespace
