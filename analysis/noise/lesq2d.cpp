#include "lesq2d.h"

#include <array>
#include <cstddef>

namespace vantry {

void solveSurfaceEquations(double (&M)[6][7])
{
    // Gauss-Jordan without pivoting: the normal matrix of a full grid is positive definite.
    for (int k = 0; k < 6; ++k) {
        const double pivot = M[k][k];
        for (int c = k; c < 7; ++c) M[k][c] /= pivot;
        for (int r = 0; r < 6; ++r) {
            if (r == k) continue;
            const double factor = M[r][k];
            for (int c = 0; c < 7; ++c) M[r][c] -= factor * M[k][c];
        }
    }
}

void LESQ2D(const float* a, float* f, int32_t n)
{
    if (n <= 0) return;
    if (n < 3) {
        // Too few points a side for a unique surface: the level alone is the trend.
        double sum = 0;
        for (int32_t i = 0; i < n * n; ++i) sum += a[i];
        for (int32_t i = 0; i < n * n; ++i) f[i] = static_cast<float>(sum / (n * n));
        return;
    }
    // Moment sums over the raw indices reach n^6 (about 2.8e14 for n = 256): only double holds
    // them with the digits the elimination needs.
    double M[6][7] = {};
    for (int32_t y = 0; y < n; ++y) {
        for (int32_t x = 0; x < n; ++x) {
            const double X = x, Y = y, z = a[static_cast<std::size_t>(y) * n + x];
            const std::array<double, 6> b{1.0, X, Y, X * X, X * Y, Y * Y};
            for (int r = 0; r < 6; ++r) {
                for (int c = r; c < 6; ++c) M[r][c] += b[r] * b[c];
                M[r][6] += b[r] * z;
            }
        }
    }
    for (int r = 0; r < 6; ++r) {
        for (int c = 0; c < r; ++c) M[r][c] = M[c][r];
    }
    solveSurfaceEquations(M);
    for (int32_t y = 0; y < n; ++y) {
        for (int32_t x = 0; x < n; ++x) {
            const double X = x, Y = y;
            f[static_cast<std::size_t>(y) * n + x] = static_cast<float>(
                M[0][6] + M[1][6] * X + M[2][6] * Y + M[3][6] * X * X + M[4][6] * X * Y +
                M[5][6] * Y * Y);
        }
    }
}

} // namespace vantry
