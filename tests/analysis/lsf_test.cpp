// "ESF OK", the centre search, the LSF display and "MTF calc." with their prompts, limits,
// refusals and what they store.
#include "analysis_fixture.h"
#include "esf.h"
#include "lsf.h"
#include "mtf.h"
#include "window_events.h"

#include <cmath>

using namespace vantry;

namespace {

/// A vertical edge blurred by a Gaussian of `sigma` pixels, sampled at pixel centres.
std::vector<int16_t> blurredEdge(int32_t w, int32_t h, double x0, double slope, double sigma,
                                 double low = 1000, double high = 9000)
{
    std::vector<int16_t> p(static_cast<size_t>(w) * h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const double u = (x - x0 - slope * y) / sigma;
            p[static_cast<size_t>(y) * w + x] = static_cast<int16_t>(
                std::lround(low + (high - low) * 0.5 * std::erfc(-u / std::sqrt(2.0))));
        }
    return p;
}

class Lsf : public AnalysisFixture {
protected:
    /// ESF reprojection of a 300 x 128 ROI across a blurred, tilted edge.
    void reproject()
    {
        loadWithRoi(400, 200, blurredEdge(400, 200, 150, 0.06, 0.7), 0, 20, 300, 128);
        k.ws.PRESETNAME[0] = "DETX";
        answer({ScriptedHost::kAcceptDefault});
        DSPESF(v);
        ASSERT_EQ(v.r.DSPMODE, 1) << (host.messages.empty() ? "" : host.messages.back());
    }
    float lsfAt(int32_t bin) const
    {
        return v.r.LSF[static_cast<size_t>(bin + v.r.NBIN)];
    }
};

TEST_F(Lsf, EsfOkDifferentiatesTheBinsToAPeakOfOne)
{
    reproject();
    answer({"0"});
    ESFOK(v);
    ASSERT_EQ(v.r.DSPMODE, 2);
    EXPECT_EQ(v.r.NLSF, 450) << "trunc(nint(3.33 x 300 x 0.9) / 2)";
    float peak = 0;
    for (int32_t i = -v.r.NLSF; i <= v.r.NLSF; ++i) {
        const size_t at = static_cast<size_t>(i + v.r.NBIN);
        EXPECT_FLOAT_EQ(v.r.ESFBIN[at],
                        v.r.BINCNT[at] ? v.r.BINSUM[at] / float(v.r.BINCNT[at]) : 0.0f);
        peak = std::max(peak, lsfAt(i));
    }
    EXPECT_FLOAT_EQ(peak, 1.0f);
    EXPECT_EQ(host.prompts.back().prompt, "V-filter 0..off 1..on = ");
    EXPECT_EQ(host.prompts.back().deflt, " 0");
    for (Control& b : v.form().CENADJ) EXPECT_TRUE(b.Visible);
    EXPECT_TRUE(v.form().LOGLSFCK.Visible);
    EXPECT_FALSE(v.form().FINESTP.Visible);
}

TEST_F(Lsf, VFilterRunsOnlyForAnAnswerOfOne)
{
    reproject();
    answer({"2"});
    ESFOK(v);
    const std::vector<float> unfiltered = v.r.LSF;
    EXPECT_FLOAT_EQ(k.ws.PI2, 6.283184f) << "the start value until the first V-filter run";
    EXPECT_EQ(v.r.VFON, 2);

    reproject();
    answer({"1"});
    ESFOK(v);
    ASSERT_EQ(v.r.DSPMODE, 2);
    EXPECT_EQ(v.r.VFON, 1);
    EXPECT_FLOAT_EQ(k.ws.PI2, 2 * static_cast<float>(4 * std::atan(1.0f)));
    EXPECT_EQ(k.ws.NFFT, 4096);
    EXPECT_NE(v.r.LSF, unfiltered);
    EXPECT_EQ(host.prompts.back().deflt, " 2") << "the last answer is the next default";
    // The samples nearest the centre keep their values; far ones are smoothed, never negative.
    const auto centre = static_cast<int32_t>(std::nearbyint(v.r.LSFCTR));
    EXPECT_EQ(lsfAt(centre), unfiltered[static_cast<size_t>(centre + v.r.NBIN)]);
    for (int32_t i = -v.r.NLSF; i <= v.r.NLSF; ++i) EXPECT_GE(lsfAt(i), 0.0f);
    EXPECT_EQ(v.form().Caption.rfind("V-filter processing ", 0), 0u) << v.form().Caption;
    EXPECT_EQ(v.form().Caption, "V-filter processing  450");
}

TEST_F(Lsf, CentreOfASymmetricPeakIsItsPosition)
{
    v.r.NBIN = 300;
    v.r.NLSF = 250;
    v.r.LSF.assign(601, 0.0f);
    for (int32_t i = -250; i <= 250; ++i)
        v.r.LSF[static_cast<size_t>(i + 300)] =
            static_cast<float>(std::exp(-0.5 * (i - 17) * (i - 17) / 9.0));
    ASSERT_EQ(CENTER(v), "");
    EXPECT_NEAR(v.r.LSFCTR, 17.0f, 1e-4f);
    // Moving the peak by a fraction moves the centre with it.
    for (int32_t i = -250; i <= 250; ++i)
        v.r.LSF[static_cast<size_t>(i + 300)] =
            static_cast<float>(std::exp(-0.5 * (i + 3.4) * (i + 3.4) / 9.0));
    ASSERT_EQ(CENTER(v), "");
    EXPECT_NEAR(v.r.LSFCTR, -3.4f, 0.05f);
}

TEST_F(Lsf, CentreOfASkewedPeakAveragesTheFlankMidpointsFromThirtyToSeventyPercent)
{
    // Half Gaussians of 10 bins (rising) and 15 bins (falling) meeting at 0: at a rising-flank
    // sample j the falling flank has the same level at 1.5 |j|, so the midpoint is 0.25 |j|.
    // Samples -16 .. -9 lie between the first below 30 % (|j| > 15.5) and the first below 70 %
    // (|j| > 8.45): the centre is 0.25 x 12.5.
    v.r.NBIN = 300;
    v.r.NLSF = 250;
    v.r.LSF.assign(601, 0.0f);
    for (int32_t i = -250; i <= 250; ++i) {
        const double sigma = i < 0 ? 10.0 : 15.0;
        v.r.LSF[static_cast<size_t>(i + 300)] =
            static_cast<float>(std::exp(-0.5 * i * i / (sigma * sigma)));
    }
    ASSERT_EQ(CENTER(v), "");
    // linear interpolation between falling-flank samples 15 bins wide errs by under 0.01
    EXPECT_NEAR(v.r.LSFCTR, 3.125f, 0.02f);
}

TEST_F(Lsf, CentreRefusesWhatItCannotMeasure)
{
    v.r.NBIN = 300;
    v.r.NLSF = 150;
    v.r.LSF.assign(601, 0.0f);
    EXPECT_NE(CENTER(v), "") << "shorter than the +/-200-bin search";
    v.r.NLSF = 250;
    EXPECT_NE(CENTER(v), "") << "no peak";
    // A peak whose falling flank never drops below 30 % inside the LSF.
    for (int32_t i = 0; i <= 250; ++i) v.r.LSF[static_cast<size_t>(i + 300)] = i == 0 ? 1.0f : 0.5f;
    v.r.LSFCTR = 7;
    EXPECT_NE(CENTER(v), "");
    EXPECT_FLOAT_EQ(v.r.LSFCTR, 7.0f);
}

TEST_F(Lsf, ShortRoiRefusesTheVFilterAndKeepsTheEsf)
{
    loadWithRoi(400, 200, blurredEdge(400, 200, 60, 0.06, 0.7), 0, 20, 120, 64);
    answer({ScriptedHost::kAcceptDefault, "1"});
    DSPESF(v);
    ASSERT_EQ(v.r.DSPMODE, 1) << host.messages.front();
    ESFOK(v);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find("too short"), std::string::npos) << host.messages[0];
    EXPECT_EQ(v.r.DSPMODE, 1) << "still on the ESF, ready for another answer";
    EXPECT_TRUE(v.r.LSF.empty());
    answer({"0"});
    ESFOK(v);
    EXPECT_EQ(v.r.DSPMODE, 2) << "without the filter the short LSF is fine";
}

