// The noise spectra: blocks and their captions, bins, the three symmetric positions, the mean
// before detrending, the tables, the data numbers and the refusals.
#include "analysis_fixture.h"
#include "caption_host.h"
#include "mtf_chart.h"
#include "nnps.h"
#include "nnps_chart.h"
#include "window_events.h"

#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>
#include <utility>

using namespace vantry;

namespace {

class Nnps : public AnalysisFixture {
protected:
    /// pedestal + amplitude cos(2 pi (u0 x + v0 y) / 256) + white two-level noise of `noise`.
    static std::vector<int16_t> field(int32_t w, int32_t h, double pedestal, double amplitude = 0,
                                      int u0 = 0, int v0 = 0, int noise = 0)
    {
        std::vector<int16_t> p(static_cast<size_t>(w) * h);
        uint32_t state = 99;
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                state = state * 1664525u + 1013904223u;
                const double wave = amplitude * std::cos(2 * std::numbers::pi * (u0 * x + v0 * y) / 256.0);
                const int n = noise == 0 ? 0 : ((state >> 16) & 1 ? noise : -noise);
                p[static_cast<size_t>(y) * w + x] = static_cast<int16_t>(std::lround(pedestal + wave + n));
            }
        return p;
    }
    /// Positions (u, v), u, v = 1 .. 128, whose radius nint(r / w) is bin k (0.1 mm pitch).
    static int positionsInBin(int k)
    {
        const float df = 1.0f / (0.1f * 256.0f), w = df * 5.12f;
        int count = 0;
        for (int u = 1; u <= 128; ++u)
            for (int vv = 1; vv <= 128; ++vv) {
                const float fu = u * df, fv = vv * df;
                count += std::nearbyint(std::sqrt(fu * fu + fv * fv) / w) == k;
            }
        return count;
    }
    double stored(int d, int bin) const { return std::pow(10.0, v.r.NPSVAL[d - 1][bin - 1]); }
};

TEST_F(Nnps, BlocksRunAlongTheRowsWithAProgressCaptionEach)
{
    CaptionHost captionHost;
    captionHost.form = &k.vylsf;
    Korvelf kk(captionHost, kernels);
    kk.ws = k.ws;
    Vylsf vv(kk);
    Form_Load(vv);
    kk.ws.IMG[0] = {512, 256, field(512, 256, 1000, 0, 0, 0, 10)};
    kk.ws.LOADED[0] = 1;
    kk.ws.PIXMM[0] = 0.1f;
    kk.roi[0] = {0, 0, 512, 256};
    captionHost.form = &kk.vylsf;
    captionHost.inputAnswers.emplace_back("1");
    NNPS2D_Click(vv);
    EXPECT_EQ(captionHost.captions, (std::vector<std::string>{" 0/ 1", " 1/ 1"}));
    EXPECT_EQ(vv.r.DSPMODE, 4);
}

TEST_F(Nnps, StoredFrequenciesRunToNyquistInTwentyFiveBins)
{
    loadWithRoi(256, 256, field(256, 256, 1000, 0, 0, 0, 10), 0, 0, 256, 256);
    answer({"1"});
    NNPS2D_Click(v);
    ASSERT_EQ(v.r.NPSNUM[0], 25);
    for (int i = 0; i < 25; ++i) EXPECT_NEAR(v.r.NPSFRQ[0][i], 0.2 * (i + 1), 1e-5) << i;
    EXPECT_EQ(v.r.DATALBL[0], k.ws.PRESETNAME[0] + " R");
    EXPECT_EQ(v.form().Caption, v.r.DATALBL[0]);
    EXPECT_EQ(v.r.NPSLAST, 1);
}

TEST_F(Nnps, DiagonalCosineFillsOneBinThroughThreeOfTheFourSymmetricPositions)
{
    // cos at (u, v) = (20, 15): radius 25 steps = 0.977 cycles/mm, bin nint(25 / 5.12) = 5.
    // Its power sits at (20, 15) and (236, 241) only; of the three positions averaged, one holds
    // it. The mean is taken before the trend is removed, so the pedestal normalises.
    const double amplitude = 200, pedestal = 2000;
    // Rounding to whole pixel values leaves a little power in every other bin.
    loadWithRoi(256, 256, field(256, 256, pedestal, amplitude, 20, 15), 0, 0, 256, 256);
    answer({"1"});
    NNPS2D_Click(v);
    ASSERT_EQ(v.r.NPSNUM[0], 25) << (host.messages.empty() ? "" : host.messages[0]);
    // |X(20, 15)|^2 = (a / 2 x 65536)^2 with a = amplitude / pedestal, times pitch^2 / 65536.
    const double a = amplitude / pedestal;
    const double peak = a * a / 4 * 65536 * 0.01;
    const double expected = peak / (3.0 * positionsInBin(5));
    // the detrend takes a little of the cosine; rounding adds about 1e-9 a position
    EXPECT_NEAR(stored(1, 5), expected, 0.02 * expected);
    EXPECT_LT(stored(1, 4), expected / 100);
}

