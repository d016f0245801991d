// AVX2 passes of the scaled bitmap transfer. Compiled with -mavx2 and called only after the
// run-time check; this file uses nothing inline from shared headers, so no AVX2 code can stand in
// for a portable function at link time.
#include "li2bmp_passes.h"

#include <immintrin.h>

#include <cstring>

namespace parvel {
namespace {

/// Eight int32 sums divided by 2048, truncated toward zero (negative sums are biased by 2047).
inline __m256i divide2048(__m256i s)
{
    const __m256i bias = _mm256_and_si256(_mm256_srai_epi32(s, 31), _mm256_set1_epi32(2047));
    return _mm256_srai_epi32(_mm256_add_epi32(s, bias), 11);
}

inline int32_t loadPair(const int16_t* p)
{
    int32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Each destination pixel fetches its neighbour pair as one 32-bit word (scalar loads beat the
// hardware gather here) and one multiply-add forms P0 * (2048 - w) + P1 * w exactly. A reduction
// jumps between source rows, so the row is prefetched a few cache lines ahead.
void horizontalAvx2(const int16_t* row, const int32_t* col, const uint32_t* weightPairs,
                    int32_t pairCount, int32_t count, int32_t* out)
{
    int32_t x = 0;
    for (; x + 8 <= pairCount; x += 8) {
        const int32_t* c = col + x;
        if (x + 64 < pairCount) _mm_prefetch(reinterpret_cast<const char*>(row + col[x + 64]), _MM_HINT_T0);
        const __m256i pairs = _mm256_setr_epi32(loadPair(row + c[0]), loadPair(row + c[1]),
                                                loadPair(row + c[2]), loadPair(row + c[3]),
                                                loadPair(row + c[4]), loadPair(row + c[5]),
                                                loadPair(row + c[6]), loadPair(row + c[7]));
        const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(weightPairs + x));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), divide2048(_mm256_madd_epi16(pairs, w)));
    }
    for (; x < pairCount; ++x) {
        const int32_t w = static_cast<int32_t>(weightPairs[x] >> 16);
        const int16_t* p = row + col[x];
        out[x] = (p[0] * (2048 - w) + p[1] * w) / 2048;
    }
    for (; x < count; ++x) out[x] = row[col[x]];
}

// The blended values of the whole row are packed to Int16 first and mapped through the table in a
// second, scalar loop: table look-ups are gathers, and reading values stored long before avoids
// waiting on store forwarding.
void verticalAvx2(const int32_t* top, const int32_t* bottom, int32_t wy, int32_t count,
                  const uint8_t* lut, uint8_t* out)
{
    alignas(32) int16_t v[kMaxStrip];
    const __m256i weight = _mm256_set1_epi32(wy);
    int32_t x = 0;
    for (; x + 16 <= count; x += 16) {
        __m256i blended[2];
        for (int i = 0; i < 2; ++i) {
            const __m256i t = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(top + x + 8 * i));
            const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bottom + x + 8 * i));
            // top * (2048 - wy) + bottom * wy == top * 2048 + (bottom - top) * wy exactly in int32
            blended[i] = divide2048(_mm256_add_epi32(_mm256_slli_epi32(t, 11),
                                                     _mm256_mullo_epi32(_mm256_sub_epi32(b, t), weight)));
        }
        // the values lie in the Int16 range, so packing saturates nothing
        const __m256i packed = _mm256_permute4x64_epi64(_mm256_packs_epi32(blended[0], blended[1]),
                                                        _MM_SHUFFLE(3, 1, 2, 0));
        _mm256_store_si256(reinterpret_cast<__m256i*>(v + x), packed);
    }
    for (; x < count; ++x) v[x] = static_cast<int16_t>((top[x] * (2048 - wy) + bottom[x] * wy) / 2048);
    for (int32_t i = 0; i < count; ++i) out[i] = lut[v[i]];
}

} // namespace

Li2bmpPasses li2bmpAvx2Passes()
{
    return {horizontalAvx2, verticalAvx2};
}

} // namespace parvel
