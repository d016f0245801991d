// "ESF reprojection": orientation, the edge and its tilt, the bins, and the ROIs it refuses.
#include "analysis_fixture.h"
#include "esf.h"
#include "window_events.h"

#include <cmath>

using namespace vantry;

namespace {

/// A hard edge: `low` left of x = x0 + slope (y - y0), `high` right of it (or above/below for a
/// horizontal edge, with rows and columns swapped).
std::vector<int16_t> hardEdge(int32_t w, int32_t h, double x0, double slope, int16_t low,
                              int16_t high, bool horizontal = false)
{
    std::vector<int16_t> p(static_cast<size_t>(w) * h);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            const double along = horizontal ? x : y, across = horizontal ? y : x;
            p[static_cast<size_t>(y) * w + x] = across + 0.5 < x0 + slope * along ? low : high;
        }
    }
    return p;
}

class Esf : public AnalysisFixture {
protected:
    float esfAt(int32_t r, int32_t c) const
    {
        return v.r.ESFIMG[static_cast<size_t>(r) + static_cast<size_t>(v.r.NSAMP) * c];
    }
};

TEST_F(Esf, WideRoiProfilesAlongXAndProposesTheTilt)
{
    loadWithRoi(400, 200, hardEdge(400, 200, 150, 0.05, 100, 900), 0, 10, 300, 128);
    answer({ScriptedHost::kAcceptDefault});
    DSPESF(v);
    ASSERT_TRUE(host.messages.empty()) << host.messages.front();
    EXPECT_EQ(v.r.EDGEDIR, " H");
    EXPECT_EQ(v.r.NSAMP, 300);
    EXPECT_EQ(v.r.NLINE, 128);
    EXPECT_EQ(v.r.EDGEC0, 64);
    EXPECT_EQ(v.r.DSPMODE, 1);
    // The edge moves right by 0.05 a line: crossings move the same way, so the tilt is -0.05.
    EXPECT_NEAR(v.r.EDGESLOPE, -0.05, 0.002);
    EXPECT_EQ(host.prompts.back().prompt, " Shift = ");
    EXPECT_EQ(std::stof(host.prompts.back().deflt), v.r.EDGESLOPE);
    // The edge through line 64 of the ROI (image row 74) lies at x = 150 + 3.7.
    EXPECT_EQ(v.r.EDGER0, 154);
    EXPECT_FLOAT_EQ(v.r.ESFMAXV, 900);
    EXPECT_EQ(v.r.NBIN, 600) << "pitch 0.1, bins 0.03, 300 samples: trunc(nint(1200) / 2)";
    EXPECT_TRUE(v.form().CENADJ[0].Visible && v.form().CENADJ[1].Visible &&
                v.form().FINESTP.Visible);
    EXPECT_FALSE(v.form().CENADJ[2].Visible || v.form().CENADJ[3].Visible);
}

TEST_F(Esf, TallRoiProfilesAlongYFromTheBottomRow)
{
    // Rows 0 .. 99 are 900, the rest 100: from the bottom row up the profile rises and is used
    // unchanged.
    loadWithRoi(100, 300, hardEdge(100, 300, 100, 0, 900, 100, true), 20, 0, 60, 300);
    answer({ScriptedHost::kAcceptDefault});
    DSPESF(v);
    ASSERT_TRUE(host.messages.empty()) << host.messages.front();
    EXPECT_EQ(v.r.EDGEDIR, " V");
    EXPECT_EQ(v.r.NSAMP, 300);
    EXPECT_EQ(v.r.NLINE, 60);
    EXPECT_EQ(v.r.ESFRAW[0], 100) << "r = 0 is the bottom row";
    EXPECT_EQ(v.r.ESFRAW[299], 900);
    EXPECT_EQ(v.r.ESFIMG, v.r.ESFRAW);
    EXPECT_FLOAT_EQ(v.r.EDGESLOPE, 0.0f) << "an untilted edge";
    EXPECT_EQ(v.r.EDGER0, 200);
}

