// Escaping "none" keeps every page byte for byte as the engine wrote it before escaping
// existed: the digests below were recorded from that engine for the same generated templates
// and states. A change to expansion that alters any page, with or without escaping, fails here.
#include "PageGenerator.h"
#include "render/RenderWork.h"
#include "render/ValueEscaping.h"
#include <cstdio>
#include <gtest/gtest.h>

namespace kw {
namespace {

constexpr int Batches = 16;
constexpr int PagesPerBatch = 64;

uint64_t BatchDigest(int batch) {
    test::TGenerator gen(static_cast<uint64_t>(batch) + 1);
    uint64_t h = test::Digest("");
    for (int i = 0; i < PagesPerBatch; ++i) {
        const TPageState page = gen.Page();
        const TTemplateLines lines(gen.Template());
        const uint8_t codePage = static_cast<uint8_t>(gen.Below(6));
        h = test::Digest(RenderPage(lines, codePage, escNone, page), h);
    }
    return h;
}

// Recorded from the engine before escaping was added (commit 7f9bd63).
constexpr uint64_t Recorded[Batches] = {
    0x8DE2D9C655A17A82ull, // 2615 bytes
    0x90C71A3233C169B7ull, // 2492 bytes
    0x45CE2784298241BAull, // 2088 bytes
    0xACEA8F1E76322362ull, // 2537 bytes
    0xD1EBA815485A1FBDull, // 2012 bytes
    0x3A2615A019D05C67ull, // 2994 bytes
    0x69CEA6D7A3905990ull, // 2401 bytes
    0x5707EE9E80C5DC04ull, // 2325 bytes
    0x11C33A738F3C66D7ull, // 2100 bytes
    0x382CFDAE1BDB4F3Eull, // 1952 bytes
    0x56CB6D3438E03EBFull, // 2029 bytes
    0x20545AC021AA755Eull, // 2171 bytes
    0x1948E30C633A3DA6ull, // 2013 bytes
    0xB384A5CDFF165C15ull, // 2237 bytes
    0x07E8574BFE8CB8DFull, // 2776 bytes
    0xAC29F116B7B64BD4ull, // 2388 bytes
};

TEST(EscapingNone, PagesAreThoseOfTheEngineBeforeEscaping) {
    for (int b = 0; b < Batches; ++b)
        EXPECT_EQ(BatchDigest(b), Recorded[b]) << "batch " << b;
}

} // namespace
} // namespace kw