TEST_F(Lsf, StepsActOnlyInTheirModes)
{
    reproject();
    MTFCLC(v);
    EXPECT_EQ(v.r.DSPMODE, 1) << "MTF calc. needs the LSF";
    answer({"0"});
    ESFOK(v);
    const size_t prompts = host.prompts.size();
    ESFOK(v);
    EXPECT_EQ(host.prompts.size(), prompts) << "ESF OK needs the ESF on display";
}

TEST_F(Lsf, LogDisplayDrawsZeroAtMinusFour)
{
    reproject();
    answer({"0"});
    ESFOK(v);
    v.form().LOGLSFCK.Value = 1;
    LOGLSFCK_Click(v);
    double lowest = 0;
    int grid = 0;
    for (const auto& c : host.canvas.calls) {
        if (c.kind == DrawCall::Kind::Line && c.value == 13) lowest = std::min(lowest, c.y2);
        if (c.kind == DrawCall::Kind::Line && c.value == kForeColour && c.y1 == c.y2 && c.y1 <= 0)
            ++grid;
    }
    EXPECT_DOUBLE_EQ(lowest, static_cast<double>(std::log10(0.0001f)));
    EXPECT_EQ(grid, 4 + 1) << "dotted decades 0 .. -3 and the baseline";
    EXPECT_EQ(host.canvas.calls[1].str(), "scale -5 1.2 10 -1.4");
}

