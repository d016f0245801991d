// The exact bounds of the edge method: how the number of MTF points rounds, the clamps of the
// frequency step, how a V-filter answer rounds, the shortest LSF the centre search takes, and
// which comparisons take a sample lying exactly at the mid level.
#include "analysis_fixture.h"
#include "esf.h"
#include "lsf.h"
#include "mtf.h"

#include <cmath>
#include <string>
#include <vector>

using namespace vantry;

namespace {

/// A Gaussian-blurred edge along x at x0, moving by `slope` pixels of x per row.
std::vector<int16_t> blurred(int32_t w, int32_t h, double x0, double slope, double sigma)
{
    std::vector<int16_t> p(static_cast<size_t>(w) * h);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            const double u = (x + 0.5 - x0 - slope * (y + 0.5)) / sigma;
            p[static_cast<size_t>(y) * w + x] =
                static_cast<int16_t>(std::lround(1000 + 8000 * 0.5 * std::erfc(-u / std::sqrt(2.0))));
        }
    }
    return p;
}

class WrittenMethodBounds : public AnalysisFixture {
protected:
    /// A 300 x 128 ROI across a tilted edge, reprojected with the proposed tilt and differentiated
    /// with `vfilter` typed for the V-filter prompt.
    void toLsf(const char* vfilter)
    {
        loadWithRoi(400, 160, blurred(400, 160, 200, 0.06, 0.8), 50, 10, 300, 128);
        answer({ScriptedHost::kAcceptDefault, vfilter});
        DSPESF(v);
        ESFOK(v);
        ASSERT_TRUE(host.messages.empty()) << host.messages.front();
        ASSERT_EQ(v.r.DSPMODE, 2);
    }

    /// "MTF calc." with the two frequency answers; the stored points.
    int16_t points(const char* fmax, const char* fint)
    {
        freeNumber(1);
        answer({fmax, fint, "1"});
        MTFCLC(v);
        return v.r.MTFNUM[0];
    }
};

TEST_F(WrittenMethodBounds, PointCountRoundsTheRatioOfMaximumToStep)
{
    // 3 / 0.07 = 42.86: rounded 43 steps, 44 points (truncated it would be 43 points).
    toLsf("0");
    EXPECT_EQ(points("3", "0.07"), 44);
    EXPECT_FLOAT_EQ(v.r.MTFFRQ[0][43], 43 * 0.07f);
}

TEST_F(WrittenMethodBounds, StepAboveThreeTenthsIsClampedToThreeTenths)
{
    toLsf("0");
    EXPECT_EQ(points("3", "0.5"), 11);
    EXPECT_FLOAT_EQ(v.r.MTFFRQ[0][1], 0.3f);
    EXPECT_FLOAT_EQ(v.r.FINT, 0.3f);
    // And below 0.01 to 0.01, and the maximum into 1 .. 5.
    toLsf("0");
    EXPECT_EQ(points("0.5", "0.005"), 101);
    toLsf("0");
    EXPECT_EQ(points("9", "0.3"), 18);
}

TEST_F(WrittenMethodBounds, VFilterAnswerRoundsHalvesToEven)
{
    toLsf("0");
    const std::vector<float> unfiltered = v.r.LSF;
    for (const auto& [typed, rounded] : {std::pair{"1.5", 2}, std::pair{"0.5", 0}, std::pair{"2.5", 2}}) {
        toLsf(typed);
        EXPECT_EQ(v.r.VFON, rounded) << typed;
        EXPECT_EQ(v.r.LSF, unfiltered) << typed << " leaves the LSF unfiltered";
    }
    toLsf("1.4");
    EXPECT_EQ(v.r.VFON, 1);
    EXPECT_NE(v.r.LSF, unfiltered) << "1.4 rounds to 1: filtered";
}

TEST_F(WrittenMethodBounds, CentreSearchTakesAnLsfOfExactly200Bins)
{
    // A Gaussian LSF centred at 3.3 bins, 10 bins wide, in an LSF of 200 bins either side.
    v.r.NBIN = 300;
    v.r.LSF.assign(601, 0.0f);
    for (int32_t kk = -200; kk <= 200; ++kk) {
        v.r.LSF[static_cast<size_t>(kk + 300)] = static_cast<float>(std::exp(-0.5 * std::pow((kk - 3.3) / 10, 2)));
    }
    v.r.NLSF = 200;
    EXPECT_EQ(CENTER(v), "");
    EXPECT_NEAR(v.r.LSFCTR, 3.3, 0.05);
    v.r.NLSF = 199;
    EXPECT_NE(CENTER(v).find("needs 200 bins"), std::string::npos);
}

TEST_F(WrittenMethodBounds, EdgeCentreTakesASampleAtTheMidLevelAndBandCrossingsPassIt)
{
    // Lines 0 .. 39 step from 100 to 900 through two samples at exactly the mid level 500 (r 150
    // and 151); lines 40 .. 59 step at r = 150. The edge centre (middle band, lines 25 .. 35) is
    // the first sample at the mid level: 150. Band 1 (lines 5 .. 15) must pass it: at r = 152,
    // from 500, so 151; band 2 crosses at 149.5. The tilt is (151 - 149.5) / 40.
    std::vector<int16_t> image(300 * 60);
    for (int32_t y = 0; y < 60; ++y) {
        for (int32_t x = 0; x < 300; ++x) {
            int16_t value = x < 150 ? 100 : 900;
            if (y < 40 && (x == 150 || x == 151)) value = 500;
            image[static_cast<size_t>(y) * 300 + x] = value;
        }
    }
    loadWithRoi(300, 60, image, 0, 0, 300, 60);
    answer({ScriptedHost::kAcceptDefault});
    DSPESF(v);
    ASSERT_TRUE(host.messages.empty()) << host.messages.front();
    EXPECT_EQ(v.r.EDGER0, 150);
    EXPECT_NEAR(v.r.EDGESLOPE, 1.5 / 40, 1e-6);
}

} // namespace
