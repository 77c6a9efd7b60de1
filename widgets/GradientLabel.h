// The gradient caption label behind every button bar: its properties with their rules, the
// gradient palette and bands, the caption's shortening, the automatic size and the mouse hit
// test. Painting and the window live in GradientLabel_win32.{h,cpp}.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kw {

using TColor = uint32_t;  // 0x00BBGGRR; 0x80000000 | index names a system colour
constexpr TColor clWhite = 0x00FFFFFF;
constexpr TColor clSilver = 0x00C0C0C0;
constexpr TColor clGray = 0x00808080;
constexpr TColor clWindowText = 0x80000008;  // COLOR_WINDOWTEXT
// Turns a system colour into its RGB value; plain colours pass through.
using TColorResolver = std::function<TColor(TColor)>;

enum class TTextAlignmt { taCenter, taLeft, taRight };
enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };
enum class TGlyphMode { gmNormal, gmOverlayed };
enum class TGradientStyle { gsNone, gsBottom, gsLeft, gsRight, gsTop, dsBound };
enum TBoundLine : uint8_t { blLeft = 1, blTop = 2, blRight = 4, blBottom = 8 };
using TBoundLines = uint8_t;
enum TFontStyle : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

struct TGradient {
    int ColorSteps = 64;  // 1..255
    TColor EndColor = clSilver;
    TColor StartColor = clGray;
    TGradientStyle Style = TGradientStyle::gsLeft;
};

struct TSubCaption {
    std::string Caption;
    TColor Color = clWindowText;
    bool Ellipsis = false;
    uint8_t Size = 8;
    uint8_t Margin = 8;
    uint8_t Style = 0;  // TFontStyle bits
};

// Palette entries 1..n (index 0 here is entry 1) for a gradient; at most 255 entries.
std::vector<TColor> BuildPalette(const TGradient& g, int roundBit, const TColorResolver& resolve);

struct TBand {
    int Left, Top, Right, Bottom;
    TColor Color;
};
// The filled rectangles of a gradient over a width x height area.
std::vector<TBand> GradientBands(const TGradient& g, int roundBit, int width, int height,
                                 const TColorResolver& resolve);

// The caption as drawn in `room` pixels: shortened and ended with "..." when it does not fit.
using TTextWidth = std::function<int(const std::string&)>;
std::string FitCaption(const std::string& caption, int room, const TTextWidth& width);

// Sizes of what the label shows, for automatic sizing.
struct TLabelContent {
    int CaptionWidth = 0, CaptionHeight = 0;
    int SubWidth = 0, SubHeight = 0;
    int GlyphWidth = 0, GlyphHeight = 0;  // one frame
    int EllipsisWidth = 0;                // width of "... "
};

// The label's properties and their rules. A change that alters the look calls Changed();
// one that alters the content calls ContentChanged() (automatic sizing).
class TGradientLabelModel {
public:
    virtual ~TGradientLabelModel() = default;

    TTextAlignmt Alignment() const { return alignment_; }
    void SetAlignment(TTextAlignmt a);
    TAlign Align() const { return align_; }
    void SetAlign(TAlign a);
    bool AutoBounds() const { return autoBounds_; }
    void SetAutoBounds(bool on);
    TBoundLines BoundLines() const { return boundLines_; }
    void SetBoundLines(TBoundLines lines);
    TColor BoundColor() const { return boundColor_; }
    TGlyphMode GlyphMode() const { return glyphMode_; }
    void SetGlyphMode(TGlyphMode m);
    uint8_t Margin() const { return margin_; }
    int NumGlyphs() const { return numGlyphs_; }
    uint8_t Spacing() const { return spacing_; }
    int RoundBit() const { return roundBit_; }
    void SetRoundBit(int bits);
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& text);

    const TGradient& Gradient() const { return gradient_; }
    void SetGradient(const TGradient& g);
    const TSubCaption& SubCaption() const { return sub_; }
    void SetSubCaption(const TSubCaption& s);

    // Glyph size in pixels (the whole strip); a new glyph also sets NumGlyphs.
    void SetGlyphSize(int width, int height);
    bool HasGlyph() const { return glyphWidth_ > 0 && glyphHeight_ > 0; }
    int GlyphFrameWidth() const { return HasGlyph() ? glyphWidth_ / numGlyphs_ : 0; }
    int GlyphHeight() const { return glyphHeight_; }

    // Where the caption starts, and whether a press at x hits the glyph.
    int CaptionInset() const;
    bool HitsGlyph(int x) const;
    // Room for the caption in a label `width` wide beside a sub-caption `subWidth` wide.
    int CaptionRoom(int width, int subWidth) const;
    bool SubCaptionFits(int width, int subWidth) const { return !sub_.Caption.empty() && subWidth + 8 < width; }
    // The size automatic sizing gives, each side only where `Align` lets it apply.
    bool AutoHeight(const TLabelContent& c, int& height) const;
    bool AutoWidth(const TLabelContent& c, int& width) const;

protected:
    virtual void Changed() {}
    virtual void ContentChanged() { Changed(); }

private:
    TTextAlignmt alignment_ = TTextAlignmt::taLeft;
    TAlign align_ = TAlign::alNone;
    bool autoBounds_ = true;
    TBoundLines boundLines_ = 0;
    TColor boundColor_ = clGray;
    TGlyphMode glyphMode_ = TGlyphMode::gmNormal;
    uint8_t margin_ = 2;
    int numGlyphs_ = 1;
    uint8_t spacing_ = 2;
    int roundBit_ = 0;
    std::string caption_;
    TGradient gradient_;
    TSubCaption sub_;
    int glyphWidth_ = 0, glyphHeight_ = 0;
};

} // namespace kw