TEST_F(Esf, FallingProfileIsReversedToRise)
{
    loadWithRoi(400, 200, hardEdge(400, 200, 150, 0, 900, 100), 0, 0, 300, 64);
    answer({"0"});
    DSPESF(v);
    ASSERT_TRUE(host.messages.empty()) << host.messages.front();
    EXPECT_EQ(esfAt(0, 5), 100);
    EXPECT_EQ(esfAt(299, 5), 900);
    for (int32_t r = 0; r < 300; ++r) EXPECT_EQ(esfAt(r, 7), v.r.ESFRAW[299 - r + 300 * 7]) << r;
    EXPECT_EQ(v.r.EDGER0, 150) << "the first of the high samples after reversal";
}

TEST_F(Esf, SquareRoiIsVerticalAndOddLinesRoundTheMiddleToEven)
{
    loadWithRoi(200, 200, hardEdge(200, 200, 80, 0, 100, 900, true), 10, 20, 120, 120);
    answer({"0"});
    DSPESF(v);
    EXPECT_EQ(v.r.EDGEDIR, " V");
    loadWithRoi(400, 200, hardEdge(400, 200, 150, 0, 100, 900), 0, 0, 300, 25);
    answer({"0"});
    DSPESF(v);
    EXPECT_EQ(v.r.EDGEC0, 12);
    k.roi[0].ROIH = 27;
    answer({"0"});
    DSPESF(v);
    EXPECT_EQ(v.r.EDGEC0, 14);
}

TEST_F(Esf, UntiltedEdgeFillsOnlyTheBinsOfWholeSamples)
{
    loadWithRoi(400, 200, hardEdge(400, 200, 150, 0, 100, 900), 0, 0, 300, 64);
    answer({""}); // an empty answer is a tilt of 0
    DSPESF(v);
    EXPECT_EQ(v.r.EDGESLOPE, 0.0f);
    // Every pixel of a sample falls into bin nint(3.33 d): bins between them stay empty.
    int empty = 0, full = 0;
    for (int32_t bin = -v.r.NBIN; bin <= v.r.NBIN; ++bin) {
        const int32_t count = v.r.BINCNT[static_cast<size_t>(bin + v.r.NBIN)];
        (count == 0 ? empty : full) += 1;
        EXPECT_TRUE(count == 0 || count == 64) << bin;
    }
    EXPECT_EQ(full, 300);
    EXPECT_EQ(empty, 2 * 600 + 1 - 300);
    // Sample d from the edge lands in bin nint(3.333 d), halves never arising: d = 2 -> 7.
    const auto countAt = [&](int32_t bin) {
        return v.r.BINCNT[static_cast<size_t>(bin + v.r.NBIN)];
    };
    for (int d = -4; d <= 4; ++d) {
        EXPECT_EQ(countAt(static_cast<int32_t>(std::nearbyint(d * (0.1f / 0.03f)))), 64) << d;
    }
    EXPECT_EQ(countAt(6), 0);
}

TEST_F(Esf, ScatterIsDrawnLineByLineAndArrowsNudgeTheTilt)
{
    loadWithRoi(400, 200, hardEdge(400, 200, 150, 0, 100, 900), 0, 0, 300, 64);
    answer({"0"});
    const int before = host.doEventsCalls;
    DSPESF(v);
    EXPECT_EQ(host.doEventsCalls - before, 64);
    int points = 0;
    for (const auto& c : host.canvas.calls) points += c.kind == DrawCall::Kind::Point;
    EXPECT_EQ(points, 300 * 64);
    CENADJ_Click(v, 1);
    EXPECT_FLOAT_EQ(v.r.EDGESLOPE, 0.004f);
    v.form().FINESTP.Value = 1;
    CENADJ_Click(v, 0);
    EXPECT_FLOAT_EQ(v.r.EDGESLOPE, 0.003f);
    // The bins were rebuilt for the new tilt: no longer 64 pixels in every filled bin.
    bool spread = false;
    for (int32_t count : v.r.BINCNT) spread |= count != 0 && count != 64;
    EXPECT_TRUE(spread);
}

