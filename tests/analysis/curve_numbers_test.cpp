// Data numbers of new curves, the question before a stored curve is replaced, the labels that stay
// with their curves, and the captions that name what the chart shows.
#include "analysis_fixture.h"
#include "curve_numbers.h"
#include "dqe.h"
#include "esf.h"
#include "mtf_chart.h"
#include "nnps.h"
#include "nnps_chart.h"
#include "window_events.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

using namespace vantry;

namespace {

/// Deterministic white noise of spread about 20 on `level`.
std::vector<int16_t> flatField(int32_t w, int32_t h, int16_t level)
{
    std::vector<int16_t> p(static_cast<size_t>(w) * h);
    uint32_t state = 12345;
    for (int16_t& v : p) {
        int sum = 0;
        for (int i = 0; i < 4; ++i) {
            state = state * 1664525u + 1013904223u;
            sum += static_cast<int>(state >> 26); // 0 .. 63
        }
        v = static_cast<int16_t>(level + sum - 126);
    }
    return p;
}

class CurveNumbers : public AnalysisFixture {
protected:
    CurveNumbers() { loadWithRoi(256, 256, flatField(256, 256, 1000), 0, 0, 256, 256); }

    /// An MTF curve of 31 points (falling from 1) under data number d, as "MTF calc." leaves it.
    void storeMtf(int d, const std::string& label)
    {
        const auto s = static_cast<size_t>(d - 1);
        v.r.MTFNUM[s] = 31;
        for (size_t n = 0; n < 31; ++n) {
            v.r.MTFFRQ[s][n] = 0.1f * static_cast<float>(n);
            v.r.MTFVAL[s][n] = 1.0f - 0.02f * static_cast<float>(n);
        }
        v.r.MTFPITCH[s] = 0.1f;
        v.r.DATALBL[s] = label;
        v.r.DATANO = static_cast<int16_t>(d);
        v.r.LASTMTFNO = static_cast<int16_t>(d);
    }

    /// "2D-NNPS" on the flat field answered with `number`; the prompts it asked.
    std::vector<ScriptedHost::Prompt> nnps(const char* number)
    {
        const size_t asked = host.prompts.size();
        answer({number});
        NNPS2D_Click(v);
        return {host.prompts.begin() + static_cast<std::ptrdiff_t>(asked), host.prompts.end()};
    }
};

TEST_F(CurveNumbers, NewCurveIsOfferedTheFirstFreeNumberNeverAnotherKindsCurve)
{
    k.ws.PRESETNAME[0] = "FLAT";
    storeMtf(1, "EDGE H");
    const auto asked = nnps(ScriptedHost::kAcceptDefault);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].deflt, " 2") << "number 1 holds the edge's MTF";
    ASSERT_TRUE(host.messages.empty()) << host.messages.front();
    EXPECT_EQ(v.r.NPSNUM[1], 25);
    EXPECT_EQ(v.r.DATALBL[0], "EDGE H") << "the MTF keeps its label";
    EXPECT_EQ(v.r.DATALBL[1], "FLAT R");
    EXPECT_EQ(v.r.MTFNUM[0], 31);

    // A gap is filled first: 1 and 2 taken, 3 free.
    storeMtf(4, "EDGE V");
    EXPECT_EQ(firstFreeNumber(v.r, CurveKind::Mtf), 3);
    EXPECT_EQ(firstFreeNumber(v.r, CurveKind::Nnps), 3);
}