TEST_F(Nnps, AbsoluteSpectrumIsTheNormalisedOneTimesTheSquaredMean)
{
    const auto pixels = field(256, 256, 1500, 0, 0, 0, 10);
    double mean = 0;
    for (int16_t p : pixels) mean += p / 65536.0;
    loadWithRoi(256, 256, pixels, 0, 0, 256, 256);
    answer({"1"});
    NNPS2D_Click(v);
    answer({"2"});
    NPS2D_Click(v);
    for (int bin = 1; bin <= 25; ++bin) {
        // single-precision spectra: a few units of 1e-7 apart
        EXPECT_NEAR(stored(2, bin) / stored(1, bin), mean * mean, mean * mean * 1e-5) << bin;
    }
}

TEST_F(Nnps, OneDimensionalBandsAndTheirPrompts)
{
    loadWithRoi(256, 256, field(256, 256, 1000, 0, 0, 0, 10), 0, 0, 256, 256);
    answer({"1", "3", "1"});
    NNPS1D_Click(v);
    EXPECT_EQ(host.prompts[0].prompt, "Direction 0..H  1..V = ");
    EXPECT_EQ(host.prompts[0].deflt, " 0");
    EXPECT_EQ(host.prompts[1].prompt, "Average line number = ");
    EXPECT_EQ(host.prompts[1].deflt, " 7");
    EXPECT_EQ(host.prompts[2].prompt, "Data No.= ");
    EXPECT_EQ(v.r.NPSU, 3);
    EXPECT_EQ(v.r.NPSV, 128);
    EXPECT_EQ(v.r.DATALBL[0], k.ws.PRESETNAME[0] + " V");
    answer({"-4", ScriptedHost::kAcceptDefault, "2"});
    NNPS1D_Click(v);
    EXPECT_EQ(v.r.NPSU, 128) << "below 0 is H";
    EXPECT_EQ(v.r.NPSV, 7);
    EXPECT_EQ(v.r.NPSDIR, " H");
}

TEST_F(Nnps, RefusalsStoreNothing)
{
    loadWithRoi(256, 256, field(256, 256, 1000, 0, 0, 0, 10), 0, 0, 256, 256);
    for (const char* lines : {"0", "129", "abc"}) {
        host.messages.clear();
        answer({"0", lines});
        NNPS1D_Click(v);
        EXPECT_EQ(host.messages.size(), 1u) << lines;
        EXPECT_EQ(v.r.NPSNUM[0], 0) << lines;
    }
    host.messages.clear();
    loadWithRoi(256, 256, std::vector<int16_t>(256 * 256, 1000), 0, 0, 256, 256);
    NNPS2D_Click(v);
    ASSERT_EQ(host.messages.size(), 1u) << "a constant ROI has no power";
    EXPECT_EQ(v.r.NPSNUM[0], 0);

    host.messages.clear();
    loadWithRoi(300, 300, field(300, 300, 1000, 0, 0, 0, 10), 100, 0, 256, 256);
    NNPS2D_Click(v);
    ASSERT_EQ(host.messages.size(), 1u) << "outside the image";
    EXPECT_NE(host.messages[0].find("outside"), std::string::npos);

    // A ROI that is not a whole number of blocks makes the entries do nothing.
    host.messages.clear();
    const size_t prompts = host.prompts.size();
    loadWithRoi(300, 256, field(300, 256, 1000, 0, 0, 0, 10), 0, 0, 300, 256);
    NNPS2D_Click(v);
    NPS2D_Click(v);
    NNPS1D_Click(v);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(host.prompts.size(), prompts);
    EXPECT_EQ(v.r.DSPMODE, 0);
}

