/* Trifol: a second, separately shipped radix-2 FFT with the same results as fft4 of Fourel. */
#ifndef TRIFOL_H
#define TRIFOL_H

#include <stdint.h>

#if defined(VANTRY_KERNEL_BUILD)
#define TRIFOL_API __attribute__((visibility("default")))
#else
#define TRIFOL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/// In-place radix-2 complex FFT, bit-identical to fft4 for the same arguments. Callers must not
/// rely on it being reentrant. A length that is not 2^m (1 <= m <= 14) touches nothing.
TRIFOL_API void tfft(int16_t n, int16_t m, float* re, float* im, float* sinTab, float* cosTab,
                     int16_t sign);

#ifdef __cplusplus
}
#endif

#endif /* TRIFOL_H */
