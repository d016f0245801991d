#pragma once
// The radix-2 transform behind fft4, in a plain and an AVX2 version that give identical bits.

#include <cstdint>

namespace fourel {

/// True for the lengths the transform accepts: n = 2^m with 1 <= m <= 14.
bool validLength(int n, int m);

/// The written algorithm executed element by element in Single: decimation-in-frequency butterfly
/// stages, then the reversed-binary permutation, then division by n for sign = -1.
void fft4Plain(int n, int m, float* re, float* im, const float* sinTab, const float* cosTab,
               int sign);

/// The same transform vectorised across independent butterflies, three or two stages per pass and
/// the last three stages fused with the permutation. Needs AVX2, n >= 64 and sign = +1 or -1.
void fft4Avx2(int n, int m, float* re, float* im, const float* sinTab, const float* cosTab,
              int sign);

/// The fastest version this processor runs for these arguments.
void fft4Fast(int n, int m, float* re, float* im, const float* sinTab, const float* cosTab,
              int sign);

} // namespace fourel