TEST_F(Nnps, DataNumbersAndTheirDefaults)
{
    loadWithRoi(256, 256, field(256, 256, 1000, 0, 0, 0, 10), 0, 0, 256, 256);
    answer({"9"});
    NNPS2D_Click(v);
    EXPECT_EQ(v.r.DATANO, 7);
    EXPECT_EQ(v.r.NPSNUM[6], 25);
    answer({ScriptedHost::kAcceptDefault});
    NNPS2D_Click(v);
    EXPECT_EQ(host.prompts.back().deflt, " 1") << "the first free number, not 7 after the chart";
    EXPECT_EQ(v.r.NPSNUM[0], 25);
    // 0 is held to 1, which now holds a curve: replaced after Yes.
    host.msgBoxAnswers.push_back(MsgBoxAnswer::Yes);
    answer({"0"});
    NNPS2D_Click(v);
    EXPECT_EQ(v.r.DATANO, 1);
    EXPECT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(v.r.NEXTNO, 2);
    answer({ScriptedHost::kAcceptDefault});
    NNPS2D_Click(v);
    EXPECT_EQ(host.prompts.back().deflt, " 2");
    host.inputAnswers.push_back(std::nullopt);
    const auto before = v.r.NPSVAL;
    NNPS2D_Click(v);
    EXPECT_EQ(v.r.NPSVAL, before) << "a cancel stores nothing";
}

TEST_F(Nnps, TableRightAfterTheComputationKeepsSmallValues)
{
    loadWithRoi(256, 256, field(256, 256, 1000, 0, 0, 0, 10), 0, 0, 256, 256);
    answer({"1"});
    NNPS2D_Click(v);
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = host.clipboardText.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(host.clipboardText.substr(at, end - at));
    ASSERT_EQ(lines.size(), 1u + 31u) << "f = 0.1 .. 3.1, all below the last stored 5.0";
    EXPECT_EQ(lines[0], v.r.DATALBL[0]);
    for (size_t i = 1; i < lines.size(); ++i) {
        EXPECT_NE(lines[i].find("E-0"), std::string::npos) << lines[i];
        EXPECT_NEAR(std::stod(lines[i]), 1e-6, 0.3e-6) << "white noise of 10 on 1000, 0.1 mm";
    }
}

TEST_F(Nnps, SeveralFlatFieldsAverageOverAllTheirBlocks)
{
    const auto a = field(512, 256, 1000, 0, 0, 0, 10);
    const auto b = field(512, 256, 1000, 30, 40, 0, 5); // another noise level and a cosine
    loadWithRoi(512, 256, b, 0, 0, 512, 256);
    answer({"2"});
    NNPS2D_Click(v);
    loadWithRoi(512, 256, a, 0, 0, 512, 256);
    answer({"1"});
    NNPS2D_Click(v);
    answer({"3"});
    nnpsOverImages(v, 0, {ImageBuffer{512, 256, b}});
    ASSERT_EQ(v.r.NPSNUM[2], 25);
    EXPECT_EQ(k.ws.IMG[0].pixels, a) << "the current image is put back";
    for (int bin = 1; bin <= 25; ++bin) {
        const double mean = (stored(1, bin) + stored(2, bin)) / 2;
        // single-precision logarithms of the stored values: 1e-6 relative
        EXPECT_NEAR(stored(3, bin), mean, 1e-5 * mean) << bin;
    }
    host.messages.clear();
    nnpsOverImages(v, 0, {ImageBuffer{256, 256, std::vector<int16_t>(256 * 256, 5)}});
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find("differ in size"), std::string::npos);
}

TEST(NoiseText, ExponentOnlyWhereTheFixedFormShowsZero)
{
    EXPECT_EQ(noiseText(9.8712e-7, 4), "9.87E-07");
    EXPECT_EQ(noiseText(0.00004, 4), "4.00E-05");
    EXPECT_EQ(noiseText(0.00005, 4), "0.0001") << "shown as non-zero: kept";
    EXPECT_EQ(noiseText(1.2345, 4), "1.2345");
    EXPECT_EQ(noiseText(0.0, 4), "0.0000");
    EXPECT_EQ(noiseText(1e-6, 8), "0.00000100");
    EXPECT_EQ(noiseText(4e-9, 8), "4.00E-09");
}

class NnpsChart : public Nnps {
protected:
    void store(int d, const std::string& label, double level)
    {
        const auto slot = static_cast<size_t>(d - 1);
        v.r.DATALBL[slot] = label;
        v.r.NPSNUM[slot] = 25;
        for (int i = 0; i < 25; ++i) {
            v.r.NPSFRQ[slot][i] = 0.2f * static_cast<float>(i + 1);
            v.r.NPSVAL[slot][i] = static_cast<float>(std::log10(level));
        }
    }
};

