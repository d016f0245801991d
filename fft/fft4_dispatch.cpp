// Chooses between the AVX2 and the plain transform; both give identical bits.
#include "cpu_features.h"
#include "fft4_impl.h"

namespace fourel {

void fft4Fast(int n, int m, float* re, float* im, const float* sinTab, const float* cosTab,
              int sign)
{
    // The vector version covers the lengths the program uses (64 and more) and the two signs; the
    // rest are short enough for the plain loop.
    if (n >= 64 && (sign == 1 || sign == -1) && vantry_kernels::cpuHasAvx2()) {
        fft4Avx2(n, m, re, im, sinTab, cosTab, sign);
    } else {
        fft4Plain(n, m, re, im, sinTab, cosTab, sign);
    }
}

} // namespace fourel