TEST_F(Esf, PixelsWhoseBinFallsOutsideAreDrawnButNotBinned)
{
    loadWithRoi(400, 200, hardEdge(400, 200, 150, 0, 100, 900), 0, 0, 300, 64);
    answer({"40"}); // a tilt that puts most pixels far outside +/-0.6 ROI lengths
    DSPESF(v);
    ASSERT_EQ(v.r.DSPMODE, 1);
    int64_t binned = 0;
    for (int32_t count : v.r.BINCNT) binned += count;
    EXPECT_GT(binned, 0);
    EXPECT_LT(binned, 300 * 64);
}

TEST_F(Esf, RoisThatCannotHoldAnEdgeAreRefusedAndChangeNothing)
{
    loadWithRoi(400, 200, hardEdge(400, 200, 150, 0.05, 100, 900), 0, 10, 300, 128);
    answer({ScriptedHost::kAcceptDefault});
    DSPESF(v);
    const float slope = v.r.EDGESLOPE;
    const size_t promptsBefore = host.prompts.size();
    struct Case {
        RoiRecord roi;
        const char* why;
    };
    const Case cases[] = {
        {{0, 10, 54, 30}, "fewer than 55 samples across"},
        {{0, 10, 300, 20}, "fewer than 21 lines along (N - 20 = 0)"},
        {{200, 10, 300, 128}, "reaches past the right side"},
        {{-1, 10, 300, 128}, "starts left of the image"},
        {{0, 100, 300, 128}, "reaches past the bottom"},
        {{200, 10, 190, 128}, "no edge: a flat field"},
    };
    for (const Case& c : cases) {
        k.roi[0] = c.roi;
        host.messages.clear();
        DSPESF(v);
        EXPECT_EQ(host.messages.size(), 1u) << c.why;
        EXPECT_EQ(v.r.EDGESLOPE, slope) << c.why;
        EXPECT_EQ(v.r.NSAMP, 300) << c.why;
    }
    EXPECT_EQ(host.prompts.size(), promptsBefore) << "nothing asked for a refused ROI";
}

TEST_F(Esf, NoiseWithoutAnEdgeIsRefusedButANoisyEdgeIsMeasured)
{
    // Two-level noise of standard deviation 20 over 1000, with and without a step of 100.
    const auto noisy = [](int16_t step) {
        std::vector<int16_t> p(400 * 200);
        uint32_t state = 7;
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 400; ++x) {
                state = state * 1664525u + 1013904223u;
                p[static_cast<size_t>(y) * 400 + x] =
                    static_cast<int16_t>(1000 + ((state >> 16) & 1 ? 20 : -20) + (x >= 150 ? step : 0));
            }
        return p;
    };
    loadWithRoi(400, 200, noisy(0), 0, 10, 300, 128);
    DSPESF(v);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find("no edge"), std::string::npos) << host.messages[0];
    EXPECT_EQ(v.r.DSPMODE, 0);

    host.messages.clear();
    loadWithRoi(400, 200, noisy(100), 0, 10, 300, 128);
    answer({ScriptedHost::kAcceptDefault});
    DSPESF(v);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(v.r.DSPMODE, 1);
}

TEST_F(Esf, BandWhoseMeanNeverPassesTheMidLevelIsRefused)
{
    // The edge only crosses the lower part of the ROI: lines 5 .. 15 stay low all along.
    std::vector<int16_t> img = hardEdge(400, 200, 150, 0, 100, 900);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 400; ++x) img[static_cast<size_t>(y) * 400 + x] = 100;
    loadWithRoi(400, 200, img, 0, 0, 300, 128);
    DSPESF(v);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find("never passes"), std::string::npos) << host.messages[0];
    EXPECT_EQ(v.r.DSPMODE, 0);
}

TEST_F(Esf, NothingHappensWithoutAnImage)
{
    k.ws.LOADED[0] = 0;
    DSPESF(v);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_TRUE(host.prompts.empty());
    EXPECT_EQ(v.r.DSPMODE, 0);
}

} // namespace
