// DQE and NEQ from a stored MTF and NNPS against known answers, the beam list, the MTF summary
// figures and the refusals.
#include "analysis_fixture.h"
#include "beam_qualities.h"
#include "dqe.h"
#include "esf.h"
#include "lsf.h"
#include "mtf.h"
#include "mtf_chart.h"
#include "nnps.h"
#include "edge_image.h"
#include "precise_mtf_menu.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>

using namespace vantry;

namespace {

TEST(BeamList, ShippedValuesSiteLinesAndMalformedLines)
{
    const BeamList shipped = readBeamList(std::filesystem::path(VANTRY_BIN_DIR) / "BEAMQ.TXT");
    EXPECT_TRUE(shipped.errors.empty());
    ASSERT_EQ(shipped.beams.size(), 8u);
    EXPECT_EQ(findBeam(shipped, "RQA3")->q, 20673);
    EXPECT_EQ(findBeam(shipped, "rqa5")->q, 29653) << "the first block, 2015, is used";
    EXPECT_EQ(findBeam(shipped, "RQA7")->q, 32490);
    EXPECT_EQ(findBeam(shipped, "RQA9")->q, 31077);
    EXPECT_EQ(shipped.beams[5].q, 30174);
    EXPECT_EQ(shipped.beams[5].edition, "IEC62220-1:2003");
    EXPECT_EQ(findBeam(shipped, "RQA6"), nullptr);

    const BeamList site = parseBeamList(
        "header\nRQA5 29653 2015\n\nSITE-W 25000.5 local 2026\nRQA7 abc 2015\nRQA8 -3 x\nRQA9\n# note\n");
    ASSERT_EQ(site.beams.size(), 2u);
    EXPECT_EQ(findBeam(site, "SITE-W")->q, 25000.5);
    EXPECT_EQ(findBeam(site, "SITE-W")->edition, "local 2026");
    ASSERT_EQ(site.errors.size(), 3u);
    EXPECT_NE(site.errors[0].find("Line 5"), std::string::npos) << site.errors[0];
    EXPECT_NE(site.errors[2].find("Line 7"), std::string::npos) << site.errors[2];
    EXPECT_FALSE(readBeamList("/nonexistent/BEAMQ.TXT").errors.empty());
}

TEST(BeamList, EditionsAndNamesRepeatedWithinOne)
{
    const BeamList shipped = readBeamList(std::filesystem::path(VANTRY_BIN_DIR) / "BEAMQ.TXT");
    EXPECT_EQ(findBeam(shipped, "RQA5", "2015")->q, 29653);
    EXPECT_EQ(findBeam(shipped, "rqa5", "2003")->q, 30174);
    EXPECT_EQ(findBeam(shipped, "RQA3", "2003")->q, 21759);
    EXPECT_EQ(findBeam(shipped, "RQA7", "2003")->q, 32362);
    EXPECT_EQ(findBeam(shipped, "RQA5", "1999"), nullptr);
    EXPECT_EQ(findBeam(shipped, "RQA6", "2015"), nullptr);

    const BeamList list = parseBeamList("name q edition\n"
                                        "RQA5 29653 IEC62220-1-1:2015\n"
                                        "RQA5 30174 IEC62220-1:2003\n"
                                        "rqa5 31000 IEC62220-1-1:2015 site\n"
                                        "RQA9 -1 broken 2015\n"
                                        "SITE-W 25000 local 2026\n"
                                        "SITE-W 26000 site 2026\n"
                                        "SITE-W 27000 other\n");
    ASSERT_EQ(list.errors.size(), 3u);
    EXPECT_EQ(list.errors[0], "Line 4 of the beam list repeats rqa5 of the 2015 edition: line 2 is used.");
    EXPECT_EQ(list.errors[2], "Line 7 of the beam list repeats SITE-W of the 2026 edition: line 6 is used.");
    EXPECT_EQ(list.repeats(), (std::vector<std::string>{list.errors[0], list.errors[2]}));
    ASSERT_EQ(list.faults().size(), 1u);
    EXPECT_NE(list.faults()[0].find("Line 5"), std::string::npos) << list.faults()[0];
    ASSERT_EQ(list.beams.size(), 4u) << "a repeat is left out, another edition kept";
    EXPECT_EQ(findBeam(list, "RQA5", "2015")->q, 29653) << "the first of the edition";
    EXPECT_EQ(findBeam(list, "RQA5", "2003")->q, 30174);
    EXPECT_EQ(findBeam(list, "RQA5")->q, 29653) << "without an edition, the first of the name";
    EXPECT_EQ(findBeam(list, "SITE-W", "other")->q, 27000) << "an edition without a year is its text";
    EXPECT_EQ(editionKey("IEC62220-1-1:2015"), "2015");
    EXPECT_EQ(editionKey("IEC62220-1:2003"), "2003");
    EXPECT_EQ(editionKey("v12345 local"), "v12345 local") << "five digits are no year";
}

TEST(MtfSummary, GaussianFiguresWithinTheInterpolationErrorOfTheAnalyticOnes)
{
    const double s = 0.08; // mm
    std::vector<float> f, m;
    for (int i = 0; i <= 50; ++i) {
        f.push_back(0.1f * static_cast<float>(i));
        m.push_back(static_cast<float>(std::exp(-2 * std::numbers::pi * std::numbers::pi * s * s * f.back() * f.back())));
    }
    const MtfSummary sum = summarizeMtf(f.data(), m.data(), 51, 0.1f);
    const auto at = [&](double level) { return std::sqrt(std::log(1 / level) / (2 * std::numbers::pi * std::numbers::pi * s * s)); };
    // linear interpolation of a curve of curvature below 0.3 per (cycle/mm)^2 over 0.1 steps errs
    // by under 0.3 x 0.1^2 / 8 in MTF, about 0.002 cycles/mm at these slopes
    ASSERT_TRUE(sum.mtf50 && sum.mtf10 && sum.nyquist);
    EXPECT_NEAR(*sum.mtf50, at(0.5), 0.003);
    EXPECT_NEAR(*sum.mtf10, at(0.1), 0.003);
    EXPECT_NEAR(*sum.nyquist, std::exp(-2 * std::numbers::pi * std::numbers::pi * s * s * 25), 1e-6);
    const MtfSummary flat = summarizeMtf(f.data(), std::vector<float>(51, 0.8f).data(), 51, 0.05f);
    EXPECT_FALSE(flat.mtf50);
    EXPECT_FALSE(flat.nyquist) << "10 cycles/mm lies beyond the curve";
    EXPECT_EQ(summaryText(sum).substr(0, 6), "MTF50 ");
    // A point exactly at the level is where the curve falls to it.
    const float steps[] = {1.0f, 0.75f, 0.5f, 0.25f, 0.1f, 0.05f};
    const float grid[] = {0, 1, 2, 3, 4, 5};
    const MtfSummary exact = summarizeMtf(grid, steps, 6, 0.1f);
    EXPECT_EQ(exact.mtf50, 2.0f);
    EXPECT_EQ(exact.mtf10, 4.0f);
    EXPECT_EQ(exact.nyquist, 0.05f);
    EXPECT_EQ(summaryText(flat), "MTF50 -  MTF10 -  Nyq -");
}

class Dqe : public AnalysisFixture {
protected:
    Dqe()
    {
        std::filesystem::copy_file(std::filesystem::path(VANTRY_BIN_DIR) / "BEAMQ.TXT", folder / "BEAMQ.TXT");
    }
    /// An image of Poisson counts with mean q K a: the quantum-limited detector.
    void poissonFlat(double mean, int32_t side = 1024, float pitch = 0.1f)
    {
        std::mt19937 gen(2026);
        std::poisson_distribution<int> counts(mean);
        std::vector<int16_t> p(static_cast<size_t>(side) * side);
        for (auto& x : p) x = static_cast<int16_t>(counts(gen));
        loadWithRoi(side, side, std::move(p), 0, 0, static_cast<int16_t>(side), static_cast<int16_t>(side),
                    pitch);
        k.ws.PRESETNAME[0] = "FLAT";
        freeNumber(2);
        answer({"2"});
        NNPS2D_Click(v);
        ASSERT_EQ(v.r.NPSNUM[1], 25) << (host.messages.empty() ? "" : host.messages.back());
    }
    void storeMtf(int d, double value)
    {
        const auto slot = static_cast<size_t>(d - 1);
        v.r.DATALBL[slot] = "EDGE H";
        v.r.MTFNUM[slot] = 51;
        for (int i = 0; i <= 50; ++i) {
            v.r.MTFFRQ[slot][i] = 0.1f * static_cast<float>(i);
            v.r.MTFVAL[slot][i] = static_cast<float>(value);
        }
        v.r.LASTMTFNO = static_cast<int16_t>(d);
    }
    /// Positions (u, v), u, v = 1 .. 128, in radial bin k at 0.1 mm.
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
};

TEST_F(Dqe, QuantumLimitedDetectorHasDqeOneAndNeqQKerma)
{
    const double q = 29653, kerma = 2.5;
    poissonFlat(q * kerma * 0.01); // 741.3 counts a pixel
    storeMtf(1, 1.0);
    answer({ScriptedHost::kAcceptDefault, ScriptedHost::kAcceptDefault, "RQA5",
            ScriptedHost::kAcceptDefault, ScriptedHost::kAcceptDefault, "2.5"});
    DQECLC(v);
    ASSERT_EQ(v.r.DQEVAL.size(), 25u) << (host.messages.empty() ? "" : host.messages.back());
    EXPECT_EQ(host.prompts[1].prompt, "MTF data No.= ");
    EXPECT_EQ(host.prompts[1].deflt, " 1");
    EXPECT_EQ(host.prompts[2].deflt, " 2") << "the NNPS stored last";
    EXPECT_EQ(v.r.DSPMODE, kDqeMode);
    for (size_t i = 0; i < 25; ++i) {
        // relative standard error of a bin: 16 blocks, at least one independent sample per
        // position (u, v) of the bin
        const double se = 1 / std::sqrt(16.0 * positionsInBin(static_cast<int>(i) + 1));
        EXPECT_NEAR(v.r.DQEVAL[i], 1.0, 3 * se) << "f " << v.r.DQEFRQ[i];
        EXPECT_NEAR(v.r.DQENEQ[i] / (q * kerma), v.r.DQEVAL[i], 1e-12);
    }
}

TEST_F(Dqe, PreciseCurveIsTakenByDqeCalcAsStored)
{
    // The edge first, "Precise MTF..." to 5 cycles/mm stored as 1; then the flat field as 2.
    const edgeimage::EdgeSpec e{.width = 276, .height = 148, .sigmaPx = 0.6, .tiltDeg = 4};
    loadWithRoi(e.width, e.height, edgeimage::edgeImage(e), 10, 10, 256, 128);
    answer({"5", "0.1", "1"});
    PRECISEMTF(v);
    ASSERT_EQ(v.r.MTFHASERR[0], 1) << (host.messages.empty() ? "" : host.messages.back());
    const double q = 29653, kerma = 2.5;
    poissonFlat(q * kerma * 0.01);
    answer({ScriptedHost::kAcceptDefault, ScriptedHost::kAcceptDefault, "RQA5",
            ScriptedHost::kAcceptDefault, ScriptedHost::kAcceptDefault, "2.5"});
    DQECLC(v);
    ASSERT_EQ(v.r.DQEMTFNO, 1) << "the MTF stored last is the default";
    ASSERT_FALSE(v.r.DQEMTF.empty()) << (host.messages.empty() ? "" : host.messages.back());
    for (size_t i = 0; i < v.r.DQEMTF.size(); ++i) {
        const double f = v.r.DQEFRQ[i];
        const double mtf = edgeimage::edgeMtf(f, 0.1, 0.6, 4);
        EXPECT_NEAR(v.r.DQEMTF[i], mtf, 0.002) << "f " << f;
        // A quantum-limited detector with this MTF: DQE = MTF^2 within the NNPS's noise.
        const double se = 1 / std::sqrt(16.0 * positionsInBin(static_cast<int>(i) + 1));
        EXPECT_NEAR(v.r.DQEVAL[i], mtf * mtf, 3 * se * mtf * mtf + 0.004) << "f " << f;
    }
}

TEST_F(Dqe, DarkFrameOrNegativeMeanIsRefusedForANormalisedSpectrum)
{
    // 256 x 256 pixels of spread 10: ten standard errors of the mean are 0.39.
    const auto field = [this](double mean) {
        std::mt19937 gen(7);
        std::normal_distribution<double> noise(mean, 10);
        std::vector<int16_t> p(256 * 256);
        for (auto& x : p) x = static_cast<int16_t>(std::lround(noise(gen)));
        loadWithRoi(256, 256, std::move(p), 0, 0, 256, 256);
        host.messages.clear();
        answer({"1"});
        NNPS2D_Click(v);
        host.inputAnswers.clear();
    };
    for (const double mean : {0.0, -500.0, 0.2}) {
        field(mean);
        ASSERT_EQ(host.messages.size(), 1u) << mean;
        EXPECT_NE(host.messages[0].find("is not clearly above zero"), std::string::npos) << host.messages[0];
        EXPECT_EQ(v.r.NPSNUM[0], 0) << mean << ": nothing stored";
    }
    field(5);
    EXPECT_TRUE(host.messages.empty()) << host.messages.front();
    EXPECT_EQ(v.r.NPSNUM[0], 25);
    // The absolute spectrum does not divide by the signal: a dark frame has one.
    field(0);
    host.messages.clear();
    freeNumber(1);
    answer({"1"});
    NPS2D_Click(v);
    EXPECT_TRUE(host.messages.empty()) << host.messages.front();
}

TEST_F(Dqe, KermaOrQOutsideTheirPhysicalRangesIsRefused)
{
    poissonFlat(741.3);
    storeMtf(1, 1.0);
    for (const char* kerma : {"1e-310", "0.0009", "100001"}) {
        host.messages.clear();
        answer({"1", "2", "RQA5", "2015", ScriptedHost::kAcceptDefault, kerma});
        DQECLC(v);
        ASSERT_EQ(host.messages.size(), 1u) << kerma;
        EXPECT_NE(host.messages[0].find("from 0.001 to 100000"), std::string::npos) << host.messages[0];
        EXPECT_TRUE(v.r.DQEVAL.empty()) << kerma;
    }
    for (const char* q : {"1e-200", "999", "1000001"}) {
        host.messages.clear();
        answer({"1", "2", "SITE-X", "2015", q});
        DQECLC(v);
        ASSERT_FALSE(host.messages.empty()) << q;
        EXPECT_NE(host.messages.back().find("from 1000 to 1000000"), std::string::npos) << host.messages.back();
        host.inputAnswers.clear();
    }
    host.messages.clear();
    answer({"1", "2", "RQA5", "2015", ScriptedHost::kAcceptDefault, "0.001"});
    DQECLC(v);
    ASSERT_EQ(v.r.DQEVAL.size(), 25u) << "the ends of the range are taken";
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].rfind("warning the DQE reaches ", 0), 0u) << host.messages[0];
}

