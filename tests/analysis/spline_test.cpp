// The natural cubic spline through the working curve, against hand-solved and independently
// solved splines.
#include "spline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

using namespace vantry;

namespace {

WorkingCurve curveOf(const std::vector<float>& x, const std::vector<float>& y)
{
    WorkingCurve w;
    loadWorkingCurve(w, x.data(), y.data(), static_cast<int32_t>(x.size()));
    return w;
}

/// Second derivative of interval i's cubic at its local dx.
float secondDerivative(const WorkingCurve& w, int i, float dx)
{
    return 2 * w.SPLCOEF[i][2] + 6 * w.SPLCOEF[i][3] * dx;
}

/// A natural spline solved independently, in double, through its second derivatives M_i
/// (h_i M_(i-1) + 2 (h_i + h_(i+1)) M_i + h_(i+1) M_(i+1) = 6 (s_(i+1) - s_i), M_0 = M_(n-1) = 0).
double naturalSpline(const std::vector<double>& x, const std::vector<double>& y, double at)
{
    const size_t n = x.size();
    std::vector<double> h(n), s(n), M(n, 0.0), diag(n), rhs(n);
    for (size_t i = 1; i < n; ++i) {
        h[i] = x[i] - x[i - 1];
        s[i] = (y[i] - y[i - 1]) / h[i];
    }
    for (size_t i = 1; i + 1 < n; ++i) {
        diag[i] = 2 * (h[i] + h[i + 1]);
        rhs[i] = 6 * (s[i + 1] - s[i]);
    }
    for (size_t i = 2; i + 1 < n; ++i) {
        const double f = h[i] / diag[i - 1];
        diag[i] -= f * h[i];
        rhs[i] -= f * rhs[i - 1];
    }
    for (size_t i = n - 2; i >= 1; --i) M[i] = (rhs[i] - h[i + 1] * M[i + 1]) / diag[i];
    size_t i = 1;
    while (i < n - 1 && at > x[i]) ++i;
    const double t = at - x[i - 1], u = x[i] - at;
    return M[i - 1] * u * u * u / (6 * h[i]) + M[i] * t * t * t / (6 * h[i]) +
           (y[i - 1] / h[i] - M[i - 1] * h[i] / 6) * u + (y[i] / h[i] - M[i] * h[i] / 6) * t;
}

TEST(Spline, ZigZagOfFourPointsHasItsHandSolvedValuesAndNaturalEnds)
{
    WorkingCurve w = curveOf({0, 1, 2, 3}, {0, 1, 0, 1});
    EXPECT_NEAR(splineAt(w, 1.0f), 1.0f, 1e-6f);
    EXPECT_NEAR(splineAt(w, 0.5f), 0.75f, 1e-6f);
    EXPECT_NEAR(secondDerivative(w, 0, 0.0f), 0.0f, 1e-5f);
    EXPECT_NEAR(secondDerivative(w, 2, 1.0f), 0.0f, 1e-5f);
    // Second derivatives agree where two cubics meet.
    EXPECT_NEAR(secondDerivative(w, 0, 1.0f), secondDerivative(w, 1, 0.0f), 1e-5f);
    EXPECT_NEAR(secondDerivative(w, 1, 1.0f), secondDerivative(w, 2, 0.0f), 1e-5f);
}

TEST(Spline, PassesThroughEveryPointOfAnUnevenCurve)
{
    std::vector<float> x, y;
    for (int i = 0; i < 31; ++i) {
        x.push_back(0.1f * static_cast<float>(i) + 0.013f * static_cast<float>(i % 3));
        y.push_back(std::exp(-x.back()) * std::cos(3 * x.back()));
    }
    WorkingCurve w = curveOf(x, y);
    for (size_t k = 0; k < x.size(); ++k) EXPECT_NEAR(splineAt(w, x[k]), y[k], 2e-6f) << k;
}

TEST(Spline, MatchesAnIndependentlySolvedNaturalSpline)
{
    std::vector<float> x, y;
    std::vector<double> xd, yd;
    for (int i = 0; i < 25; ++i) {
        x.push_back(0.125f * static_cast<float>(i));
        y.push_back(std::log10(1e-6f * (1.0f + 0.3f * static_cast<float>((i * 7) % 5))));
        xd.push_back(x.back());
        yd.push_back(y.back());
    }
    WorkingCurve w = curveOf(x, y);
    for (double at = 0.01; at < 3.0; at += 0.037) {
        // single-precision build and evaluation of values near -6: a few units of 1e-6
        EXPECT_NEAR(splineAt(w, static_cast<float>(at)), naturalSpline(xd, yd, at), 2e-5) << at;
    }
}

TEST(Spline, UnevenGridMatchesNumpysSolutionOfTheNaturalSpline)
{
    // Steps from 0.04 to 0.78 mm^-1, as a curve resampled from mixed measurements has them. The
    // values were computed with numpy (numpy.linalg.solve of the full system of the second
    // derivatives, M_0 = M_9 = 0) in double precision.
    WorkingCurve w = curveOf({0, 0.07f, 0.31f, 0.35f, 0.9f, 1.0f, 1.62f, 2.4f, 2.45f, 3.0f},
                             {1.0f, 0.96f, 0.83f, 0.79f, 0.52f, 0.47f, 0.30f, 0.12f, 0.13f, 0.05f});
    const std::vector<std::pair<float, double>> numpy = {
        {0.02f, 0.9879836575893957}, {0.2f, 0.9033516669096857},  {0.33f, 0.8102763432082596},
        {0.6f, 0.6283695941473344},  {0.95f, 0.49517370857392473}, {1.3f, 0.37225327921929074},
        {2.0f, 0.167312189716904},   {2.43f, 0.12601374570525967}, {2.8f, 0.1078758768527251},
        {3.3f, -0.028589538775711562}};
    for (const auto& [at, expected] : numpy) EXPECT_NEAR(splineAt(w, at), expected, 2e-6) << at;
}

TEST(Spline, OutsideTheCurveExtrapolatesOnTheEndCubics)
{
    WorkingCurve w = curveOf({0, 1, 2, 3}, {0, 1, 0, 1});
    const auto onCubic = [&](int i, float dx) {
        const auto& c = w.SPLCOEF[i];
        return c[0] + dx * (c[1] + dx * (c[2] + dx * c[3]));
    };
    EXPECT_FLOAT_EQ(splineAt(w, -0.5f), onCubic(0, -0.5f));
    EXPECT_FLOAT_EQ(splineAt(w, 4.0f), onCubic(2, 2.0f));
    EXPECT_GT(std::fabs(splineAt(w, 4.0f) - 1.0f), 0.1f) << "no clamping to the last point";
}

TEST(Spline, OtherModesLeaveTheValueAlone)
{
    WorkingCurve w = curveOf({0, 1, 2, 3}, {0, 1, 0, 1});
    float x = 0.5f, y = 42.0f;
    SPLINE(w, x, y, 3);
    EXPECT_EQ(y, 42.0f);
    SPLINE(w, x, y, 2);
    EXPECT_NEAR(y, 0.75f, 1e-6f);
}

} // namespace
