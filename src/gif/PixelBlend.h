#pragma once

#include <QRgb>

#if defined(__x86_64__)
#include <immintrin.h>
#define KELVARO_HAVE_AVX2_PATH 1
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

// The blends of the frame drawing, defined bit for bit: doubles are combined in the grouping
// written, and every file that includes this one is compiled without fused multiply-adds.
namespace kelvaro {

// The bilinear blend of four pixels, channel by channel:
// trunc((P11 fx + P01 (1 - fx)) fy + (P10 fx + P00 (1 - fx)) (1 - fy)).
inline QRgb Bilinear(QRgb p00, QRgb p10, QRgb p01, QRgb p11, double fx, double fy) {
    const double gx = 1.0 - fx;
    const double gy = 1.0 - fy;
#if defined(__SSE2__)
    // Two channels a register; each lane does the scalar operations in the same order.
    const __m128i zero = _mm_setzero_si128();
    const auto widen = [&](QRgb p, __m128d& blueGreen, __m128d& redAlpha) {
        const __m128i c =
            _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(int(p)), zero), zero);
        blueGreen = _mm_cvtepi32_pd(c);
        redAlpha = _mm_cvtepi32_pd(_mm_shuffle_epi32(c, 0xEE));
    };
    __m128d b00, r00, b10, r10, b01, r01, b11, r11;
    widen(p00, b00, r00);
    widen(p10, b10, r10);
    widen(p01, b01, r01);
    widen(p11, b11, r11);
    const __m128d vfx = _mm_set1_pd(fx), vgx = _mm_set1_pd(gx);
    const __m128d vfy = _mm_set1_pd(fy), vgy = _mm_set1_pd(gy);
    const auto blend = [&](__m128d c00, __m128d c10, __m128d c01, __m128d c11) {
        const __m128d far = _mm_mul_pd(_mm_add_pd(_mm_mul_pd(c11, vfx), _mm_mul_pd(c01, vgx)), vfy);
        const __m128d near =
            _mm_mul_pd(_mm_add_pd(_mm_mul_pd(c10, vfx), _mm_mul_pd(c00, vgx)), vgy);
        return _mm_cvttpd_epi32(_mm_add_pd(far, near));
    };
    const __m128i bgra = _mm_unpacklo_epi64(blend(b00, b10, b01, b11), blend(r00, r10, r01, r11));
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(bgra, bgra), zero);
    return QRgb(_mm_cvtsi128_si32(bytes)) | 0xff000000u;
#else
    const auto blend = [&](int shift) {
        const double c00 = double((p00 >> shift) & 0xff);
        const double c10 = double((p10 >> shift) & 0xff);
        const double c01 = double((p01 >> shift) & 0xff);
        const double c11 = double((p11 >> shift) & 0xff);
        return QRgb(static_cast<int>((c11 * fx + c01 * gx) * fy + (c10 * fx + c00 * gx) * gy));
    };
    return 0xff000000u | (blend(16) << 16) | (blend(8) << 8) | blend(0);
#endif
}

#if defined(KELVARO_HAVE_AVX2_PATH)
// The same blend with all four channels in one 256-bit register, for processors that have AVX2;
// each lane does the scalar operations in the same order, so the result is the same.
[[gnu::target("avx2")]] inline __m256d WidenChannels(QRgb p) {
    return _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(int(p))));
}

[[gnu::target("avx2")]] inline QRgb BilinearAvx2(QRgb p00, QRgb p10, QRgb p01, QRgb p11, double fx,
                                                 double fy) {
    const __m256d vfx = _mm256_set1_pd(fx), vgx = _mm256_set1_pd(1.0 - fx);
    const __m256d vfy = _mm256_set1_pd(fy), vgy = _mm256_set1_pd(1.0 - fy);
    const __m256d far = _mm256_mul_pd(_mm256_add_pd(_mm256_mul_pd(WidenChannels(p11), vfx),
                                                    _mm256_mul_pd(WidenChannels(p01), vgx)),
                                      vfy);
    const __m256d near = _mm256_mul_pd(_mm256_add_pd(_mm256_mul_pd(WidenChannels(p10), vfx),
                                                     _mm256_mul_pd(WidenChannels(p00), vgx)),
                                       vgy);
    const __m128i channels = _mm256_cvttpd_epi32(_mm256_add_pd(far, near));
    const __m128i words = _mm_packus_epi32(channels, channels);
    return QRgb(_mm_cvtsi128_si32(_mm_packus_epi16(words, words))) | 0xff000000u;
}
#endif

} // namespace kelvaro