TEST_F(Dqe, KermaAndMtfScaleTheDqeAsTheDefinitionSays)
{
    poissonFlat(741.3, 512);
    storeMtf(1, 1.0);
    storeMtf(3, 0.5);
    answer({"1", "2", "RQA5", "2015", ScriptedHost::kAcceptDefault, "2.5"});
    DQECLC(v);
    const std::vector<double> base = v.r.DQEVAL;
    answer({"1", "2", "RQA5", "2015", ScriptedHost::kAcceptDefault, "5"});
    DQECLC(v);
    for (size_t i = 0; i < base.size(); ++i) EXPECT_NEAR(v.r.DQEVAL[i], base[i] / 2, 1e-9 * base[i]);
    answer({"3", "2", "RQA5", "2015", ScriptedHost::kAcceptDefault, "2.5"});
    DQECLC(v);
    for (size_t i = 0; i < base.size(); ++i) EXPECT_NEAR(v.r.DQEVAL[i], base[i] / 4, 1e-6 * base[i]);
    EXPECT_FLOAT_EQ(v.r.DQEKERMA, 2.5f);
}

TEST_F(Dqe, DqeAboveOneIsReportedAndDrawnUnclamped)
{
    poissonFlat(741.3, 256);
    storeMtf(1, 1.0);
    // a kerma five times too low: DQE near 5
    answer({"1", "2", "RQA5", "2015", ScriptedHost::kAcceptDefault, "0.5"});
    DQECLC(v);
    ASSERT_FALSE(v.r.DQEVAL.empty());
    const double top = *std::max_element(v.r.DQEVAL.begin(), v.r.DQEVAL.end());
    EXPECT_GT(top, 3.0);
    double highest = 0;
    for (const auto& c : host.canvas.calls)
        if (c.kind == DrawCall::Kind::Line && c.value == 14) highest = std::max(highest, c.y2);
    EXPECT_DOUBLE_EQ(highest, top) << "the chart follows the data";
    host.clipboardText.clear();
    CLIPDQE(v);
    EXPECT_NE(host.clipboardText.find("\tRQA5\tq=29653"), std::string::npos) << host.clipboardText;
    EXPECT_NE(host.clipboardText.find("Ka=.5 uGy"), std::string::npos);
    EXPECT_NE(host.clipboardText.find("E-05\t"), std::string::npos) << "NNPS in exponent form";
}

