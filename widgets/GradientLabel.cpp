// The gradient caption label's portable part.
#include "widgets/GradientLabel.h"
#include <algorithm>

namespace kw {

namespace {

int Channel(TColor c, int shift) { return static_cast<int>((c >> shift) & 0xFF); }

// trunc(S + (E - S) / n * i) per channel, computed in floating point, low bits cleared.
TColor Blend(TColor s, TColor e, int n, int i, int roundBit) {
    const unsigned mask = 0xFFu & ~((1u << roundBit) - 1u);
    TColor out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const double sc = Channel(s, shift), ec = Channel(e, shift);
        const int v = static_cast<int>(sc + (ec - sc) / n * i);
        out |= (static_cast<unsigned>(std::clamp(v, 0, 255)) & mask) << shift;
    }
    return out;
}

TColor Resolved(TColor c, const TColorResolver& resolve) {
    return resolve ? resolve(c) & 0x00FFFFFF : c & 0x00FFFFFF;
}

// size * i / steps rounded to the nearest integer (halves away from zero), without overflow.
int ScaledEdge(int size, int i, int steps) {
    const long long p = static_cast<long long>(size) * i;
    return static_cast<int>((p + steps / 2) / steps);
}

int ClampSteps(int steps) { return std::clamp(steps, 1, 255); }

} // namespace

std::vector<TColor> BuildPalette(const TGradient& g, int roundBit, const TColorResolver& resolve) {
    roundBit = std::clamp(roundBit, 0, 7);
    const int n = ClampSteps(g.ColorSteps);
    const TColor start = Resolved(g.StartColor, resolve), end = Resolved(g.EndColor, resolve);
    std::vector<TColor> palette(static_cast<size_t>(n));
    if (g.Style == TGradientStyle::dsBound) {
        // Out and back: entries 1..h run from the end colour toward the start colour, and
        // entry 2h - k repeats entry k. Entries the mirror does not reach (an even or a
        // single step count) keep the end colour, so both edges match.
        const int h = n / 2;
        std::fill(palette.begin(), palette.end(), Blend(end, end, 1, 0, roundBit));
        for (int i = 0; i < h; ++i)
            palette[i] = Blend(end, start, h, i, roundBit);
        for (int k = 1; k < h; ++k)
            palette[2 * h - k - 1] = palette[k - 1];
        return palette;
    }
    const bool reversed = g.Style == TGradientStyle::gsBottom || g.Style == TGradientStyle::gsRight;
    const TColor s = reversed ? end : start, e = reversed ? start : end;
    for (int i = 0; i < n; ++i)
        palette[i] = Blend(s, e, n, i, roundBit);
    return palette;
}

std::vector<TBand> GradientBands(const TGradient& g, int roundBit, int width, int height,
                                 const TColorResolver& resolve) {
    if (width <= 0 || height <= 0)
        return {};
    if (g.Style == TGradientStyle::gsNone)
        return {TBand{0, 0, width, height, Resolved(g.StartColor, resolve)}};
    const std::vector<TColor> palette = BuildPalette(g, roundBit, resolve);
    const int steps = static_cast<int>(palette.size());
    const bool vertical = g.Style == TGradientStyle::gsLeft || g.Style == TGradientStyle::gsRight;
    const int size = vertical ? width : height;
    std::vector<TBand> bands;
    bands.reserve(palette.size());
    for (int i = 0; i < steps; ++i) {
        const int from = ScaledEdge(size, i, steps), to = ScaledEdge(size, i + 1, steps);
        if (to <= from)
            continue;  // more steps than pixels: this band has no pixel of its own
        bands.push_back(vertical ? TBand{from, 0, to, height, palette[i]} : TBand{0, from, width, to, palette[i]});
    }
    return bands;
}

std::string FitCaption(const std::string& caption, int room, const TTextWidth& width) {
    if (width(caption) <= room)
        return caption;
    // Dropped characters are replaced by "...", and the shortened text with its dots must
    // fit too, so that it never runs under the sub-caption.
    std::string text = caption;
    while (!text.empty()) {
        text.pop_back();
        if (!text.empty() && width(text + "...") <= room)
            return text + "...";
    }
    return {};
}

