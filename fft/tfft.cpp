// Trifol's transform: the same butterflies and permutation as fft4, written with 16-bit indices
// and counters. Its scratch is local to the call.
#include "trifol.h"

namespace {

void swapAt(float* a, int16_t i, int16_t j)
{
    const float t = a[i];
    a[i] = a[j];
    a[j] = t;
}

} // namespace

extern "C" void tfft(int16_t n, int16_t m, float* re, float* im, float* sinTab, float* cosTab,
                     int16_t sign)
{
    if (m < 1 || m > 14 || n != static_cast<int16_t>(1 << m)) return;
    const auto sgn = static_cast<float>(sign);
    int16_t h = n;
    int16_t b = 1;
    for (int16_t stage = 0; stage < m; ++stage) {
        h = static_cast<int16_t>(h / 2);
        for (int16_t s = 0; s < n; s = static_cast<int16_t>(s + 2 * h)) {
            for (int16_t t = 0; t < h; ++t) {
                const auto u = static_cast<int16_t>(s + t);
                const auto v = static_cast<int16_t>(u + h);
                const float e = re[u] - re[v];
                const float g = im[u] - im[v];
                re[u] = re[u] + re[v];
                im[u] = im[u] + im[v];
                if (t == 0) {
                    re[v] = e;
                    im[v] = g;
                } else {
                    const auto k = static_cast<int16_t>(t * b);
                    re[v] = e * cosTab[k] + sgn * g * sinTab[k];
                    im[v] = g * cosTab[k] - sgn * e * sinTab[k];
                }
            }
        }
        b = static_cast<int16_t>(b * 2);
    }

    int16_t j = static_cast<int16_t>(n / 2);
    for (int16_t i = 1; i < n; ++i) {
        if (j < i) {
            swapAt(re, i, j);
            swapAt(im, i, j);
        }
        auto half = static_cast<int16_t>(n / 2);
        while (half > 0 && half <= j) {
            j = static_cast<int16_t>(j - half);
            half = static_cast<int16_t>(half / 2);
        }
        j = static_cast<int16_t>(j + half);
    }

    if (sign == -1) {
        const auto count = static_cast<float>(n);
        for (int16_t i = 0; i < n; ++i) {
            re[i] = re[i] / count;
            im[i] = im[i] / count;
        }
    }
}
