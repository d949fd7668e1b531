// The blend of the first column of a strip with the column before it, inline
// so the buffer pass can call it per pixel without a call.
#pragma once

#include <cmath>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lenticular {

// (1 - x) of a plus x of b, per channel, truncated: the arithmetic, in
// double precision and this order, is what fixes the result bit for bit.
inline int blend_color(double x, int a, int b) {
    const double w = 1.0 - x;
    int r = static_cast<int>(w * ((a >> 16) & 0xFF) + x * ((b >> 16) & 0xFF));
    int g = static_cast<int>(w * ((a >> 8) & 0xFF) + x * ((b >> 8) & 0xFF));
    int bl = static_cast<int>(w * (a & 0xFF) + x * (b & 0xFF));
    return (r << 16) + (g << 8) + bl;
}

// The same blend for many pixels with one weight x, four channels at a time
// where that gives the very same result. If x is a multiple of 2^-E with
// E <= 45 (true of most strip boundaries: x is the fraction of a boundary
// above 128 or so), then 1 - x, both products and their sum are exact in
// double precision (every value is a multiple of 2^-E below 2^8, so fits
// in 53 bits): the result cannot depend on how a compiler orders or fuses
// the arithmetic, so the packed lanes give what the scalar expression gives.
// Other weights keep the scalar expression itself.
class ChannelBlend {
public:
    explicit ChannelBlend(double x) : keep_(1.0 - x), take_(x) {
        if (!(x >= 0.0 && x < 1.0)) return;
        const double scaled = std::ldexp(x, kMaxShift);
        packed_ = scaled == std::floor(scaled);
    }

    std::uint32_t operator()(std::uint32_t a, std::uint32_t b) const {
#if defined(__SSE2__)
        // Lanes: blue, green, red and the top byte, which is dropped.
        if (packed_) {
            const __m128i zero = _mm_setzero_si128();
            const __m128i a32 = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(int(a)), zero), zero);
            const __m128i b32 = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(int(b)), zero), zero);
            const __m128d keep = _mm_set1_pd(keep_), take = _mm_set1_pd(take_);
            const __m128d low = _mm_add_pd(_mm_mul_pd(keep, _mm_cvtepi32_pd(a32)),
                                           _mm_mul_pd(take, _mm_cvtepi32_pd(b32)));  // blue, green
            const __m128d high = _mm_add_pd(_mm_mul_pd(keep, _mm_cvtepi32_pd(_mm_srli_si128(a32, 8))),
                                            _mm_mul_pd(take, _mm_cvtepi32_pd(_mm_srli_si128(b32, 8))));  // red, top
            __m128i c = _mm_unpacklo_epi64(_mm_cvttpd_epi32(low), _mm_cvttpd_epi32(high));
            c = _mm_packus_epi16(_mm_packs_epi32(c, c), c);
            return static_cast<std::uint32_t>(_mm_cvtsi128_si32(c)) & 0xFFFFFFu;
        }
#endif
        return static_cast<std::uint32_t>(by_doubles(a, b, 16) << 16 | by_doubles(a, b, 8) << 8 | by_doubles(a, b, 0));
    }

    // For the wider lanes of the buffer pass: the weights, and whether they
    // are exact enough for packed arithmetic.
    bool packed() const { return packed_; }
    double keep() const { return keep_; }
    double take() const { return take_; }

private:
    static constexpr int kMaxShift = 45;

    int by_doubles(std::uint32_t a, std::uint32_t b, int at) const {
        return static_cast<int>(keep_ * static_cast<int>((a >> at) & 0xFF) + take_ * static_cast<int>((b >> at) & 0xFF));
    }

    double keep_, take_;
    bool packed_ = false;  // the weight is exact enough for packed arithmetic
};

}  // namespace lenticular
