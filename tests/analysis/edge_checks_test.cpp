// The shared checks of an edge measurement: robust levels, the "no edge" refusal and the warnings,
// each at the thresholds its comment names.
#include "edge_checks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

using namespace vantry;

namespace {

bool isWarning(const std::string& text)
{
    return text.rfind("warning ", 0) == 0;
}

/// A plateau of n values alternating level - d and level + d: median level, MAD d.
std::vector<double> plateau(size_t n, double level, double d)
{
    std::vector<double> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = level + (i % 2 ? d : -d);
    return v;
}

TEST(PreciseEdgeChecks, RobustLevelIsTheMedianAndScaledMadAndIgnoresDefects)
{
    const RobustLevel odd = robustLevel({4, 1, 100, 3, 2});
    EXPECT_EQ(odd.median, 3);
    EXPECT_DOUBLE_EQ(odd.spread, 1.4826); // deviations 1 2 97 0 1: MAD 1
    const RobustLevel even = robustLevel({1, 2, 3, 4});
    EXPECT_EQ(even.median, 2.5);
    EXPECT_DOUBLE_EQ(even.spread, 1.4826); // deviations 1.5 0.5 0.5 1.5: MAD 1
    const RobustLevel none = robustLevel({});
    EXPECT_EQ(none.median, 0);
    EXPECT_EQ(none.spread, 0);

    // A hot row (a tenth of the block at 30000) and a dead column (another tenth at 0) move
    // neither the median nor the spread.
    std::vector<double> block = plateau(1000, 1000, 10);
    for (size_t i = 0; i < 100; ++i) block[i * 10] = 30000;
    for (size_t i = 0; i < 100; ++i) block[i * 10 + 5] = 0;
    const RobustLevel level = robustLevel(block);
    EXPECT_EQ(level.median, 1000);
    EXPECT_DOUBLE_EQ(level.spread, 14.826);
}

TEST(PreciseEdgeChecks, NoEdgeWhenTheMediansDifferByNoMoreThanTheSpread)
{
    const RobustLevel low{100, 10}, high{115, 20};
    EXPECT_EQ(noEdgeRefusal(low, high),
              "There is no edge in the ROI: the medians of the two ends, 100 and 115, differ by "
              "15, no more than the spread of their pixels (15, 1.4826 x the median absolute "
              "deviation). Place the ROI across the edge.");
    EXPECT_EQ(noEdgeRefusal({100, 10}, {115.01, 20}), "");
    EXPECT_EQ(noEdgeRefusal({115.01, 20}, {100, 10}), "") << "a falling edge is an edge";
    EXPECT_NE(noEdgeRefusal({1000, 0}, {1000, 0}), "") << "a noiseless flat field";
    EXPECT_EQ(noEdgeRefusal({1000, 0}, {1001, 0}), "") << "a noiseless edge";
}

TEST(PreciseEdgeChecks, ContrastToNoiseAndItsWarning)
{
    EXPECT_DOUBLE_EQ(contrastToNoise({100, 10}, {300, 30}), 10);
    EXPECT_DOUBLE_EQ(contrastToNoise({300, 30}, {100, 10}), 10);
    EXPECT_EQ(contrastToNoise({100, 0}, {300, 0}), std::numeric_limits<double>::infinity());

    EXPECT_EQ(lowCnrWarning(31.2), "warning the contrast-to-noise ratio is 31.2, under 50: the "
                                   "MTF is noisy; use a higher dose or a longer ROI along the edge");
    EXPECT_TRUE(isWarning(lowCnrWarning(49.99)));
    EXPECT_EQ(lowCnrWarning(50), "");
    EXPECT_EQ(lowCnrWarning(std::numeric_limits<double>::infinity()), "");
}

TEST(PreciseEdgeChecks, ClippedOnlyAtTheEndsOfThe16BitRangeAndWithinTheCount)
{
    const std::vector<int16_t> top{100, 32767, 200}, bottom{-32768, 100};
    const std::vector<int16_t> inside{32766, -32767, 0};
    EXPECT_TRUE(isWarning(clippedWarning(top.data(), top.size())));
    EXPECT_NE(clippedWarning(top.data(), top.size()).find("1 of 3 pixels"), std::string::npos);
    EXPECT_TRUE(isWarning(clippedWarning(bottom.data(), bottom.size())));
    EXPECT_EQ(clippedWarning(inside.data(), inside.size()), "");
    EXPECT_EQ(clippedWarning(top.data(), 1), "") << "the clipped pixel lies beyond the count";
    EXPECT_EQ(clippedWarning(nullptr, 0), "");
}

TEST(PreciseEdgeChecks, OvershootOnlyBelowHalfTheNyquistFrequency)
{
    // Nyquist 5 cycles/mm: half of it is 2.5.
    const std::vector<double> freq{0, 1, 2.4, 2.5, 3};
    EXPECT_EQ(overshootWarning(freq, {1, 1.05, 1.04, 1.3, 1.3}, 5), "")
        << "1.05 itself is allowed, and 2.5 is not below half the Nyquist frequency";
    const std::string w = overshootWarning(freq, {1, 1.02, 1.051, 1.3, 1.3}, 5);
    EXPECT_TRUE(isWarning(w));
    EXPECT_NE(w.find("1.051 at 2.4 cycles/mm"), std::string::npos) << w;
    EXPECT_EQ(overshootWarning(freq, {1, 1.1}, 1), "") << "2.4 and beyond are not below 0.5";
    EXPECT_TRUE(isWarning(overshootWarning(freq, {1, 1.1}, 5))) << "shorter curve, no overrun";
}

TEST(PreciseEdgeChecks, TruncationWhenTheOuterTenthMovesByOnePercentAndMoreThanNoise)
{
    // A levelled ESF (an erf edge 5 samples wide in 101) and a cut one (300 samples wide).
    std::vector<double> levelled(101), cut(101);
    for (size_t i = 0; i < 101; ++i) {
        levelled[i] = 0.5 * std::erfc(-(static_cast<double>(i) - 50) / 5);
        cut[i] = 0.5 * std::erfc(-(static_cast<double>(i) - 50) / 300);
    }
    EXPECT_EQ(truncationWarning(levelled, 0), "");
    EXPECT_TRUE(isWarning(truncationWarning(cut, 0)));

    // A straight ramp 0 .. 1 over 101 samples: the outer tenths (10 samples) move by 0.09 and
    // their means differ by 0.91; the fitted change has standard error 9 noise / sqrt(82.5).
    std::vector<double> ramp(101);
    for (size_t i = 0; i < 101; ++i) ramp[i] = static_cast<double>(i) / 100;
    EXPECT_NE(truncationWarning(ramp, 0.03).find("both ends"), std::string::npos);
    EXPECT_EQ(truncationWarning(ramp, 0.031), "") << "0.09 is within 3 standard errors";

    // Levelled ends that move by 0.8 % or 1.2 % of the contrast over their outer tenth.
    for (double move : {0.008, 0.012}) {
        std::vector<double> esf(100, 0.0);
        for (size_t i = 0; i < 10; ++i) esf[i] = -move * (9 - static_cast<double>(i)) / 9;
        for (size_t i = 10; i < 100; ++i) esf[i] = 1;
        // Contrast: 1 minus the mean of the first tenth, -move / 2.
        const bool warned = isWarning(truncationWarning(esf, 0));
        EXPECT_EQ(warned, move / (1 + move / 2) > 0.01) << move;
    }
}

/// n samples at 8 a pixel: 0 before `from`, 1 after `to`, a straight rise between.
std::vector<double> rampEsf(size_t n, double from, double to)
{
    std::vector<double> esf(n);
    for (size_t i = 0; i < n; ++i) {
        const double x = (static_cast<double>(i) + 0.5) / 8;
        esf[i] = std::clamp((x - from) / (to - from), 0.0, 1.0);
    }
    return esf;
}

TEST(PreciseEdgeChecks, StepShapeWarnsForARampAndForABar)
{
    // A 30-pixel profile: a rise of 12 pixels has its middle 80 % in 9.6 pixels, under a
    // third (10); one of 13 pixels in 10.4.
    EXPECT_EQ(stepShapeWarning(rampEsf(240, 9, 21), 8), "");
    const std::string ramp = stepShapeWarning(rampEsf(240, 8.5, 21.5), 8);
    EXPECT_TRUE(isWarning(ramp));
    EXPECT_NE(ramp.find("ramp"), std::string::npos) << ramp;
    EXPECT_EQ(stepShapeWarning(rampEsf(240, 14.9, 15.1), 8), "") << "a sharp step";

    // A bar: up to 1 + x, then down to 1. Rise and fall 1 + 2 x against a net rise of 1: a
    // warning when x exceeds a quarter.
    for (double x : {0.2, 0.3}) {
        std::vector<double> bar = rampEsf(240, 10, 10.5);
        for (size_t i = 0; i < bar.size(); ++i) {
            if (i >= 96 && i < 160) bar[i] = 1 + x;
        }
        const std::string w = stepShapeWarning(bar, 8);
        EXPECT_EQ(isWarning(w), x > 0.25) << x << ": " << w;
        if (x > 0.25) {
            EXPECT_NE(w.find("rises and falls"), std::string::npos);
        }
    }
    EXPECT_EQ(stepShapeWarning({}, 8), "");
    EXPECT_EQ(stepShapeWarning(std::vector<double>(80, 5.0), 8), "") << "no rise at all";
}

} // namespace