TEST_F(CurveNumbers, WhenEveryNumberHoldsACurveTheOfferIsOfTheSameKind)
{
    for (int d = 1; d <= 7; ++d) storeMtf(d, "E" + std::to_string(d));
    v.r.LASTMTFNO = 5;
    EXPECT_EQ(firstFreeNumber(v.r, CurveKind::Mtf), 5) << "the MTF stored last";
    // Noise curves under 3 and 6 in the MTFs' place: an NNPS is offered the first noise number.
    for (int d : {3, 6}) {
        dropOtherKind(v.r, CurveKind::Nnps, static_cast<int16_t>(d));
        v.r.NPSNUM[static_cast<size_t>(d - 1)] = 25;
    }
    v.r.LASTNPSNO = 0;
    EXPECT_EQ(firstFreeNumber(v.r, CurveKind::Nnps), 3);
    v.r.LASTNPSNO = 6;
    EXPECT_EQ(firstFreeNumber(v.r, CurveKind::Nnps), 6);
    EXPECT_EQ(lastStoredNumber(v.r, CurveKind::Nnps), 6);
    v.r.LASTMTFNO = 3; // no longer an MTF: the first MTF is offered to read
    EXPECT_EQ(lastStoredNumber(v.r, CurveKind::Mtf), 1);
}

TEST_F(CurveNumbers, StoringOverACurveAsksAndNoKeepsTheOldOne)
{
    k.ws.PRESETNAME[0] = "FLAT";
    storeMtf(1, "EDGE H");
    host.msgBoxAnswers.push_back(MsgBoxAnswer::No);
    nnps("1");
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], "Data No.1 holds the MTF curve EDGE H. Replace it with the new curve?");
    EXPECT_EQ(v.r.MTFNUM[0], 31) << "No keeps the MTF";
    EXPECT_EQ(v.r.NPSNUM[0], 0);
    EXPECT_EQ(v.r.DATALBL[0], "EDGE H");
    EXPECT_EQ(v.r.LASTMTFNO, 1);

    host.msgBoxAnswers.push_back(MsgBoxAnswer::Yes);
    nnps("1");
    EXPECT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(v.r.NPSNUM[0], 25);
    EXPECT_EQ(v.r.MTFNUM[0], 0) << "the replaced MTF is gone with its label";
    EXPECT_EQ(v.r.DATALBL[0], "FLAT R");
    EXPECT_EQ(v.r.LASTMTFNO, 0);
    EXPECT_EQ(v.r.LASTNPSNO, 1);

    // An NNPS over an NNPS asks too; a free number asks nothing.
    nnps("1");
    EXPECT_EQ(host.messages.size(), 3u);
    EXPECT_EQ(host.messages[2], "Data No.1 holds the NNPS curve FLAT R. Replace it with the new curve?");
    nnps("3");
    EXPECT_EQ(host.messages.size(), 3u);
    EXPECT_EQ(v.r.NPSNUM[2], 25);
}

TEST_F(CurveNumbers, DqeNamesTheCurvesItCombines)
{
    k.ws.PRESETNAME[0] = "FLAT";
    storeMtf(1, "EDGE H");
    nnps(ScriptedHost::kAcceptDefault);
    host.prompts.clear();
    answer({ScriptedHost::kAcceptDefault, ScriptedHost::kAcceptDefault, "RQA5", "2015", "29653", "2.5"});
    DQECLC(v);
    for (const std::string& m : host.messages) EXPECT_EQ(m.rfind("warning ", 0), 0u) << m; // no beam list here
    ASSERT_GE(host.prompts.size(), 2u);
    EXPECT_EQ(host.prompts[0].deflt, " 1") << "the MTF";
    EXPECT_EQ(host.prompts[1].deflt, " 2") << "the NNPS";
    EXPECT_EQ(v.r.DQEMTFNO, 1);
    EXPECT_EQ(v.r.DQENPSNO, 2);
    EXPECT_EQ(v.form().Caption, "DQE EDGE H / FLAT R");
}

TEST_F(CurveNumbers, ClipOffersTheLastCurveOfItsKind)
{
    k.ws.PRESETNAME[0] = "FLAT";
    storeMtf(3, "EDGE H");
    nnps(ScriptedHost::kAcceptDefault); // under 1, the first free number
    ASSERT_EQ(v.r.DATANO, 1);
    answer({ScriptedHost::kAcceptDefault});
    CLIPMTF(v);
    EXPECT_EQ(host.prompts.back().deflt, " 3") << "the MTF, not the noise curve stored last";
    EXPECT_EQ(host.clipboardText.substr(0, 9), "\tEDGE H\r\n");
    answer({ScriptedHost::kAcceptDefault});
    NPSCLIP_Click(v);
    EXPECT_EQ(host.prompts.back().deflt, " 1");
    EXPECT_EQ(host.clipboardText.substr(0, 9), "\tFLAT R\r\n");
}

