#include "row_kernels.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define REELMIX_X86 1
#endif

namespace reelmix::kernels {

namespace {

void bgr_plain(const std::uint8_t* s, std::uint32_t* d, int n) {
    for (int x = 0; x < n; ++x, s += 3) d[x] = std::uint32_t(s[0]) | std::uint32_t(s[1]) << 8 | std::uint32_t(s[2]) << 16;
}

void gather_plain(const std::uint32_t* s, const std::int32_t* column, std::uint32_t* d, int n, int) {
    for (int x = 0; x < n; ++x) d[x] = s[column[x]];
}

#ifdef REELMIX_X86
// Four triples from twelve bytes; the load takes sixteen, so the last few
// pixels of a row go the plain way.
__attribute__((target("ssse3"))) void bgr_ssse3(const std::uint8_t* s, std::uint32_t* d, int n) {
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    int x = 0;
    for (; x + 6 <= n; x += 4) {
        const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 3 * x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + x), _mm_shuffle_epi8(in, spread));
    }
    bgr_plain(s + 3 * x, d + x, n - x);
}

// Eight pixels from the eight source pixels at the block's first column.
__attribute__((target("avx2"))) void gather_avx2(const std::uint32_t* s, const std::int32_t* column, std::uint32_t* d,
                                                 int n, int blocks) {
    int x = 0;
    for (int b = 0; b < blocks; ++b, x += 8) {
        const int base = column[x];
        const __m256i at = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(column + x));
        const __m256i offsets = _mm256_sub_epi32(at, _mm256_set1_epi32(base));
        const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + base));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + x), _mm256_permutevar8x32_epi32(pixels, offsets));
    }
    gather_plain(s, column + x, d + x, n - x, 0);
}
#endif

using BgrKernel = void (*)(const std::uint8_t*, std::uint32_t*, int);
using GatherKernel = void (*)(const std::uint32_t*, const std::int32_t*, std::uint32_t*, int, int);

struct Chosen {
    BgrKernel bgr = bgr_plain;
    GatherKernel gather = gather_plain;
    bool blocks = false;
};

const Chosen& chosen() {
    static const Chosen c = [] {
        Chosen k;
#ifdef REELMIX_X86
        __builtin_cpu_init();
        if (__builtin_cpu_supports("ssse3")) k.bgr = bgr_ssse3;
        if (__builtin_cpu_supports("avx2")) {
            k.gather = gather_avx2;
            k.blocks = true;
        }
#endif
        return k;
    }();
    return c;
}

}  // namespace

void bgr_to_rgb32(const std::uint8_t* s, std::uint32_t* d, int n) { chosen().bgr(s, d, n); }

int gatherable_blocks(const std::int32_t* column, int n, int src_width) {
    if (!chosen().blocks) return 0;
    int b = 0;
    for (int x = 0; x + 8 <= n; x += 8, ++b) {
        if (column[x] < 0 || column[x] + 8 > src_width) return b;
        for (int i = 1; i < 8; ++i)
            if (column[x + i] < column[x] || column[x + i] >= column[x] + 8) return b;
    }
    return b;
}

void gather(const std::uint32_t* s, const std::int32_t* column, std::uint32_t* d, int n, int blocks) {
    chosen().gather(s, column, d, n, blocks);
}

}  // namespace reelmix::kernels
