// The template scan: sixteen bytes at a time where the processor offers SSE2 (every x86-64
// does), one byte at a time elsewhere and for the last few bytes.
#include "render/TextScan.h"
#include <algorithm>
#include <bit>
#include <cstdint>

// Where the compiler can build one function for AVX2 beside the rest (GCC, Clang), the long runs
// of plain text are scanned 64 bytes at a time in two AVX2 registers, on processors that have it.
#if defined(KW_SCAN_SSE2) && defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define KW_SCAN_AVX2 1
#endif

namespace kw {

namespace {

bool IsSpecial(std::string_view text, size_t i) {
    switch (text[i]) {
    case '!':
    case 26:
        return true;
    case '\r':
        return i + 1 >= text.size() || text[i + 1] != '\n';
    case '\n':
        return i == 0 || text[i - 1] != '\r';
    default:
        return false;
    }
}

size_t ScanBytes(std::string_view text, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i)
        if (IsSpecial(text, i))
            return i;
    return to;
}

#ifdef KW_SCAN_SSE2
constexpr size_t BlockSize = 64;

// Nonzero when the 16 bytes at `p` hold "!" or byte 26, or a CR and an LF that do not pair up.
// The second load, one byte further on, puts each byte's successor under it, so "CR here" must
// equal "LF next"; that covers the CRs of the 16 bytes and the LFs from the second byte to the
// byte after them.
inline __m128i Unpaired(const char* p) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
    const __m128i crlf = _mm_xor_si128(_mm_cmpeq_epi8(a, _mm_set1_epi8('\r')), _mm_cmpeq_epi8(next, _mm_set1_epi8('\n')));
    return _mm_or_si128(crlf, _mm_or_si128(_mm_cmpeq_epi8(a, _mm_set1_epi8('!')), _mm_cmpeq_epi8(a, _mm_set1_epi8(26))));
}

// Nonzero when the block of 64 bytes at `p` (or the LF just after it) needs a look.
inline int BlockMask(const char* p) {
    const __m128i ab = _mm_or_si128(Unpaired(p), Unpaired(p + 16));
    const __m128i cd = _mm_or_si128(Unpaired(p + 32), Unpaired(p + 48));
    return _mm_movemask_epi8(_mm_or_si128(ab, cd));
}

// The first byte that needs a look in a block whose mask is not zero. The first marked byte
// of the first marked 16 is it, or the LF right after it when that LF stands without a CR.
size_t FirstInBlock(std::string_view text, size_t block) {
    for (size_t k = block;; k += 16) {
        const int mask = _mm_movemask_epi8(Unpaired(text.data() + k));
        if (mask != 0) {
            const size_t at = k + static_cast<size_t>(std::countr_zero(static_cast<unsigned>(mask)));
            return ScanBytes(text, at, at + 2);
        }
    }
}
#endif

#ifdef KW_SCAN_AVX2
bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

__attribute__((target("avx2"))) inline __m256i Unpaired32(const char* p) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i next = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 1));
    const __m256i crlf =
        _mm256_xor_si256(_mm256_cmpeq_epi8(a, _mm256_set1_epi8('\r')), _mm256_cmpeq_epi8(next, _mm256_set1_epi8('\n')));
    return _mm256_or_si256(crlf, _mm256_or_si256(_mm256_cmpeq_epi8(a, _mm256_set1_epi8('!')),
                                                 _mm256_cmpeq_epi8(a, _mm256_set1_epi8(26))));
}

// From `i` on, 64 bytes at a time: true with `i` at the first byte marked in the first block
// that needs a look (as FirstInBlock finds it, before its last step), or false with `i` where
// fewer than 64 bytes are left before `end`.
__attribute__((target("avx2"))) bool SkipPlainBlocks(const char* p, size_t& i, size_t end) {
    while (end - i >= BlockSize) {
        const auto low = static_cast<uint32_t>(_mm256_movemask_epi8(Unpaired32(p + i)));
        const auto high = static_cast<uint32_t>(_mm256_movemask_epi8(Unpaired32(p + i + 32)));
        if ((low | high) != 0) {
            i += static_cast<size_t>(std::countr_zero(static_cast<uint64_t>(high) << 32 | low));
            return true;
        }
        i += BlockSize;
    }
    return false;
}
#endif

} // namespace

