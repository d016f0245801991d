// The transform exactly as written: every butterfly in Single, in stage order.
#include "fft4_impl.h"

#include <utility>

namespace fourel {

bool validLength(int n, int m)
{
    return m >= 1 && m <= 14 && n == (1 << m);
}

void fft4Plain(int n, int m, float* re, float* im, const float* sinTab, const float* cosTab,
               int sign)
{
    const auto sgn = static_cast<float>(sign);
    int h = n;
    int b = 1;
    for (int stage = 0; stage < m; ++stage) {
        h /= 2;
        for (int s = 0; s < n; s += 2 * h) {
            for (int t = 0; t < h; ++t) {
                const int u = s + t;
                const int v = u + h;
                const float e = re[u] - re[v];
                const float g = im[u] - im[v];
                re[u] = re[u] + re[v];
                im[u] = im[u] + im[v];
                if (t == 0) {
                    re[v] = e;
                    im[v] = g;
                } else {
                    const int k = t * b;
                    re[v] = e * cosTab[k] + sgn * g * sinTab[k];
                    im[v] = g * cosTab[k] - sgn * e * sinTab[k];
                }
            }
        }
        b *= 2;
    }

    int j = n / 2;
    for (int i = 1; i < n; ++i) {
        if (j < i) {
            std::swap(re[i], re[j]);
            std::swap(im[i], im[j]);
        }
        int half = n / 2;
        while (half <= j && half > 0) {
            j -= half;
            half /= 2;
        }
        j += half;
    }

    if (sign == -1) {
        const auto count = static_cast<float>(n);
        for (int i = 0; i < n; ++i) {
            re[i] = re[i] / count;
            im[i] = im[i] / count;
        }
    }
}

} // namespace fourel
