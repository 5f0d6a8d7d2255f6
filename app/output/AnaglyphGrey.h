// The plain anaglyph's grey value of a pixel, r x 30 / 100 + g x 59 / 100 +
// b x 11 / 100 with each quotient truncated, shared by the grey anaglyph and
// the half-colour method.
#pragma once

#include "platform/Surface.h"

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace plastora::anaglyph_grey {

// Each quotient as one multiplication by a 16-bit fraction slightly above
// 30/100, 59/100 and 11/100 and a shift: for a byte the excess never reaches
// the next integer, which the compiler checks here for every byte. One 16-bit
// multiply-high per channel lets a loop run eight pixels at a time.
constexpr std::uint32_t kRedPart = 19661;    // 65536 x 0.30, rounded up
constexpr std::uint32_t kGreenPart = 38667;  // 65536 x 0.59, rounded up
constexpr std::uint32_t kBluePart = 7209;    // 65536 x 0.11, rounded up
constexpr bool quotientsAreExact() {
    for (std::uint32_t v = 0; v < 256; ++v)
        if ((v * kRedPart) >> 16 != v * 30 / 100 || (v * kGreenPart) >> 16 != v * 59 / 100 ||
            (v * kBluePart) >> 16 != v * 11 / 100)
            return false;
    return true;
}
static_assert(quotientsAreExact());

inline std::uint32_t greyOf(Pixel p) {
    return ((((p >> 16) & 0xFFu) * kRedPart) >> 16) + ((((p >> 8) & 0xFFu) * kGreenPart) >> 16) +
           (((p & 0xFFu) * kBluePart) >> 16);
}

#if defined(__SSE2__)
// The grey values of eight pixels (two vectors of four) in eight 16-bit lanes.
inline __m128i grey8(__m128i p0, __m128i p1) {
    const __m128i byte = _mm_set1_epi32(0xFF);
    auto channel = [&](int shift) {
        return _mm_packs_epi32(_mm_and_si128(_mm_srli_epi32(p0, shift), byte),
                               _mm_and_si128(_mm_srli_epi32(p1, shift), byte));
    };
    auto part = [](__m128i v, std::uint32_t k) {
        return _mm_mulhi_epu16(v, _mm_set1_epi16(static_cast<short>(k)));
    };
    return _mm_add_epi16(_mm_add_epi16(part(channel(16), kRedPart), part(channel(8), kGreenPart)),
                         part(channel(0), kBluePart));
}

inline __m128i load4(const Pixel* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
#endif

}  // namespace plastora::anaglyph_grey
