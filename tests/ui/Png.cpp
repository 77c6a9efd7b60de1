// The PNG writer: palette or filtered RGB rows, a zlib stream of one deflate block with the fixed
// codes (RFC 1951, 3.2.6), matches found through hash chains.
#include "tests/ui/Png.h"
#include <algorithm>
#include <cstdlib>
#include <unordered_map>

namespace kw::test {

namespace {

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8)
        out.push_back(static_cast<uint8_t>(v >> s));
}

uint32_t Crc32(const uint8_t* p, size_t n) {
    uint32_t crc = ~0u;
    for (size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void Chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
    Put32(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    Put32(out, Crc32(out.data() + start, out.size() - start));
}

// Deflate's bit order: values from the lowest bit, Huffman codes from their highest.
class TBits {
  public:
    explicit TBits(std::vector<uint8_t>& out) : out_(out) {}
    void Value(uint32_t v, int count) {
        acc_ |= v << used_;
        used_ += count;
        for (; used_ >= 8; used_ -= 8, acc_ >>= 8)
            out_.push_back(static_cast<uint8_t>(acc_));
    }
    void Code(uint32_t code, int length) {
        uint32_t reversed = 0;
        for (int i = 0; i < length; ++i)
            reversed |= ((code >> i) & 1u) << (length - 1 - i);
        Value(reversed, length);
    }
    void Flush() {
        if (used_ > 0)
            out_.push_back(static_cast<uint8_t>(acc_));
        acc_ = 0, used_ = 0;
    }

  private:
    std::vector<uint8_t>& out_;
    uint32_t acc_ = 0;
    int used_ = 0;
};

const uint16_t LengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                 31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const uint8_t LengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const uint16_t DistBase[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                               33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                               1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const uint8_t DistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                               6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// The fixed literal/length code of a symbol 0..287.
void Symbol(TBits& bits, unsigned s) {
    if (s < 144)
        bits.Code(0x30 + s, 8);
    else if (s < 256)
        bits.Code(0x190 + (s - 144), 9);
    else if (s < 280)
        bits.Code(s - 256, 7);
    else
        bits.Code(0xC0 + (s - 280), 8);
}

// The last table entry whose base is not above `value`.
template <size_t N> unsigned Slot(const uint16_t (&base)[N], unsigned value) {
    unsigned i = N - 1;
    while (base[i] > value)
        --i;
    return i;
}

void Match(TBits& bits, unsigned length, unsigned distance) {
    const unsigned l = Slot(LengthBase, length);
    Symbol(bits, 257 + l);
    bits.Value(length - LengthBase[l], LengthExtra[l]);
    const unsigned d = Slot(DistBase, distance);
    bits.Code(d, 5);
    bits.Value(distance - DistBase[d], DistExtra[d]);
}

// One final block with the fixed codes; the longest match among the last MaxChain places with
// the same three bytes, within the 32 KiB window.
void Deflate(const std::vector<uint8_t>& data, std::vector<uint8_t>& out) {
    constexpr size_t Window = 32768, MinMatch = 3, MaxMatch = 258;
    constexpr int HashBits = 15, MaxChain = 48;
    std::vector<int64_t> head(size_t{1} << HashBits, -1), prev(data.size(), -1);
    const auto hash = [&](size_t i) {
        return ((data[i] * 2654435761u) ^ (data[i + 1] * 40503u) ^ (data[i + 2] * 97u)) &
               ((1u << HashBits) - 1);
    };
    const auto insert = [&](size_t i) {
        if (i + MinMatch > data.size())
            return;
        const uint32_t h = hash(i);
        prev[i] = head[h];
        head[h] = static_cast<int64_t>(i);
    };
    TBits bits(out);
    bits.Value(1, 1); // the final block
    bits.Value(1, 2); // fixed codes
    for (size_t i = 0; i < data.size();) {
        size_t best = 0, distance = 0;
        if (i + MinMatch <= data.size()) {
            const size_t most = std::min(MaxMatch, data.size() - i);
            int chain = MaxChain;
            for (int64_t c = head[hash(i)]; c >= 0 && i - static_cast<size_t>(c) <= Window && chain-- > 0;
                 c = prev[c]) {
                const size_t from = static_cast<size_t>(c);
                size_t n = 0;
                while (n < most && data[from + n] == data[i + n])
                    ++n;
                if (n > best)
                    best = n, distance = i - from;
                if (n == most)
                    break;
            }
        }
        if (best >= MinMatch) {
            Match(bits, static_cast<unsigned>(best), static_cast<unsigned>(distance));
            for (size_t k = 0; k < best; ++k)
                insert(i + k);
            i += best;
        } else {
            Symbol(bits, data[i]);
            insert(i);
            ++i;
        }
    }
    Symbol(bits, 256);
    bits.Flush();
}

std::vector<uint8_t> Zlib(const std::vector<uint8_t>& raw) {
    std::vector<uint8_t> z{0x78, 0x01};
    Deflate(raw, z);
    uint32_t a = 1, b = 0;
    for (const uint8_t c : raw)
        a = (a + c) % 65521, b = (b + a) % 65521;
    Put32(z, (b << 16) | a);
    return z;
}

// The colours of the picture in order of appearance, or nothing when there are more than 256.
std::vector<uint32_t> Palette(const uint8_t* rgb, size_t pixels,
                              std::unordered_map<uint32_t, uint8_t>& index) {
    std::vector<uint32_t> colours;
    for (size_t i = 0; i < pixels; ++i) {
        const uint32_t c = (uint32_t{rgb[i * 3]} << 16) | (uint32_t{rgb[i * 3 + 1]} << 8) | rgb[i * 3 + 2];
        if (index.count(c))
            continue;
        if (colours.size() == 256)
            return {};
        index.emplace(c, static_cast<uint8_t>(colours.size()));
        colours.push_back(c);
    }
    return colours;
}

uint8_t Paeth(int a, int b, int c) {
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return static_cast<uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// One RGB row with each of the five filters; the one whose bytes, read as signed, sum smallest
// (the usual guess at what compresses best) goes into `raw`.
void FilteredRow(const uint8_t* row, const uint8_t* above, size_t bytes, std::vector<uint8_t>& raw) {
    std::vector<uint8_t> best, trial(bytes + 1);
    long bestCost = -1;
    for (uint8_t filter = 0; filter < 5; ++filter) {
        trial[0] = filter;
        long cost = 0;
        for (size_t x = 0; x < bytes; ++x) {
            const int a = x >= 3 ? row[x - 3] : 0, b = above ? above[x] : 0,
                      c = above && x >= 3 ? above[x - 3] : 0;
            const int predicted = filter == 1   ? a
                                  : filter == 2 ? b
                                  : filter == 3 ? (a + b) / 2
                                  : filter == 4 ? Paeth(a, b, c)
                                                : 0;
            trial[x + 1] = static_cast<uint8_t>(row[x] - predicted);
            cost += std::abs(static_cast<int8_t>(trial[x + 1]));
        }
        if (bestCost < 0 || cost < bestCost)
            best = trial, bestCost = cost;
    }
    raw.insert(raw.end(), best.begin(), best.end());
}

} // namespace

std::vector<uint8_t> EncodePng(const uint8_t* rgb, int width, int height) {
    const size_t w = static_cast<size_t>(width), h = static_cast<size_t>(height);
    std::unordered_map<uint32_t, uint8_t> index;
    const std::vector<uint32_t> colours = Palette(rgb, w * h, index);
    std::vector<uint8_t> raw;
    if (!colours.empty()) {
        raw.reserve(h * (w + 1));
        for (size_t y = 0; y < h; ++y) {
            raw.push_back(0); // palette rows compress best unfiltered
            for (size_t x = 0; x < w; ++x) {
                const uint8_t* p = rgb + (y * w + x) * 3;
                raw.push_back(index.at((uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2]));
            }
        }
    } else {
        raw.reserve(h * (w * 3 + 1));
        for (size_t y = 0; y < h; ++y)
            FilteredRow(rgb + y * w * 3, y ? rgb + (y - 1) * w * 3 : nullptr, w * 3, raw);
    }
    std::vector<uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> ihdr;
    Put32(ihdr, static_cast<uint32_t>(width)), Put32(ihdr, static_cast<uint32_t>(height));
    ihdr.insert(ihdr.end(),
                {8, static_cast<uint8_t>(colours.empty() ? 2 : 3), 0, 0, 0}); // 8 bits, RGB or palette
    Chunk(png, "IHDR", ihdr);
    if (!colours.empty()) {
        std::vector<uint8_t> plte;
        for (const uint32_t c : colours)
            plte.insert(plte.end(), {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8),
                                     static_cast<uint8_t>(c)});
        Chunk(png, "PLTE", plte);
    }
    Chunk(png, "IDAT", Zlib(raw));
    Chunk(png, "IEND", {});
    return png;
}

} // namespace kw::test