TEST_F(Dqe, UnknownBeamAsksForQAndBadAnswersChangeNothing)
{
    poissonFlat(741.3, 256);
    storeMtf(1, 1.0);
    answer({"1", "2", "SITE-X", "2015", "30000", "2.5"});
    DQECLC(v);
    EXPECT_EQ(host.prompts[4].prompt, "Edition (2015 or 2003) = ");
    EXPECT_EQ(host.prompts[4].deflt, "2015");
    EXPECT_EQ(host.prompts[5].prompt, "q (1/(mm^2 uGy)) for SITE-X = ");
    EXPECT_EQ(host.prompts[5].deflt, " 0") << "no listed q, and none typed before";
    EXPECT_EQ(v.r.DQEQ, 30000);
    const auto kept = v.r.DQEVAL;
    host.messages.clear();
    for (std::initializer_list<const char*> answers :
         {std::initializer_list<const char*>{"4", "2"}, {"1", "3"},
          {"1", "2", "RQA5", "2015", ScriptedHost::kAcceptDefault, "0"},
          {"1", "2", "RQA5", "2015", ScriptedHost::kAcceptDefault, "-1"},
          {"1", "2", "NOPE", "2015", "abc"}, {"1", "2", "RQA5", "2010"}}) {
        answer(answers);
        DQECLC(v);
        host.inputAnswers.clear(); // a refusal leaves the later answers unasked
    }
    ASSERT_EQ(host.messages.size(), 6u);
    EXPECT_EQ(host.messages[5], "The edition must be 2015 or 2003, not 2010.");
    EXPECT_EQ(v.r.DQEVAL, kept);
    host.msgBoxAnswers.push_back(MsgBoxAnswer::Yes); // number 2 holds the NNPS
    answer({"2"});
    NPS2D_Click(v); // an absolute spectrum under 2
    ASSERT_EQ(v.r.NPSRAW[1], 1);
    host.messages.clear();
    answer({"1", "2"});
    DQECLC(v);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find("absolute"), std::string::npos) << host.messages[0];
}

