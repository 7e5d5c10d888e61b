#include "search/text_search.h"

#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

bool SameUnits(const char16_t* a, const char16_t* b, std::size_t count) {
    return std::memcmp(a, b, count * sizeof(char16_t)) == 0;
}

bool SameFolded(const char16_t* text, const char16_t* folded, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (FoldUnit(text[i]) != folded[i]) return false;
    }
    return true;
}

#if defined(__GNUC__) && defined(__x86_64__)
#define SKIMLET_HAVE_AVX2_SCAN 1
// Sixteen candidate starts at a time on processors that have AVX2; the caller falls back to the
// eight-at-a-time loop for the rest. Returns the match, or npos with `next` at the first start
// not yet examined.
__attribute__((target("avx2"))) std::size_t ScanAvx2(const char16_t* data, std::size_t from,
                                                     std::size_t lastStart,
                                                     std::u16string_view needle,
                                                     std::size_t& next) {
    const std::size_t length = needle.size();
    const __m256i firstUnits = _mm256_set1_epi16(static_cast<short>(needle.front()));
    const __m256i lastUnits = _mm256_set1_epi16(static_cast<short>(needle.back()));
    std::size_t i = from;
    for (; i + 15 <= lastStart; i += 16) {
        __m256i atFirst = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i));
        __m256i atLast =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i + length - 1));
        unsigned mask = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_and_si256(
            _mm256_cmpeq_epi16(atFirst, firstUnits), _mm256_cmpeq_epi16(atLast, lastUnits))));
        while (mask != 0) {
            const int bit = std::countr_zero(mask);
            const std::size_t start = i + static_cast<std::size_t>(bit) / 2;
            if (length <= 2 || SameUnits(data + start + 1, needle.data() + 1, length - 2)) {
                return start;
            }
            mask &= ~(3u << bit);
        }
    }
    next = i;
    return std::u16string_view::npos;
}

// Asked on first use: a static initializer could run before the processor features are read.
bool HasAvx2() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}
#endif

}  // namespace

std::size_t FindUnits(std::u16string_view text, std::u16string_view needle, std::size_t from) {
    const std::size_t length = needle.size();
    if (from > text.size() || length > text.size() - from) return std::u16string_view::npos;
    if (length == 0) return from;
    const char16_t* data = text.data();
    const char16_t first = needle.front();
    const char16_t last = needle.back();
    const std::size_t lastStart = text.size() - length;
    std::size_t i = from;
#if defined(SKIMLET_HAVE_AVX2_SCAN)
    if (HasAvx2()) {
        const std::size_t found = ScanAvx2(data, from, lastStart, needle, i);
        if (found != std::u16string_view::npos) return found;
    }
#endif
#if defined(__SSE2__)
    // Eight candidate starts at a time: a start survives when both its first and its last unit
    // agree with the needle's, which rejects almost every position before any full compare.
    const __m128i firstUnits = _mm_set1_epi16(static_cast<short>(first));
    const __m128i lastUnits = _mm_set1_epi16(static_cast<short>(last));
    for (; i + 7 <= lastStart; i += 8) {
        __m128i atFirst = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        __m128i atLast = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + length - 1));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(
            _mm_cmpeq_epi16(atFirst, firstUnits), _mm_cmpeq_epi16(atLast, lastUnits))));
        while (mask != 0) {
            const int bit = std::countr_zero(mask);
            const std::size_t start = i + static_cast<std::size_t>(bit) / 2;
            if (length <= 2 || SameUnits(data + start + 1, needle.data() + 1, length - 2)) {
                return start;
            }
            mask &= ~(3u << bit);
        }
    }
#endif
    for (; i <= lastStart; ++i) {
        if (data[i] == first && data[i + length - 1] == last &&
            SameUnits(data + i, needle.data(), length)) {
            return i;
        }
    }
    return std::u16string_view::npos;
}

bool ContainsFolded(std::u16string_view text, std::u16string_view foldedNeedle) {
    const std::size_t length = foldedNeedle.size();
    if (length == 0) return true;
    if (length > text.size()) return false;
    for (std::size_t i = 0; i + length <= text.size(); ++i) {
        if (FoldUnit(text[i]) == foldedNeedle[0] &&
            SameFolded(text.data() + i, foldedNeedle.data(), length)) {
            return true;
        }
    }
    return false;
}

bool StartsWithFolded(std::u16string_view text, std::u16string_view foldedPrefix) {
    return foldedPrefix.size() <= text.size() &&
           SameFolded(text.data(), foldedPrefix.data(), foldedPrefix.size());
}

bool EndsWithFolded(std::u16string_view text, std::u16string_view foldedSuffix) {
    return foldedSuffix.size() <= text.size() &&
           SameFolded(text.data() + text.size() - foldedSuffix.size(), foldedSuffix.data(),
                      foldedSuffix.size());
}
