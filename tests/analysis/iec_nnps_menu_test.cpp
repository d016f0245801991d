// "IEC NNPS" on the scripted host: what it asks and stores (an H and a V curve), the table it
// copies, and that a refused area or conversion leaves the store as it was.
#include "analysis_fixture.h"
#include "iec_nnps_menu.h"

#include <cmath>
#include <random>
#include <string>
#include <vector>

using namespace vantry;

namespace {

class IecNnpsMenu : public AnalysisFixture {
protected:
    /// White noise of sd 10 about 1000 at 0.1 mm, the ROI (x, y, w, h) on it.
    void loadFlat(int16_t x, int16_t y, int16_t w, int16_t h)
    {
        std::mt19937_64 rng(4);
        std::normal_distribution<double> noise(1000, 10);
        std::vector<int16_t> px(600 * 600);
        for (auto& p : px) p = static_cast<int16_t>(std::lround(noise(rng)));
        loadWithRoi(600, 600, px, x, y, w, h);
        k.ws.PRESETNAME[0] = "DETX";
    }
    /// Runs the item with only these answers queued.
    void run(std::initializer_list<const char*> answers)
    {
        host.inputAnswers.clear();
        host.messages.clear();
        answer(answers);
        IECNNPS(v);
    }
};

} // namespace

TEST_F(IecNnpsMenu, StoresHAndVUnderTwoNumbersWithTheWhiteNoiseLevel)
{
    loadFlat(10, 20, 512, 384);
    v.r.NFMAX = 5;
    v.r.NFINT = 0.1f;
    run({"none", "3"});
    ASSERT_EQ(host.prompts.size(), 2u);
    EXPECT_EQ(host.prompts[0].prompt, "Conversion (linear:S,I  log:S,I  none) = ");
    EXPECT_EQ(host.prompts[1].prompt, "Data No. of H (V the next)= ");
    EXPECT_EQ(v.r.DATALBL[2], "DETX H IEC");
    EXPECT_EQ(v.r.DATALBL[3], "DETX V IEC");
    ASSERT_EQ(v.r.NPSNUM[2], 50);
    ASSERT_EQ(v.r.NPSNUM[3], 50);
    EXPECT_EQ(v.r.LASTNPSNO, 3);
    EXPECT_EQ(v.r.DSPMODE, 4);
    // (10 / 1000)^2 x 0.1^2 mm^2 for white noise, plus the rounding's 1/12: log10 about -6.
    const double level = std::log10((100 + 1.0 / 12) / 1e6 * 0.01);
    double meanH = 0, meanV = 0;
    for (int i = 0; i < 50; ++i) {
        EXPECT_NEAR(v.r.NPSFRQ[2][i], 0.1 * (i + 1), 1e-5);
        meanH += v.r.NPSVAL[2][i] / 50;
        meanV += v.r.NPSVAL[3][i] / 50;
    }
    EXPECT_NEAR(meanH, level, 0.02);
    EXPECT_NEAR(meanV, level, 0.02);
    // 3 x 2 ROIs over 512 x 384: a warning for the pixel count.
    EXPECT_EQ(v.r.IECNPS.rois, 6);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find("196608 independent pixels"), std::string::npos) << host.messages[0];
    const std::string& clip = host.clipboardText;
    EXPECT_EQ(clip.rfind("DETX H IEC\r\nf (1/mm)\tNNPS H\tNNPS V\tSE H\tSE V\r\n0.10\t", 0), 0u) << clip;
    EXPECT_EQ(std::count(clip.begin(), clip.end(), '\n'), 2 + 50);
    EXPECT_NE(v.form().Caption.find("6 ROIs"), std::string::npos) << v.form().Caption;
}

TEST_F(IecNnpsMenu, SmallAreaOrBadConversionStoresNothing)
{
    loadFlat(0, 0, 255, 300);
    run({"none", "1"});
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find("smaller than one ROI"), std::string::npos) << host.messages[0];
    EXPECT_EQ(v.r.NPSNUM[0], 0);

    loadFlat(0, 0, 256, 256);
    run({"cubic:1,2", "1"});
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find("not linear:S,I, log:S,I or none"), std::string::npos);
    EXPECT_EQ(v.r.NPSNUM[0], 0);
    EXPECT_EQ(v.r.IECCONV, "none");

    // A linear conversion is kept as the next default.
    run({"linear:2,-1000", "1"});
    EXPECT_EQ(v.r.NPSNUM[0], 30) << (host.messages.empty() ? "" : host.messages[0]);
    EXPECT_EQ(v.r.IECCONV, "linear:2,-1000");
}

TEST_F(IecNnpsMenu, PairIsOfferedTwoFreeNumbersAndReplacesAnMtfOnlyAfterYes)
{
    loadFlat(10, 20, 512, 384); // 30 points up to the default 3 cycles/mm
    // An MTF under 2: the first pair of free numbers is 3 and 4.
    v.r.MTFNUM[1] = 31;
    v.r.DATALBL[1] = "EDGE H";
    v.r.LASTMTFNO = 2;
    run({"none", ScriptedHost::kAcceptDefault});
    EXPECT_EQ(host.prompts.back().deflt, " 3");
    ASSERT_EQ(v.r.NPSNUM[2], 30);
    EXPECT_EQ(v.r.NPSNUM[3], 30);
    // Only the warning of a small area, no question.
    const auto notWarnings = [this] {
        std::vector<std::string> out;
        for (const std::string& m : host.messages) {
            if (m.rfind("warning ", 0) != 0) out.push_back(m);
        }
        return out;
    };
    EXPECT_TRUE(notWarnings().empty()) << notWarnings().front();

    // H under 1 puts V under 2, where the MTF is: No keeps everything as it was.
    host.msgBoxAnswers.push_back(MsgBoxAnswer::No);
    run({"none", "1"});
    ASSERT_EQ(notWarnings().size(), 1u);
    EXPECT_EQ(notWarnings()[0], "Data No.2 holds the MTF curve EDGE H. Replace it with the new curve?");
    EXPECT_EQ(v.r.NPSNUM[0], 0);
    EXPECT_EQ(v.r.MTFNUM[1], 31);
    EXPECT_EQ(v.r.DATALBL[1], "EDGE H");

    host.msgBoxAnswers.push_back(MsgBoxAnswer::Yes);
    run({"none", "1"});
    EXPECT_EQ(notWarnings().size(), 1u) << "asked once, for number 2";
    EXPECT_EQ(v.r.NPSNUM[0], 30);
    EXPECT_EQ(v.r.NPSNUM[1], 30);
    EXPECT_EQ(v.r.MTFNUM[1], 0) << "the MTF gave way with its label";
    EXPECT_EQ(v.r.DATALBL[1], "DETX V IEC");
    EXPECT_EQ(v.r.LASTMTFNO, 0);
}