TEST_F(Dqe, EditionChoosesQAndATypedQOverridesTheList)
{
    poissonFlat(741.3, 256); // DQE 1 at 2.5 uGy: at 5 well below 1, so no warning
    storeMtf(1, 1.0);
    const auto calc = [this](std::initializer_list<const char*> answers) {
        host.messages.clear();
        answer(answers);
        DQECLC(v);
        EXPECT_TRUE(host.inputAnswers.empty());
        EXPECT_TRUE(host.messages.empty()) << host.messages.front();
        return v.r.DQEVAL;
    };
    const std::vector<double> rqa5 =
        calc({"1", "2", "RQA5", ScriptedHost::kAcceptDefault, ScriptedHost::kAcceptDefault, "5"});
    const auto& asked = host.prompts;
    EXPECT_EQ(asked[asked.size() - 3].prompt, "Edition (2015 or 2003) = ");
    EXPECT_EQ(asked[asked.size() - 2].prompt, "q (1/(mm^2 uGy)) for RQA5 = ");
    EXPECT_EQ(asked[asked.size() - 2].deflt, " 29653") << "the listed q offered";
    EXPECT_EQ(v.r.DQEQ, 29653);
    EXPECT_EQ(v.r.DQEEDITION, "2015");
    ASSERT_EQ(rqa5.size(), 25u);
    // DQE = NEQ / (q K): the 2003 value of RQA5 scales every bin by 29653 / 30174.
    const std::vector<double> older =
        calc({"1", "2", "rqa5", " 2003 ", ScriptedHost::kAcceptDefault, "5"});
    EXPECT_EQ(asked[asked.size() - 2].deflt, " 30174");
    EXPECT_EQ(v.r.DQEQ, 30174);
    EXPECT_EQ(v.r.DQEEDITION, "2003");
    for (size_t i = 0; i < rqa5.size(); ++i) {
        EXPECT_NEAR(older[i], rqa5[i] * 29653 / 30174, 1e-12 * rqa5[i]) << i;
    }
    // A typed q overrides the listed one; an empty answer takes the listed one.
    const std::vector<double> typed = calc({"1", "2", "RQA5", "2015", "40000", "5"});
    EXPECT_EQ(v.r.DQEQ, 40000);
    for (size_t i = 0; i < rqa5.size(); ++i) {
        EXPECT_NEAR(typed[i], rqa5[i] * 29653 / 40000, 1e-12 * rqa5[i]) << i;
    }
    calc({"1", "2", "RQA5", "", "  ", "5"});
    EXPECT_EQ(v.r.DQEQ, 29653);
    EXPECT_EQ(v.r.DQEEDITION, "2015") << "an empty edition is the default";
}