TEST_F(NnpsChart, SelectionJoinsTheStoredPointsUpToFreqMax)
{
    store(2, "B R", 1e-6);
    store(4, "D H", 1e-5);
    answer({"2,4"});
    NPSCOMP_Click(v);
    EXPECT_EQ(v.r.DSPMODE, 4);
    EXPECT_EQ(v.r.NEXTNO, 3);
    int segments = 0;
    for (const auto& c : host.canvas.calls) {
        if (c.kind != DrawCall::Kind::Line || c.value != 11) continue;
        ++segments;
        if (c.x2 <= 3.0 && c.x1 != 0.68 * 3.0f) {
            EXPECT_NEAR(c.y2, 2.0, 1e-5) << "10^-6 sits 2 decades up";
        }
    }
    EXPECT_EQ(segments, 15 + 1) << "points 0.2 .. 3.0, and the legend";
    const auto texts = printed();
    EXPECT_EQ(std::vector<std::string>(texts.end() - 2, texts.end()),
              (std::vector<std::string>{"  B R", "  D H"}));
    EXPECT_TRUE(v.form().CENADJ[2].Visible && v.form().CENADJ[3].Visible);
}

TEST_F(NnpsChart, ClipResamplesOnTheGridBeyondTheStoredPoints)
{
    store(1, "A R", 2.5e-6);
    v.r.DATANO = 1;
    answer({ScriptedHost::kAcceptDefault});
    NPSCLIP_Click(v);
    EXPECT_EQ(host.prompts.back().prompt, "Data No.=");
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = host.clipboardText.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(host.clipboardText.substr(at, end - at));
    ASSERT_EQ(lines.size(), 31u);
    EXPECT_EQ(lines[0], "\tA R");
    EXPECT_EQ(lines[1], "0.10\t0.00000250") << "before the first stored point: the first cubic";
    EXPECT_EQ(lines[30], "3.00\t0.00000250");
    answer({"3"});
    NPSCLIP_Click(v);
    EXPECT_EQ(host.messages.back(), "no data!");
    answer({"12"});
    NPSCLIP_Click(v);
    EXPECT_NE(host.messages.back(), "no data!");
}

/// The rows of the clipboard table after its label line: frequency text and value.
std::vector<std::pair<std::string, double>> clipRows(const std::string& text)
{
    std::vector<std::pair<std::string, double>> rows;
    size_t at = text.find("\r\n");
    for (size_t end; at != std::string::npos && (end = text.find("\r\n", at + 2)) != std::string::npos; at = end) {
        const std::string line = text.substr(at + 2, end - at - 2);
        const size_t tab = line.find('\t');
        rows.emplace_back(line.substr(0, tab), std::stod(line.substr(tab + 1)));
    }
    return rows;
}

TEST_F(NnpsChart, ClipStopsBeforeTheFirstRowWhereTheExtrapolationRunsAway)
{
    // Ten points on a straight line of the logarithm, 0.2 .. 2.0 cycles/mm: the spline through
    // them is that line, extrapolated. The points span log10 -6 .. -1.68 rising (-6 .. -10.32
    // falling); three decades beyond that range the line reaches at f = 3.25 either way.
    for (const double slope : {2.4, -2.4}) {
        v.r.DATALBL[0] = "LINE";
        v.r.NPSNUM[0] = 10;
        for (int i = 0; i < 10; ++i) {
            const float f = 0.2f * static_cast<float>(i + 1);
            v.r.NPSFRQ[0][i] = f;
            v.r.NPSVAL[0][i] = static_cast<float>(-6 + slope * (f - 0.2));
        }
        v.r.NPSPITCH[0] = 0.1f; // Nyquist 5 cycles/mm: the table could go on to 5
        v.r.NFMAX = 5;
        host.messages.clear();
        answer({"1"});
        NPSCLIP_Click(v);
        const auto rows = clipRows(host.clipboardText);
        ASSERT_EQ(rows.size(), 32u) << slope << ": rows 0.1 .. 3.2, not 3.3";
        for (size_t i = 0; i < rows.size(); ++i) {
            const double f = 0.1 * static_cast<double>(i + 1);
            char text[16];
            std::snprintf(text, sizeof text, "%.2f", f);
            EXPECT_EQ(rows[i].first, text);
            const double truth = std::pow(10.0, -6 + slope * (f - 0.2));
            // the single-precision spline of the logarithm: within 8e-5 of a decade
            EXPECT_NEAR(rows[i].second, truth, 2e-4 * truth + 0.51e-8) << rows[i].first;
        }
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_EQ(host.messages[0].rfind("warning the table stops at 3.20 cycles/mm: at 3.30 ", 0), 0u)
            << host.messages[0];
    }

    // A value whose power is not a finite number ends the table too: log10 306 .. 306.9 passes
    // the largest double (10^308.25) after 4.7 cycles/mm, long before three decades beyond.
    for (int i = 0; i < 10; ++i) {
        v.r.NPSVAL[0][i] = static_cast<float>(306 + 0.5 * (v.r.NPSFRQ[0][i] - 0.2));
    }
    host.messages.clear();
    answer({"1"});
    NPSCLIP_Click(v);
    const auto rows = clipRows(host.clipboardText);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.back().first, "4.70");
    EXPECT_EQ(rows.size(), 47u);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].rfind("warning the table stops at 4.70 cycles/mm", 0), 0u) << host.messages[0];
}

