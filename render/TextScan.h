// The one scan that decides how a template's bytes reach the page: most bytes are copied as
// they stand, and only a few need a look of their own.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
// Sixteen bytes at a time where the processor offers SSE2 (every x86-64 does).
#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define KW_SCAN_SSE2 1
#endif

namespace kw {

// The widest instructions the scan uses: the processor's own as a rule. Tests lower it so that
// every way of scanning is held to the same pages on any processor.
enum class TScanWidth { Bytes, Sse2, Avx2, Avx512 };
void LimitScanWidth(TScanWidth widest);

// The position of the first byte at or after `from` that a page cannot copy as it stands. Such a byte is
//   "!"      the start of a possible tag marker,
//   byte 26  the end of the file,
//   LF       with no CR in front of it (the page needs CR LF),
//   CR       with no LF after it (a lone CR is dropped).
// A CR LF pair is ordinary text: it is exactly what the page writes at a line end, so a
// template with CR LF line ends and no tags is copied in one piece.
// Only positions before `limit` (at most text.size()) are looked at; `limit` when none of them
// is such a byte. The bytes around a position are always judged against the whole text.
size_t FindLineSpecial(std::string_view text, size_t from, size_t limit);

// Appends text[from, stop) to `out`, a CR added in front of every bare LF, and returns `stop`:
// the first "!", byte 26 or lone CR at or after `from` (before `limit`), or `limit`. Lines
// ending in bare LFs cost one pass over their bytes this way, not a call per line.
size_t AppendAddingCr(std::string_view text, size_t from, size_t limit, std::string& out);

// Where the line holding `from` ends: the first LF or byte 26 at or after `from` (before `to`,
// at most text.size()), or `to`. `crs` is the number of CRs in front of it from `from` on.
size_t FindLineEnd(std::string_view text, size_t from, size_t to, size_t& crs);

// FindLineEnd for the few bytes a tag reaches (`to` - `from` at most 32): the usual case, no
// CR, LF or byte 26 among them, is one look at 32 bytes in place of a call.
inline size_t FindLineEndNear(std::string_view text, size_t from, size_t to, size_t& crs) {
#ifdef KW_SCAN_SSE2
    if (to - from <= 32 && text.size() - from >= 32) {
        const auto* p = reinterpret_cast<const __m128i*>(text.data() + from);
        const auto special = [](__m128i a) {
            return _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(a, _mm_set1_epi8('\n')), _mm_cmpeq_epi8(a, _mm_set1_epi8('\r'))),
                                _mm_cmpeq_epi8(a, _mm_set1_epi8(26)));
        };
        const auto low = static_cast<uint32_t>(_mm_movemask_epi8(special(_mm_loadu_si128(p))));
        const auto high = static_cast<uint32_t>(_mm_movemask_epi8(special(_mm_loadu_si128(p + 1))));
        const uint32_t inside = to - from == 32 ? ~0u : (1u << (to - from)) - 1u;
        if (((high << 16 | low) & inside) == 0) {
            crs = 0;
            return to;
        }
    }
#endif
    return FindLineEnd(text, from, to, crs);
}

} // namespace kw