TEST_F(Dqe, RepeatedBeamIsWarnedAndAFaultyListStillTakesATypedQ)
{
    poissonFlat(741.3, 256);
    storeMtf(1, 1.0);
    std::ofstream(folder / "BEAMQ.TXT", std::ios::binary)
        << "name q edition\nRQA5 29653 IEC62220-1-1:2015\nRQA5 33000 IEC62220-1-1:2015\n"
           "RQA9 x broken\n";
    answer({"1", "2", "RQA5", "2015", ScriptedHost::kAcceptDefault, "5"});
    DQECLC(v);
    ASSERT_EQ(host.messages.size(), 1u) << "the fault of another line does not matter here";
    EXPECT_EQ(host.messages[0],
              "warning line 3 of the beam list repeats RQA5 of the 2015 edition: line 2 is used");
    EXPECT_EQ(v.r.DQEQ, 29653);
    EXPECT_EQ(v.r.DQEVAL.size(), 25u);

    // Without a list, q is typed: the DQE is computed with it, the missing list named.
    std::filesystem::remove(folder / "BEAMQ.TXT");
    host.messages.clear();
    answer({"1", "2", "RQA5", "2015", "30000", "5"});
    DQECLC(v);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].rfind("warning the beam list ", 0), 0u) << host.messages[0];
    EXPECT_NE(host.messages[0].find("cannot be read"), std::string::npos) << host.messages[0];
    EXPECT_EQ(host.prompts.back().prompt, "Air kerma (uGy) = ");
    EXPECT_EQ(v.r.DQEQ, 30000);
    EXPECT_EQ(v.r.DQEVAL.size(), 25u);
    // An accepted default without a listed value is no q.
    host.messages.clear();
    answer({"1", "2", "RQA5", "2015", ""});
    DQECLC(v);
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_NE(host.messages[1].find("from 1000 to 1000000, not 0"), std::string::npos) << host.messages[1];
}