TEST_F(CurveNumbers, AskingForAStoredCurveRefusesOtherKindsAndNumbersOutside)
{
    storeMtf(2, "EDGE H");
    answer({"2"});
    EXPECT_EQ(askStoredCurve(v, "NNPS data No.= ", 1, CurveKind::Nnps), std::nullopt);
    EXPECT_EQ(host.messages.back(), "There is no NNPS curve under No.2: compute one first or choose another number.");
    answer({"8"});
    EXPECT_EQ(askStoredCurve(v, "No.=", 1, CurveKind::Mtf, "no data!"), std::nullopt);
    EXPECT_EQ(host.messages.back(), "No.8 is not a data number: choose one of 1 to 7.");
    answer({"0.6"});
    EXPECT_EQ(askStoredCurve(v, "No.=", 1, CurveKind::Mtf, "no data!"), std::nullopt);
    EXPECT_EQ(host.messages.back(), "no data!") << "0.6 is No.1, which holds nothing";
    answer({"2.4"});
    EXPECT_EQ(askStoredCurve(v, "No.=", 1, CurveKind::Mtf), std::optional<size_t>(1));
    EXPECT_EQ(host.prompts.back().deflt, " 1");
}

TEST_F(CurveNumbers, ComparisonsNameTheirCurvesInTheCaption)
{
    storeMtf(1, "EDGE H");
    storeMtf(3, "EDGE V");
    v.form().Caption = "DQE EDGE H / FLAT R";
    answer({"1-3"});
    COMPMTF(v);
    EXPECT_EQ(v.form().Caption, "MTF 1 EDGE H, 3 EDGE V") << "number 2 holds no curve";
    answer({"5"});
    COMPMTF(v);
    EXPECT_EQ(v.form().Caption, "MTF: no curve");

    k.ws.PRESETNAME[0] = "FLAT";
    nnps("2");
    answer({"2"});
    NPSCOMP_Click(v);
    EXPECT_EQ(v.form().Caption, "NNPS 2 FLAT R");
    EXPECT_EQ(v.r.DSPMODE, 4);
}

TEST_F(CurveNumbers, RightClickOnTheNoiseChartLeavesTheReadOut)
{
    k.ws.PRESETNAME[0] = "FLAT";
    nnps("1");
    const std::string caption = v.form().Caption;
    Form_MouseDown(v, 2, 0, 1.0, 2.0);
    EXPECT_EQ(v.form().Caption, caption);
    Form_MouseDown(v, 1, 0, 1.0, 2.0);
    char expected[64];
    std::snprintf(expected, sizeof expected, "1.00 %.2E", std::pow(10.0, v.r.LOGBASE + 2.0));
    EXPECT_EQ(v.form().Caption, expected) << "two decades above the chart's lowest";
}

TEST_F(CurveNumbers, TiltNudgesShowTheTiltInTheCaption)
{
    // A vertical edge at x = 100 tilted by 0.05 a line.
    std::vector<int16_t> p(300 * 200);
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 300; ++x) p[static_cast<size_t>(y) * 300 + x] = x + 0.5 < 100 + 0.05 * y ? 100 : 900;
    }
    loadWithRoi(300, 200, p, 0, 10, 250, 128);
    answer({"0.02"});
    DSPESF(v);
    ASSERT_EQ(v.r.DSPMODE, 1);
    CENADJ_Click(v, 1);
    EXPECT_EQ(v.form().Caption, "Shift = 0.024") << "0.02 + the coarse step 0.004";
    v.form().FINESTP.Value = 1;
    CENADJ_Click(v, 0);
    CENADJ_Click(v, 0);
    EXPECT_EQ(v.form().Caption, "Shift = 0.022") << "two fine steps of 0.001 back";
}

} // namespace
