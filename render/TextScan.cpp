// The template scan: sixteen bytes at a time where the processor offers SSE2 (every x86-64
// does), one byte at a time elsewhere and for the last few bytes.
#include "render/TextScan.h"
#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstdint>
#include <cstring>

// Where the compiler can build a function for wider instructions beside the rest (GCC, Clang),
// the long runs of plain text are scanned 64 bytes at a time in two AVX2 registers, and bare LFs
// get their CRs 64 bytes at a time with AVX-512's byte permutation, on processors that have them.
#if defined(KW_SCAN_SSE2) && defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define KW_SCAN_AVX2 1
#define KW_SCAN_AVX512 1
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

std::atomic<TScanWidth> widthLimit{TScanWidth::Avx512};

bool MayUse(TScanWidth width) { return widthLimit.load(std::memory_order_relaxed) >= width; }

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
    return has && MayUse(TScanWidth::Avx2);
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

// One byte of the CR-adding copy; false, with nothing written, at a byte it stops at.
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

// Where a CR-adding copy got to: the next byte to copy, the bytes written, and whether it ran
// out of room before the stop byte or the limit.
struct TCrCopy {
    size_t Stop = 0;
    size_t Written = 0;
    bool OutOfRoom = false;
};

// One step of a CR-adding copy in wide registers: where it stands in the text and the page.
struct TCrCursor {
    std::string_view Text;
    size_t I;
    size_t Limit;
    char* To;
    const char* ToEnd;
};

#ifdef KW_SCAN_SSE2
// Sixteen bytes at a time until the sixteen hold a stop byte, or fewer than 16 are left, or the
// room is short. A step needs the byte before its sixteen (is an LF bare?) and the sixteen after
// them (an added CR stores them again one further on) inside the text, and writes up to 48 bytes.
void CopyAddingCrSse2(TCrCursor& c) {
    const char* const text = c.Text.data();
    size_t i = c.I;
    char* to = c.To;
    while (i > 0 && c.Limit - i >= 16 && c.Text.size() - i >= 32 && c.ToEnd - to >= 48) {
        const char* p = text + i;
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
        const __m128i prev = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p - 1));
        const __m128i lf = _mm_cmpeq_epi8(a, _mm_set1_epi8('\n'));
        const __m128i loneCr =
            _mm_andnot_si128(_mm_cmpeq_epi8(next, _mm_set1_epi8('\n')), _mm_cmpeq_epi8(a, _mm_set1_epi8('\r')));
        const __m128i markOrEnd = _mm_or_si128(_mm_cmpeq_epi8(a, _mm_set1_epi8('!')), _mm_cmpeq_epi8(a, _mm_set1_epi8(26)));
        if (_mm_movemask_epi8(_mm_or_si128(loneCr, markOrEnd)) != 0)
            break;  // the bytes in front of the stop go one at a time
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to), a);
        const __m128i bareLf = _mm_andnot_si128(_mm_cmpeq_epi8(prev, _mm_set1_epi8('\r')), lf);
        for (auto bare = static_cast<unsigned>(_mm_movemask_epi8(bareLf)); bare != 0; bare &= bare - 1) {
            // The CR takes the LF's place and the bytes from the LF on move one further.
            const auto k = static_cast<size_t>(std::countr_zero(bare));
            to[k] = '\r';
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to + k + 1), _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k)));
            ++to;
        }
        to += 16;
        i += 16;
    }
    c.I = i;
    c.To = to;
}
#endif

#ifdef KW_SCAN_AVX512
#define KW_TARGET_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi,bmi")))

bool HasAvx512() {
    static const bool has =
        __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi");
    return has && MayUse(TScanWidth::Avx512);
}