TEST_F(Dqe, CurvesOfDifferentPitchAreRefused)
{
    // The written road stores the MTF with the pitch of its image (0.1 mm) ...
    const edgeimage::EdgeSpec e{.width = 320, .height = 148, .sigmaPx = 0.5, .tiltDeg = 3};
    loadWithRoi(e.width, e.height, edgeimage::edgeImage(e), 10, 10, 300, 128, 0.1f);
    answer({ScriptedHost::kAcceptDefault, "0", "5", "0.1", "1"});
    DSPESF(v);
    ESFOK(v);
    MTFCLC(v);
    ASSERT_EQ(v.r.MTFNUM[0], 51) << (host.messages.empty() ? "" : host.messages.back());
    EXPECT_EQ(v.r.MTFPITCH[0], 0.1f);
    // ... and the NNPS with that of the flat field, 0.143 mm here.
    poissonFlat(741.3, 256, 0.143f);
    EXPECT_EQ(v.r.NPSPITCH[1], 0.143f);
    host.messages.clear();
    const size_t asked = host.prompts.size();
    answer({"1", "2", "RQA5", "2015", ScriptedHost::kAcceptDefault, "2.5"});
    DQECLC(v);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], "The MTF curve No.1 was measured on pixels of 0.1 mm and the NNPS curve No.2 "
                                "on pixels of 0.143 mm: the DQE needs both from pixels of one size.");
    EXPECT_EQ(host.prompts.size(), asked + 2) << "refused before the beam is asked";
    EXPECT_TRUE(v.r.DQEVAL.empty());
    EXPECT_EQ(v.r.DSPMODE, 4) << "the NNPS chart stays";
    host.inputAnswers.clear();

    // The same flat field at 0.1 mm is taken.
    poissonFlat(741.3, 256, 0.1f);
    host.messages.clear();
    answer({"1", "2", "RQA5", "2015", ScriptedHost::kAcceptDefault, "5"});
    DQECLC(v);
    EXPECT_TRUE(host.messages.empty()) << host.messages.front();
    EXPECT_EQ(v.r.DQEVAL.size(), 25u);

    // "Precise MTF..." records its image's pitch too.
    const edgeimage::EdgeSpec p{.width = 276, .height = 148, .sigmaPx = 0.6, .tiltDeg = 4};
    loadWithRoi(p.width, p.height, edgeimage::edgeImage(p), 10, 10, 256, 128, 0.143f);
    answer({"3", "0.1", "3"});
    PRECISEMTF(v);
    ASSERT_EQ(v.r.MTFHASERR[2], 1) << (host.messages.empty() ? "" : host.messages.back());
    EXPECT_EQ(v.r.MTFPITCH[2], 0.143f);
    host.messages.clear();
    answer({"3", "2"});
    DQECLC(v);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find("No.3 was measured on pixels of 0.143 mm and the NNPS curve No.2 on "
                                    "pixels of 0.1 mm"),
              std::string::npos)
        << host.messages[0];
    host.inputAnswers.clear();
}

