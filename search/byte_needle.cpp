#include "search/byte_needle.h"

#include "index/unit_bytes.h"
#include "search/text_search.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

std::string FoldToBytes(std::u16string_view text) {
    std::u16string folded(text);
    for (char16_t& unit : folded) unit = FoldUnit(unit);
    std::string bytes;
    AppendUnitBytes(bytes, folded);
    return bytes;
}

ByteNeedle::ByteNeedle(std::string_view folded) : want_(folded), mask_(folded.size(), '\0') {
    for (std::size_t i = 0; i < want_.size(); ++i) {
        if (want_[i] >= 'A' && want_[i] <= 'Z') {
            mask_[i] = 0x20;
            want_[i] = static_cast<char>(want_[i] | 0x20);
        }
    }
}

std::size_t ByteNeedle::FindIn(std::string_view text, std::size_t from) const {
    const std::size_t length = size();
    if (length == 0) return from <= text.size() ? from : std::string_view::npos;
    if (text.size() < length) return std::string_view::npos;
    const std::size_t lastStart = text.size() - length;
    const char* bytes = text.data();
    std::size_t at = from;
#if defined(__SSE2__)
    // The first and the last byte of the needle, sixteen starts at a time, reject almost every
    // start before a full compare.
    const __m128i firstWant = _mm_set1_epi8(static_cast<char>(Want(0)));
    const __m128i firstMask = _mm_set1_epi8(static_cast<char>(Mask(0)));
    const __m128i lastWant = _mm_set1_epi8(static_cast<char>(Want(length - 1)));
    const __m128i lastMask = _mm_set1_epi8(static_cast<char>(Mask(length - 1)));
    for (; at + 16 <= lastStart + 1; at += 16) {
        const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + at));
        const __m128i last =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + at + length - 1));
        unsigned candidates = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(first, firstMask), firstWant),
                          _mm_cmpeq_epi8(_mm_or_si128(last, lastMask), lastWant))));
        for (; candidates != 0; candidates &= candidates - 1) {
            const std::size_t start = at + static_cast<std::size_t>(__builtin_ctz(candidates));
            if (At(bytes + start)) return start;
        }
    }
#endif
    // Most names are shorter than a vector: their first and last byte are compared before all.
    const uint8_t firstWantByte = Want(0), firstMaskByte = Mask(0);
    const uint8_t lastWantByte = Want(length - 1), lastMaskByte = Mask(length - 1);
    for (; at <= lastStart; ++at) {
        if ((static_cast<uint8_t>(bytes[at]) | firstMaskByte) != firstWantByte ||
            (static_cast<uint8_t>(bytes[at + length - 1]) | lastMaskByte) != lastWantByte)
            continue;
        if (At(bytes + at)) return at;
    }
    return std::string_view::npos;
}
