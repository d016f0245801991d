/* Fourel: the program's fast Fourier transform and the helpers around it.
 *
 * Every entry point takes its arguments by value (arrays by the address of their first element),
 * returns nothing, allocates nothing on the heap and keeps no state between calls.
 * Int16 = int16_t, Int32 = int32_t, Single = float. */
#ifndef FOUREL_H
#define FOUREL_H

#include <stdint.h>

#if defined(VANTRY_KERNEL_BUILD)
#define FOUREL_API __attribute__((visibility("default")))
#else
#define FOUREL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/// In-place radix-2 complex FFT of length n = 2^m (1 <= m <= 14) on separate re/im arrays, natural
/// order in and out. sinTab/cosTab hold sin and cos of 2 pi k / n for k < n/2. sign = +1 is the
/// forward transform (kernel exp(-2 pi i k j / n)), sign = -1 the inverse, which divides by n.
/// A length that is not 2^m touches nothing.
FOUREL_API void fft4(int16_t n, int16_t m, float* re, float* im, float* sinTab, float* cosTab,
                     int16_t sign);
/// Filters a 512 x 512 Int16 image in place through its frequency plane, multiplied by the real
/// filter (zero frequency at index 0). re/im (512 x 512 each) are working storage; the tables are
/// those of length 512.
FOUREL_API void ct2dfft(int16_t* img, float* re, float* im, float* filter, float* sinTab,
                        float* cosTab);
/// Forward 256-point transform of the first n (<= 256) elements, the rest taken as zero; the
/// tables are those of length 256. The two Int32 arguments are not used.
FOUREL_API void fft5(int16_t n, int32_t unused1, float* re, float* im, float* sinTab,
                     float* cosTab, int32_t unused2);
/// dst[0] = src[0], one 32-bit word.
FOUREL_API void var4test(int32_t* dst, int32_t* src);

#ifdef __cplusplus
}
#endif

#endif /* FOUREL_H */