TEST_F(Dqe, OfferedNnpsIsTheLastNormalisedCurveNeverAnAbsoluteOne)
{
    poissonFlat(741.3, 256); // "2D-NNPS" as 2
    storeMtf(1, 1.0);
    answer({"3"});
    NPS2D_Click(v); // "2D-NPS" as 3, stored after it
    ASSERT_EQ(v.r.NPSRAW[2], 1);
    host.messages.clear();
    answer({"1", ScriptedHost::kAcceptDefault, "RQA5", "2015", ScriptedHost::kAcceptDefault, "5"});
    DQECLC(v);
    EXPECT_EQ(host.prompts[host.prompts.size() - 5].prompt, "NNPS data No.= ");
    EXPECT_EQ(host.prompts[host.prompts.size() - 5].deflt, " 2");
    EXPECT_TRUE(host.messages.empty()) << host.messages.front();
    EXPECT_EQ(v.r.DQENPSNO, 2);

    // The last normalised curve overwritten by an absolute one: the first normalised curve left.
    const auto offered = [this] {
        host.inputAnswers.clear();
        answer({"1"}); // the NNPS prompt is then cancelled
        DQECLC(v);
        return host.prompts.back().deflt;
    };
    answer({"4"});
    NNPS2D_Click(v);
    answer({"5"});
    NNPS2D_Click(v);
    EXPECT_EQ(offered(), " 5");
    // Each stored over a noise curve: the question answered Yes.
    host.msgBoxAnswers = {MsgBoxAnswer::Yes, MsgBoxAnswer::Yes, MsgBoxAnswer::Yes};
    answer({"5"});
    NPS2D_Click(v);
    answer({"2"});
    NPS2D_Click(v);
    EXPECT_EQ(offered(), " 4") << "2, 3 and 5 hold absolute spectra";
    answer({"4"});
    NPS2D_Click(v);
    EXPECT_TRUE(host.msgBoxAnswers.empty()) << "each asked once";
    EXPECT_EQ(offered(), " 1") << "no normalised curve at all";
}

