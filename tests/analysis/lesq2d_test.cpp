// The quadratic surface fit that removes a flat field's trend.
#include "lesq2d.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

using namespace vantry;

namespace {

constexpr int32_t kN = 256;

std::vector<float> surface(double c0, double c1, double c2, double c3, double c4, double c5)
{
    std::vector<float> a(kN * kN);
    for (int y = 0; y < kN; ++y)
        for (int x = 0; x < kN; ++x)
            a[y * kN + x] =
                static_cast<float>(c0 + c1 * x + c2 * y + c3 * x * x + c4 * x * y + c5 * y * y);
    return a;
}

double largestDifference(const std::vector<float>& a, const std::vector<float>& b)
{
    double worst = 0;
    for (size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::fabs(double(a[i]) - b[i]));
    return worst;
}

TEST(Lesq2d, ReproducesAPlaneAndAFullQuadraticToSinglePrecision)
{
    std::vector<float> fit(kN * kN);
    const auto plane = surface(3, 2, -1, 0, 0, 0);
    LESQ2D(plane.data(), fit.data(), kN);
    // values up to 513: single-precision rounding of the input is 3e-5
    EXPECT_LT(largestDifference(plane, fit), 1e-3);

    const auto bowl = surface(1000, 0.5, -0.25, 1e-3, -2e-3, 4e-3);
    LESQ2D(bowl.data(), fit.data(), kN);
    EXPECT_LT(largestDifference(bowl, fit), 2e-3);
}

TEST(Lesq2d, ConstantGivesTheConstant)
{
    std::vector<float> fit(kN * kN);
    const auto flat = surface(3000, 0, 0, 0, 0, 0);
    LESQ2D(flat.data(), fit.data(), kN);
    EXPECT_LT(largestDifference(flat, fit), 1e-3);
}

TEST(Lesq2d, ResidualOfNoiseIsOrthogonalToEveryBasisFunction)
{
    std::vector<float> a(kN * kN), fit(kN * kN);
    uint32_t state = 12345;
    for (auto& v : a) {
        state = state * 1664525u + 1013904223u;
        v = 100.0f + static_cast<float>(state >> 8) / 16777216.0f;
    }
    LESQ2D(a.data(), fit.data(), kN);
    double moments[6] = {};
    for (int y = 0; y < kN; ++y)
        for (int x = 0; x < kN; ++x) {
            const double r = double(a[y * kN + x]) - fit[y * kN + x];
            const double b[6] = {1.0,           double(x),     double(y),
                                 double(x) * x, double(x) * y, double(y) * y};
            for (int i = 0; i < 6; ++i) moments[i] += r * b[i];
        }
    // Normal equations: each moment of the residual is 0 up to the single-precision storage of
    // the fit (about 4e-6 per value near 100), summed over 65536 points: a few 1e-4 of the
    // basis' largest value.
    const double scale[6] = {1.0, 255, 255, 65025, 65025, 65025};
    for (int i = 0; i < 6; ++i) EXPECT_LT(std::fabs(moments[i]) / scale[i], 1e-2) << i;
}

} // namespace