TEST_F(NnpsChart, ClipWritesNoRowBeyondTheNyquistFrequencyOfTheCurvesPitch)
{
    store(1, "A R", 2.5e-6); // 25 points, 0.2 .. 5.0 cycles/mm
    v.r.NFMAX = 5;
    // pitch -> last row: 0.143 mm has its Nyquist frequency at 3.4965; 0.2 mm exactly at 2.5; a
    // curve of unknown pitch ends at its last point.
    for (const auto& [pitch, last] : {std::pair{0.143f, "3.40"}, {0.1f, "5.00"}, {0.2f, "2.50"}, {0.0f, "5.00"}}) {
        v.r.NPSPITCH[0] = pitch;
        host.messages.clear();
        answer({"1"});
        NPSCLIP_Click(v);
        EXPECT_TRUE(host.messages.empty()) << pitch << ": " << host.messages.front();
        const auto rows = clipRows(host.clipboardText);
        ASSERT_FALSE(rows.empty()) << pitch;
        EXPECT_EQ(rows.back().first, last) << pitch;
        EXPECT_EQ(rows.size(), static_cast<size_t>(std::lround(std::stod(last) * 10))) << pitch;
        for (const auto& row : rows) EXPECT_NEAR(row.second, 2.5e-6, 0.51e-8) << row.first;
    }
    // A grid whose first row lies beyond the Nyquist frequency copies nothing.
    v.r.NPSPITCH[0] = 0.2f;
    v.r.NFMAX = 3;
    v.r.NFINT = 3;
    host.clipboardText = "kept";
    host.messages.clear();
    answer({"1"});
    NPSCLIP_Click(v);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find("Nyquist frequency 2.50"), std::string::npos) << host.messages[0];
    EXPECT_EQ(host.clipboardText, "kept");
}

TEST_F(NnpsChart, StoredCurvesKeepThePitchOfTheirImage)
{
    std::mt19937 gen(3);
    std::normal_distribution<double> noise(1000, 10);
    std::vector<int16_t> p(256 * 256);
    for (auto& x : p) x = static_cast<int16_t>(std::lround(noise(gen)));
    loadWithRoi(256, 256, std::move(p), 0, 0, 256, 256, 0.143f);
    answer({"2"});
    NNPS2D_Click(v);
    ASSERT_EQ(v.r.NPSNUM[1], 25);
    EXPECT_EQ(v.r.NPSPITCH[1], 0.143f);
    EXPECT_NEAR(v.r.NPSFRQ[1][24], 0.5 / 0.143, 1e-5) << "the last bin sits at the Nyquist frequency";
}

TEST_F(NnpsChart, ArrowsMoveTheDecadesAndRedrawTheCurves)
{
    store(1, "A R", 1e-6);
    v.r.DATANO = 1;
    v.r.DSPMODE = 4;
    CENADJ_Click(v, 2);
    EXPECT_FLOAT_EQ(v.r.LOGBASE, -9.0f);
    double y = 0;
    for (const auto& c : host.canvas.calls)
        if (c.kind == DrawCall::Kind::Line && c.value == 10 && c.x1 != 0.68 * 3.0f) y = c.y2;
    EXPECT_NEAR(y, 3.0, 1e-5) << "10^-6 is three decades above 10^-9";
}

} // namespace