TEST_F(Lsf, MtfCalcLimitsStoresCopiesAndDraws)
{
    reproject();
    answer({"0", "0.5", "0.005", "9"});
    ESFOK(v);
    MTFCLC(v);
    ASSERT_EQ(v.r.DSPMODE, 3);
    EXPECT_FLOAT_EQ(v.r.FMAX, 1.0f);
    EXPECT_FLOAT_EQ(v.r.FINT, 0.01f);
    EXPECT_EQ(v.r.DATANO, 7) << "9 is stored under 7";
    EXPECT_EQ(v.r.MTFNUM[6], 101);
    EXPECT_EQ(v.r.MTFVAL[6][0], 1.0f);
    EXPECT_FLOAT_EQ(v.r.MTFFRQ[6][100], 1.0f);
    EXPECT_EQ(v.r.DATALBL[6], "DETX H");
    EXPECT_EQ(v.form().Caption, "DETX H");
    EXPECT_EQ(host.clipboardText.substr(0, 15), "DETX H\r\n1.000\r\n");
    size_t lines = 0;
    for (size_t at = 0; (at = host.clipboardText.find("\r\n", at)) != std::string::npos; at += 2)
        ++lines;
    EXPECT_EQ(lines, 102u);
    const auto p = host.prompts.size();
    EXPECT_EQ(host.prompts[p - 3].prompt, "Freq. max=");
    EXPECT_EQ(host.prompts[p - 2].prompt, "Fint=");
    EXPECT_EQ(host.prompts[p - 1].prompt, "Data No.=");
    EXPECT_EQ(host.prompts[p - 1].deflt, " 1");
    EXPECT_EQ(v.r.NEXTNO, 7) << "the chart of curves 1 .. 7";
}

TEST_F(Lsf, MtfOfThirtyOnePointsUnderDataNumberOne)
{
    reproject();
    answer({"0", ScriptedHost::kAcceptDefault, ScriptedHost::kAcceptDefault, "0"});
    ESFOK(v);
    MTFCLC(v);
    EXPECT_EQ(v.r.DATANO, 1) << "0 is stored under 1";
    EXPECT_EQ(v.r.MTFNUM[0], 31);
    EXPECT_EQ(v.r.MTFVAL[0][0], 1.0f);
    for (int n = 1; n < 31; ++n) EXPECT_LT(v.r.MTFVAL[0][n], v.r.MTFVAL[0][n - 1]) << n;
    EXPECT_EQ(v.r.NEXTNO, 2);
}

TEST_F(Lsf, CancelledDataNumberStoresNothing)
{
    reproject();
    answer({"0", "3", "0.1"});
    ESFOK(v);
    host.inputAnswers.push_back(std::nullopt);
    MTFCLC(v);
    // The three answers above, then the cancel.
    EXPECT_EQ(v.r.DSPMODE, 2);
    EXPECT_EQ(v.r.MTFNUM[0], 0);
    EXPECT_EQ(v.r.DATANO, 0);
}

} // namespace