size_t FindLineEnd(std::string_view text, size_t from, size_t to, size_t& crs) {
    crs = 0;
    size_t i = from;
#ifdef KW_SCAN_SSE2
    // Sixteen bytes at a time while they lie inside the text; bytes at or past `to` are masked.
    for (; i < to && text.size() - i >= 16; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
        const unsigned inside = to - i >= 16 ? 0xFFFFu : (1u << (to - i)) - 1u;
        const auto stop = static_cast<unsigned>(_mm_movemask_epi8(
                              _mm_or_si128(_mm_cmpeq_epi8(a, _mm_set1_epi8('\n')), _mm_cmpeq_epi8(a, _mm_set1_epi8(26))))) &
                          inside;
        const auto cr = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, _mm_set1_epi8('\r')))) & inside;
        // Most lines hold no CR but their last: the count is taken only when there is one
        // (without the processor's own instruction, a count is a call).
        if (stop != 0) {
            const int at = std::countr_zero(stop);
            if (const unsigned before = cr & ((1u << at) - 1u); before != 0)
                crs += static_cast<size_t>(std::popcount(before));
            return i + static_cast<size_t>(at);
        }
        if (cr != 0)
            crs += static_cast<size_t>(std::popcount(cr));
    }
    if (i >= to)
        return to;
#endif
    for (; i < to; ++i) {
        if (text[i] == '\n' || text[i] == 26)
            return i;
        crs += text[i] == '\r';
    }
    return to;
}

namespace {

// One byte of AppendAddingCr's copy; false, with nothing written, at a byte it stops at.
inline bool CopyByteAddingCr(std::string_view text, size_t i, char*& to) {
    const char c = text[i];
    if (c == '\n') {
        if (i == 0 || text[i - 1] != '\r')
            *to++ = '\r';
    } else if (IsSpecial(text, i)) {
        return false;
    }
    *to++ = c;
    return true;
}

} // namespace

size_t AppendAddingCr(std::string_view text, size_t from, size_t limit, std::string& out) {
    // The copy goes through a buffer in the nearest cache and reaches the page in large pieces.
    // Sixteen bytes are stored at once and stored again one further on after an added CR, so
    // a step writes up to 48 bytes past where it starts.
    constexpr size_t StepRoom = 64;
    char buffer[4096 + StepRoom];
    char* to = buffer;
    size_t i = from;
    while (i < limit) {
        if (static_cast<size_t>(buffer + sizeof buffer - to) < StepRoom) {
            out.append(buffer, static_cast<size_t>(to - buffer));
            to = buffer;
        }
#ifdef KW_SCAN_SSE2
        // Sixteen bytes with the byte before them (is an LF bare?) and the sixteen after them
        // (an added CR stores them again one further on) inside the text.
        if (i > 0 && limit - i >= 16 && text.size() - i >= 32) {
            const char* p = text.data() + i;
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
            const __m128i prev = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p - 1));
            const __m128i lf = _mm_cmpeq_epi8(a, _mm_set1_epi8('\n'));
            const __m128i loneCr =
                _mm_andnot_si128(_mm_cmpeq_epi8(next, _mm_set1_epi8('\n')), _mm_cmpeq_epi8(a, _mm_set1_epi8('\r')));
            const __m128i markOrEnd = _mm_or_si128(_mm_cmpeq_epi8(a, _mm_set1_epi8('!')), _mm_cmpeq_epi8(a, _mm_set1_epi8(26)));
            const auto stop = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(loneCr, markOrEnd)));
            if (stop != 0) {  // the bytes in front of the stop one at a time
                const size_t at = i + static_cast<size_t>(std::countr_zero(stop));
                while (i < at && CopyByteAddingCr(text, i, to))
                    ++i;
                break;
            }
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to), a);
            const __m128i bareLf = _mm_andnot_si128(_mm_cmpeq_epi8(prev, _mm_set1_epi8('\r')), lf);
            for (auto bare = static_cast<unsigned>(_mm_movemask_epi8(bareLf)); bare != 0; bare &= bare - 1) {
                // The CR takes the LF's place and the bytes from the LF on move one further.
                const auto k = static_cast<size_t>(std::countr_zero(bare));
                to[k] = '\r';
                const __m128i rest = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(to + k + 1), rest);
                ++to;
            }
            to += 16;
            i += 16;
            continue;
        }
#endif
        if (!CopyByteAddingCr(text, i, to))
            break;
        ++i;
    }
    out.append(buffer, static_cast<size_t>(to - buffer));
    return i;
}

size_t FindLineSpecial(std::string_view text, size_t from, size_t limit) {
    const size_t n = limit;
    if (from >= n)
        return n;
    // The blocks check every LF against the byte before it except the first one.
    if (IsSpecial(text, from))
        return from;
    size_t i = from;
#ifdef KW_SCAN_SSE2
    // A block looks one byte beyond itself, which must lie inside the text.
    const size_t blocksEnd = std::min(n, text.size() - 1);
#ifdef KW_SCAN_AVX2
    if (blocksEnd - i >= BlockSize && HasAvx2() && SkipPlainBlocks(text.data(), i, blocksEnd))
        return ScanBytes(text, i, i + 2);  // the marked byte, or the LF after it
#endif
    while (blocksEnd - i >= BlockSize) {
        if (BlockMask(text.data() + i) != 0)
            return FirstInBlock(text, i);
        i += BlockSize;
    }
#endif
    return ScanBytes(text, i, n);
}

} // namespace kw
