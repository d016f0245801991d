#pragma once
// The 8 x 8 float transpose of the AVX2 passes (the transform's last stages, the noise spectrum's
// passes). Only files compiled with -mavx2 may include it; every one of them gets its own copy
// (internal linkage), so no AVX2 code can ever be linked into a portable path.

#ifndef __AVX2__
#error "transpose8_avx2.h is for files compiled with -mavx2 (*_avx2.cpp) only"
#endif

#include <immintrin.h>

namespace vantry::simd {

/// r[i][j] = r[j][i] for an 8 x 8 block of floats.
static inline void transpose8(__m256 r[8])
{
    __m256 t[8];
    for (int i = 0; i < 8; i += 2) {
        t[i] = _mm256_unpacklo_ps(r[i], r[i + 1]);
        t[i + 1] = _mm256_unpackhi_ps(r[i], r[i + 1]);
    }
    __m256 u[8];
    for (int i = 0; i < 8; i += 4) {
        u[i] = _mm256_shuffle_ps(t[i], t[i + 2], _MM_SHUFFLE(1, 0, 1, 0));
        u[i + 1] = _mm256_shuffle_ps(t[i], t[i + 2], _MM_SHUFFLE(3, 2, 3, 2));
        u[i + 2] = _mm256_shuffle_ps(t[i + 1], t[i + 3], _MM_SHUFFLE(1, 0, 1, 0));
        u[i + 3] = _mm256_shuffle_ps(t[i + 1], t[i + 3], _MM_SHUFFLE(3, 2, 3, 2));
    }
    for (int i = 0; i < 4; ++i) {
        r[i] = _mm256_permute2f128_ps(u[i], u[i + 4], 0x20);
        r[i + 4] = _mm256_permute2f128_ps(u[i], u[i + 4], 0x31);
    }
}

} // namespace vantry::simd