// CopyAddingCrSse2 64 bytes at a time. Each bare LF among them takes one byte more in the page:
// the page's up to 128 bytes are put together in two registers from the 64 and stored whole. A
// step needs the byte before its 64 and the one after them inside the text.
KW_TARGET_AVX512 void CopyAddingCrAvx512(TCrCursor& c) {
    static constexpr std::array<uint8_t, 64> Identity = [] {
        std::array<uint8_t, 64> bytes{};
        for (size_t k = 0; k < bytes.size(); ++k)
            bytes[k] = static_cast<uint8_t>(k);
        return bytes;
    }();
    const __m512i identity = _mm512_loadu_si512(Identity.data());
    const __m512i one = _mm512_set1_epi8(1), crByte = _mm512_set1_epi8('\r');
    // The cursor in registers: the stores into the page could alias it in the compiler's eyes.
    const char* const text = c.Text.data();
    size_t i = c.I;
    char* to = c.To;
    const size_t end = std::min(c.Limit, c.Text.size() - 1);
    const char* const toEnd = c.ToEnd;
    while (i > 0 && end - i >= 64 && toEnd - to >= 128) {
        const char* p = text + i;
        const __m512i a = _mm512_loadu_si512(p);
        const uint64_t lf = _mm512_cmpeq_epi8_mask(a, _mm512_set1_epi8('\n'));
        const uint64_t cr = _mm512_cmpeq_epi8_mask(a, crByte);
        const uint64_t markOrEnd = _mm512_cmpeq_epi8_mask(a, _mm512_set1_epi8('!')) | _mm512_cmpeq_epi8_mask(a, _mm512_set1_epi8(26));
        const uint64_t lfAfter = lf >> 1 | static_cast<uint64_t>(p[64] == '\n') << 63;
        if ((markOrEnd | (cr & ~lfAfter)) != 0)
            break;
        uint64_t bare = lf & ~(cr << 1 | static_cast<uint64_t>(p[-1] == '\r'));
        if (bare == 0) {
            _mm512_storeu_si512(to, a);
            to += 64;
            i += 64;
            continue;
        }
        if ((bare & (bare - 1)) == 0) {  // the usual case: one line end, one byte spills over
            const int at = std::countr_zero(bare);
            const __m512i from = _mm512_mask_sub_epi8(identity, ~uint64_t{0} << at << 1, identity, one);
            _mm512_storeu_si512(to, _mm512_mask_permutexvar_epi8(crByte, ~bare, from, a));
            to[64] = p[63];
            to += 65;
            i += 64;
            continue;
        }
        // Where each page byte takes its text byte from, and where the CRs go: a bare LF's CR
        // takes the LF's place, and every page byte after it takes its text one byte further
        // back. The second register holds what goes past the first 64 bytes of page.
        __m512i low = identity, high = _mm512_add_epi8(identity, _mm512_set1_epi8(64));
        uint64_t crsLow = 0, crsHigh = 0;
        size_t added = 0;
        for (; bare != 0; bare &= bare - 1, ++added) {
            const size_t at = static_cast<size_t>(std::countr_zero(bare)) + added;
            if (at < 64) {
                crsLow |= uint64_t{1} << at;
                low = _mm512_mask_sub_epi8(low, ~uint64_t{0} << at << 1, low, one);
                high = _mm512_sub_epi8(high, one);
            } else {
                crsHigh |= uint64_t{1} << (at - 64);
                high = _mm512_mask_sub_epi8(high, ~uint64_t{0} << (at - 64) << 1, high, one);
            }
        }
        _mm512_storeu_si512(to, _mm512_mask_permutexvar_epi8(crByte, ~crsLow, low, a));
        _mm512_storeu_si512(to + 64, _mm512_mask_permutexvar_epi8(crByte, ~crsHigh, high, a));
        to += 64 + added;
        i += 64;
    }
    c.I = i;
    c.To = to;
}
#endif

// The CR-adding copy from `from` into `to`, which has room for `room` bytes.
TCrCopy CopyAddingCr(std::string_view text, size_t from, size_t limit, char* to, size_t room) {
    TCrCursor c{text, from, limit, to, to + room};
#ifdef KW_SCAN_AVX512
    if (HasAvx512())
        CopyAddingCrAvx512(c);
#endif
#ifdef KW_SCAN_SSE2
    if (MayUse(TScanWidth::Sse2))
        CopyAddingCrSse2(c);
#endif
    // The rest, up to the stop byte, one byte at a time.
    TCrCopy copy;
    for (; c.I < limit; ++c.I) {
        if (c.ToEnd - c.To < 2) {
            copy.OutOfRoom = true;
            break;
        }
        if (!CopyByteAddingCr(text, c.I, c.To))
            break;
    }
    copy.Stop = c.I;
    copy.Written = static_cast<size_t>(c.To - to);
    return copy;
}

} // namespace

void LimitScanWidth(TScanWidth widest) { widthLimit.store(widest, std::memory_order_relaxed); }

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


size_t AppendAddingCr(std::string_view text, size_t from, size_t limit, std::string& out) {
    // The copy goes through a buffer in the nearest cache and reaches the page in large pieces.
    char buffer[8192];
    size_t i = from;
    for (bool more = true; more;) {
        const TCrCopy copy = CopyAddingCr(text, i, limit, buffer, sizeof buffer);
        out.append(buffer, copy.Written);
        i = copy.Stop;
        more = copy.OutOfRoom;
    }
    return i;
}

size_t FindLineSpecial(std::string_view text, size_t from, size_t limit) {
    if (from >= limit)
        return limit;
    // The blocks check every LF against the byte before it except the first one.
    if (IsSpecial(text, from))
        return from;
    size_t i = from;
#ifdef KW_SCAN_SSE2
    // A block looks one byte beyond itself, which must lie inside the text.
    const size_t blocksEnd = std::min(limit, text.size() - 1);
#ifdef KW_SCAN_AVX2
    if (blocksEnd - i >= BlockSize && HasAvx2() && SkipPlainBlocks(text.data(), i, blocksEnd))
        return ScanBytes(text, i, i + 2);  // the marked byte, or the LF after it
#endif
    for (; MayUse(TScanWidth::Sse2) && blocksEnd - i >= BlockSize; i += BlockSize) {
        if (BlockMask(text.data() + i) != 0)
            return FirstInBlock(text, i);
    }
#endif
    return ScanBytes(text, i, limit);
}

} // namespace kw