void TGradientLabelModel::SetAlignment(TTextAlignmt a) {
    if (!sub_.Caption.empty())
        a = TTextAlignmt::taLeft;  // a sub-caption holds the right side
    if (a != alignment_) {
        alignment_ = a;
        Changed();
    }
}

void TGradientLabelModel::SetAlign(TAlign a) {
    align_ = a;
    if (a == TAlign::alClient)
        autoBounds_ = false;
    Changed();
}

void TGradientLabelModel::SetAutoBounds(bool on) {
    if (on && align_ == TAlign::alClient)
        return;
    autoBounds_ = on;
    if (on)
        ContentChanged();
}

void TGradientLabelModel::SetBoundLines(TBoundLines lines) {
    boundLines_ = lines & (blLeft | blTop | blRight | blBottom);
    ContentChanged();
}

void TGradientLabelModel::SetGlyphMode(TGlyphMode m) {
    glyphMode_ = m;
    Changed();
}

void TGradientLabelModel::SetRoundBit(int bits) {
    roundBit_ = std::clamp(bits, 0, 7);
    Changed();
}

void TGradientLabelModel::SetCaption(const std::string& text) {
    caption_ = text;
    ContentChanged();
}

void TGradientLabelModel::SetGradient(const TGradient& g) {
    gradient_ = g;
    gradient_.ColorSteps = ClampSteps(g.ColorSteps);
    Changed();
}

void TGradientLabelModel::SetSubCaption(const TSubCaption& s) {
    const bool newCaption = s.Caption != sub_.Caption;
    sub_ = s;
    if (sub_.Caption.empty())
        sub_.Ellipsis = false;  // "..." only follows a sub-caption
    if (newCaption)
        alignment_ = TTextAlignmt::taLeft;
    ContentChanged();
}

void TGradientLabelModel::SetGlyphSize(int width, int height) {
    glyphWidth_ = std::max(width, 0);
    glyphHeight_ = std::max(height, 0);
    const bool strip = glyphHeight_ > 0 && glyphWidth_ % glyphHeight_ == 0;
    numGlyphs_ = strip ? std::clamp(glyphWidth_ / glyphHeight_, 1, 4) : 1;
    ContentChanged();
}

int TGradientLabelModel::CaptionInset() const {
    int inset = margin_;
    if (HasGlyph() && glyphMode_ == TGlyphMode::gmNormal)
        inset += GlyphFrameWidth() + spacing_;
    return inset;
}

bool TGradientLabelModel::HitsGlyph(int x) const {
    return HasGlyph() && x >= margin_ && x <= margin_ + GlyphFrameWidth();
}

int TGradientLabelModel::CaptionRoom(int width, int subWidth) const {
    return width - CaptionInset() - subWidth - sub_.Margin;
}

bool TGradientLabelModel::AutoHeight(const TLabelContent& c, int& height) const {
    if (!autoBounds_ || align_ == TAlign::alClient)
        return false;
    if (align_ != TAlign::alNone && align_ != TAlign::alTop && align_ != TAlign::alBottom)
        return false;
    height = std::max({c.CaptionHeight, c.SubHeight, c.GlyphHeight});
    height += ((boundLines_ & blTop) ? 1 : 0) + ((boundLines_ & blBottom) ? 1 : 0);
    return true;
}

bool TGradientLabelModel::AutoWidth(const TLabelContent& c, int& width) const {
    if (!autoBounds_ || align_ == TAlign::alClient)
        return false;
    if (align_ != TAlign::alNone && align_ != TAlign::alLeft && align_ != TAlign::alRight)
        return false;
    width = c.CaptionWidth + margin_ + c.GlyphWidth + spacing_ + c.SubWidth + sub_.Margin + c.EllipsisWidth;
    width += ((boundLines_ & blLeft) ? 1 : 0) + ((boundLines_ & blRight) ? 1 : 0);
    return true;
}

} // namespace kw
