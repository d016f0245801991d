// The two settings dialogues: every typed number held to its range, the summary loop.
#include "analysis_fixture.h"
#include "settings.h"

using namespace vantry;

namespace {

class Settings : public AnalysisFixture {};

TEST_F(Settings, LimitsOfEveryMtfSetting)
{
    answer({"abc", "0.05", "0.5", "50", "4"});
    host.msgBoxAnswers.push_back(MsgBoxAnswer::Yes);
    SETTING(v);
    EXPECT_FLOAT_EQ(v.r.FMAX, 0.2f) << "no number gives 0, raised to 0.2";
    EXPECT_FLOAT_EQ(v.r.FINT, 0.05f) << "no limits on the interval here";
    EXPECT_FLOAT_EQ(v.r.BINW, 0.2f);
    EXPECT_FLOAT_EQ(v.r.ESFWID, 30.0f) << "at most 30 before any ESF";
    EXPECT_FLOAT_EQ(v.r.LSFWID, 10.0f) << "below 5 becomes 10";

    answer({"9", "0.1", "0.001", "5", "6"});
    host.msgBoxAnswers.push_back(MsgBoxAnswer::Yes);
    SETTING(v);
    EXPECT_FLOAT_EQ(v.r.FMAX, 5.0f);
    EXPECT_FLOAT_EQ(v.r.BINW, 0.01f);
    EXPECT_FLOAT_EQ(v.r.ESFWID, 10.0f);
    EXPECT_FLOAT_EQ(v.r.LSFWID, 6.0f);
}

TEST_F(Settings, CancelledPromptsKeepTheSettingsAndAnEmptyAnswerCountsAsZero)
{
    answer({"4", "0.05", "0.05", "20", "8"});
    host.msgBoxAnswers.push_back(MsgBoxAnswer::Yes);
    SETTING(v);
    ASSERT_FLOAT_EQ(v.r.FMAX, 4.0f);
    // Every prompt cancelled: nothing changes (it set 0.2, 0 and 0.01 before).
    for (int i = 0; i < 5; ++i) host.inputAnswers.push_back(std::nullopt);
    host.msgBoxAnswers.push_back(MsgBoxAnswer::Yes);
    SETTING(v);
    EXPECT_FLOAT_EQ(v.r.FMAX, 4.0f);
    EXPECT_FLOAT_EQ(v.r.FINT, 0.05f);
    EXPECT_FLOAT_EQ(v.r.BINW, 0.05f);
    EXPECT_FLOAT_EQ(v.r.ESFWID, 20.0f);
    EXPECT_FLOAT_EQ(v.r.LSFWID, 8.0f);
    // The noise settings likewise; an empty answer is a typed 0, held to its range.
    host.inputAnswers.push_back(std::nullopt);
    host.inputAnswers.push_back("");
    host.msgBoxAnswers.push_back(MsgBoxAnswer::Yes);
    const float nfmax = v.r.NFMAX;
    SETNPS(v);
    EXPECT_FLOAT_EQ(v.r.NFMAX, nfmax);
    EXPECT_FLOAT_EQ(v.r.NFINT, 0.01f);
}

TEST_F(Settings, DisplayWidthsFollowTheExtractedEsf)
{
    v.r.NSAMP = 200; // pitch 0.1 mm: 20 mm of ESF
    k.ws.PIXMM[0] = 0.1f;
    answer({"3", "0.1", "0.03", "50", "50"});
    host.msgBoxAnswers.push_back(MsgBoxAnswer::Yes);
    SETTING(v);
    EXPECT_FLOAT_EQ(v.r.ESFWID, 20.0f);
    EXPECT_FLOAT_EQ(v.r.LSFWID, 20.0f);
}

TEST_F(Settings, SummaryTextAndTheNoLoop)
{
    host.inputAnswers = {ScriptedHost::kAcceptDefault,
                         ScriptedHost::kAcceptDefault,
                         ScriptedHost::kAcceptDefault,
                         ScriptedHost::kAcceptDefault,
                         ScriptedHost::kAcceptDefault,
                         "2",
                         "0.05",
                         "0.02",
                         "12",
                         "8"};
    host.msgBoxAnswers = {MsgBoxAnswer::No, MsgBoxAnswer::Cancel};
    SETTING(v);
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[0], "Freq max= 3 Freq interval= .1 Bin width= .03");
    EXPECT_EQ(host.messages[1], "Freq max= 2 Freq interval= .05 Bin width= .02");
    ASSERT_EQ(host.prompts.size(), 10u) << "No asks every setting again";
    EXPECT_EQ(host.prompts[0].prompt, "Freq max = ");
    EXPECT_EQ(host.prompts[0].deflt, " 3");
    EXPECT_EQ(host.prompts[2].prompt, "Bin width  = ");
    EXPECT_EQ(host.prompts[3].prompt, "ESF width (mm)  = ");
    EXPECT_EQ(host.prompts[4].prompt, "LSF width (mm)  = ");
    EXPECT_EQ(host.prompts[5].deflt, " 3") << "the values just entered are the defaults";
    EXPECT_FLOAT_EQ(v.r.FMAX, 2.0f) << "Cancel keeps what was entered";
    EXPECT_FLOAT_EQ(v.r.LSFWID, 8.0f);
}

TEST_F(Settings, NoiseSettingsAndTheirLimits)
{
    answer({"0.1", "1"});
    host.msgBoxAnswers.push_back(MsgBoxAnswer::Yes);
    SETNPS(v);
    EXPECT_FLOAT_EQ(v.r.NFMAX, 0.2f);
    EXPECT_FLOAT_EQ(v.r.NFINT, 0.3f);
    answer({"7", "0.001"});
    host.msgBoxAnswers.push_back(MsgBoxAnswer::Yes);
    SETNPS(v);
    EXPECT_FLOAT_EQ(v.r.NFMAX, 5.0f);
    EXPECT_FLOAT_EQ(v.r.NFINT, 0.01f);
    EXPECT_EQ(host.messages.back(), "Freq max= 5 Freq interval= .01");
    EXPECT_FLOAT_EQ(v.r.FMAX, 3.0f) << "the MTF settings are separate";
}

} // namespace