TEST_F(Dqe, ChartDrawsTheLineOfOneWhenAValueExceedsIt)
{
    VylsfRecord& r = v.r;
    r.DATALBL[0] = "EDGE H";
    r.DATALBL[1] = "FLAT R";
    r.DQEMTFNO = 1;
    r.DQENPSNO = 2;
    r.NFMAX = 3;
    r.DQEFRQ = {0.2, 0.4, 0.6, 0.8};
    struct Case {
        std::vector<double> dqe;
        bool line;   ///< whether the line at 1 is drawn
        double ymax; ///< the top of the frame: 1.2, or 1.05 x the largest value above it
    };
    const Case cases[] = {
        {{0.9, 0.99, 0.8, 0.7}, false, 1.2},
        {{0.9, 1.0, 0.8, 0.7}, false, 1.2}, // 1 itself is reachable
        {{0.9, 1.05, 0.8, 0.7}, true, 1.2}, // above 1, inside the frame
        {{0.5, 0.6, 7.0, 0.7}, true, 7.35},
    };
    for (const Case& t : cases) {
        r.DQEVAL = t.dqe;
        host.canvas.calls.clear();
        DQEDSP(v);
        const auto& calls = host.canvas.calls;
        ASSERT_FALSE(calls.empty());
        // top 1.3 ymax, height -1.5 ymax: the frame 0 .. ymax with room for the title
        EXPECT_NEAR(host.canvas.top, 1.3 * t.ymax, 1e-12) << t.ymax;
        EXPECT_NEAR(host.canvas.height, -1.5 * t.ymax, 1e-12) << t.ymax;
        const double largest = *std::max_element(t.dqe.begin(), t.dqe.end());
        EXPECT_LE(largest, t.ymax) << "the largest value is inside the frame";
        int limitLines = 0;
        for (const DrawCall& c : calls) {
            if (c.kind == DrawCall::Kind::Line && c.value == 12) {
                ++limitLines;
                EXPECT_EQ(c.y1, 1.0);
                EXPECT_EQ(c.y2, 1.0);
                EXPECT_EQ(c.x1, 0.0);
                EXPECT_EQ(c.x2, 3.0) << "across the whole axis";
            }
        }
        const auto texts = printed();
        const auto label = std::find(texts.begin(), texts.end(), "DQE = 1");
        EXPECT_EQ(limitLines, t.line ? 1 : 0) << largest;
        EXPECT_EQ(label != texts.end(), t.line) << largest;
        // The curve still reaches the largest value: nothing is clamped to the line.
        double top = 0;
        for (const DrawCall& c : calls)
            if (c.kind == DrawCall::Kind::Line && c.value == 14) top = std::max(top, c.y2);
        EXPECT_EQ(top, largest);
    }
}

TEST_F(Dqe, ClipWithoutADqeSaysSo)
{
    CLIPDQE(v);
    EXPECT_EQ(host.messages.back(), "no data!");
}

} // namespace
