// Selections, the MTF chart of stored curves, and the clipboard table.
#include "analysis_fixture.h"
#include "mtf_chart.h"
#include "window_events.h"

#include <cmath>
#include <map>

using namespace vantry;

namespace {

using List = std::vector<int32_t>;

TEST(Selparse, SingleRangesAndLists)
{
    EXPECT_EQ(SELPARSE("3"), List{2});
    EXPECT_EQ(SELPARSE("2-4"), (List{1, 2, 3}));
    EXPECT_EQ(SELPARSE("4-2"), List{3});
    EXPECT_EQ(SELPARSE("2,4,5"), (List{1, 3, 4}));
    EXPECT_EQ(SELPARSE("1-3-5"), (List{0, 1, 2})) << "only the first two parts of a range";
    EXPECT_EQ(SELPARSE("2,4-5"), (List{1, 3})) << "a range in a list is read by its number";
    EXPECT_EQ(SELPARSE("0-2"), (List{0, 1})) << "a range's ends below 1 become 1";
    EXPECT_EQ(SELPARSE("2.5"), List{2}) << "1.5 rounds to even";
    EXPECT_EQ(SELPARSE("3.5"), List{2}) << "2.5 rounds to even";
}

TEST(Selparse, NonsenseYieldsIndexesOutsideTheStoreAndNeverAHugeList)
{
    EXPECT_EQ(SELPARSE(""), List{-1});
    EXPECT_EQ(SELPARSE("abc"), List{-1});
    EXPECT_EQ(SELPARSE("1-1000000000").size(), 8u);
    EXPECT_EQ(SELPARSE("1,2,3,4,5,6,7,8,9,10").size(), 8u);
    EXPECT_EQ(SELPARSE("1e300"), List{-1});
}

class MtfChart : public AnalysisFixture {
protected:
    /// Stores curve d as 1 - f/4 at `points` frequencies step `step`.
    void store(int d, const std::string& label, int points = 31, float step = 0.1f)
    {
        const auto slot = static_cast<size_t>(d - 1);
        v.r.DATALBL[slot] = label;
        v.r.MTFNUM[slot] = static_cast<int16_t>(points);
        for (int n = 0; n < points; ++n) {
            v.r.MTFFRQ[slot][n] = static_cast<float>(n) * step;
            v.r.MTFVAL[slot][n] = 1.0f - v.r.MTFFRQ[slot][n] / 4.0f;
        }
    }
    /// Colour -> number of curve segments drawn in it.
    std::map<int, int> segmentsByColour() const
    {
        std::map<int, int> count;
        for (const auto& c : host.canvas.calls)
            if (c.kind == DrawCall::Kind::Line && c.value >= 0) ++count[c.value];
        return count;
    }
    std::vector<std::string> clipLines() const
    {
        std::vector<std::string> lines;
        const std::string& t = host.clipboardText;
        for (size_t at = 0; at < t.size();) {
            const size_t end = t.find("\r\n", at);
            EXPECT_NE(end, std::string::npos) << "every line ends with CR LF";
            if (end == std::string::npos) break;
            lines.push_back(t.substr(at, end - at));
            at = end + 2;
        }
        return lines;
    }
};

TEST_F(MtfChart, SelectionDrawsEachCurveInItsColourAndLegendRow)
{
    for (int d = 1; d <= 5; ++d) store(d, "DET" + std::to_string(d));
    answer({"2,4,5"});
    COMPMTF(v);
    EXPECT_EQ(v.r.DSPMODE, 3);
    EXPECT_EQ(host.prompts.back().prompt, "Selection (ex. 1 or 2-4 or 2,4,5) = ");
    EXPECT_EQ(host.prompts.back().deflt, "1");
    // 301 resampled points a curve, each one segment, plus one legend line.
    EXPECT_EQ(segmentsByColour(), (std::map<int, int>{{11, 302}, {13, 302}, {14, 302}}));
    // Each legend, then its curve's summary figures on the line below.
    const auto texts = printed();
    ASSERT_GE(texts.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(texts.end() - 6, texts.end()),
              (std::vector<std::string>{"  DET2", "  " + summaryText(v.r.MTFSUM[1]), "  DET4",
                                        "  " + summaryText(v.r.MTFSUM[3]), "  DET5",
                                        "  " + summaryText(v.r.MTFSUM[4])}));
    // The legend row follows the data number: curve 4 (index 3) at 0.95 - 0.24.
    for (const auto& c : host.canvas.calls) {
        if (c.kind == DrawCall::Kind::Line && c.value == 13 && c.x1 == 0.65 * 3.0f) {
            EXPECT_NEAR(c.y1, 0.95 - 0.08 * 3, 1e-12);
            EXPECT_NEAR(c.x2 - c.x1, 0.05 * 3.0f, 1e-6);
        }
    }
    EXPECT_EQ(v.r.NEXTNO, 4);
    EXPECT_TRUE(v.form().CENADJ[2].Visible);
    EXPECT_FALSE(v.form().CENADJ[0].Visible);
}

TEST_F(MtfChart, CurvesFollowTheStoredValuesThroughTheSpline)
{
    store(1, "A");
    v.r.DATANO = 1;
    v.r.YMAX = 1;
    MTFDSP(v, 0);
    for (const auto& c : host.canvas.calls) {
        if (c.kind == DrawCall::Kind::Line && c.value == 10 && c.x2 <= 3.0 && c.x1 != 0.65 * 3.0f) {
            EXPECT_NEAR(c.y2, 1.0 - c.x2 / 4.0, 1e-5) << c.x2; // a straight line stays one
        }
    }
    EXPECT_EQ(v.r.NEXTNO, 2);
}

TEST_F(MtfChart, NextDataNumberAfterLargeChartsAndTheYRangeCap)
{
    for (int d = 1; d <= 7; ++d) store(d, "D");
    answer({"1-7"});
    COMPMTF(v);
    EXPECT_EQ(v.r.NEXTNO, 7) << "8 becomes 7";
    answer({"1-3"});
    COMPMTF(v);
    EXPECT_EQ(v.r.NEXTNO, 4);

    v.r.YMAX = 2.05f;
    CENADJ_Click(v, 3); // 2.15 drawn as 2
    EXPECT_FLOAT_EQ(v.r.YMAX, 2.0f);
    EXPECT_EQ(host.canvas.calls[1].str(), "scale -0.45 2.6 3.6 -3");
}

TEST_F(MtfChart, SelectionsOutsideTheStoreDrawOnlyTheFrame)
{
    store(1, "A");
    for (const char* sel : {"", "0", "9", "1e300"}) {
        answer({sel});
        COMPMTF(v);
        EXPECT_TRUE(segmentsByColour().empty()) << sel;
        EXPECT_EQ(v.r.NEXTNO, 1) << sel;
    }
    host.inputAnswers.push_back(std::nullopt);
    COMPMTF(v);
    EXPECT_TRUE(segmentsByColour().empty());
}

TEST_F(MtfChart, CurvesOfThreePointsOrFewerAreSkippedWithoutLegend)
{
    store(1, "SHORT", 3);
    v.r.DATANO = 1;
    MTFDSP(v, 0);
    EXPECT_TRUE(segmentsByColour().empty());
    for (const std::string& t : printed()) EXPECT_NE(t.rfind("  ", 0), 0u) << "no legend: " << t;
    EXPECT_FALSE(printed().empty()) << "the frame's labels";
}

TEST_F(MtfChart, ClipTableOnTheCurrentGrid)
{
    store(2, "DET H");
    v.r.DATANO = 2;
    answer({ScriptedHost::kAcceptDefault});
    CLIPMTF(v);
    EXPECT_EQ(host.prompts.back().prompt, "No.=");
    EXPECT_EQ(host.prompts.back().deflt, " 2");
    const auto lines = clipLines();
    ASSERT_EQ(lines.size(), 32u);
    EXPECT_EQ(lines[0], "\tDET H");
    EXPECT_EQ(lines[1], "0.00\t1");
    EXPECT_EQ(lines[2], "0.10\t.975");
    EXPECT_EQ(lines[31], "3.00\t.25");

    // A coarser step after the curve was stored: resampled, not the stored points.
    v.r.FINT = 0.25f;
    answer({"2"});
    CLIPMTF(v);
    const auto coarse = clipLines();
    ASSERT_EQ(coarse.size(), 14u);
    EXPECT_EQ(coarse[3], "0.50\t.875");
}

TEST_F(MtfChart, ClipBeyondTheStoredCurveExtrapolatesOnTheLastCubic)
{
    store(1, "A", 21); // up to 2 cycles/mm
    answer({"1"});
    CLIPMTF(v);
    const auto lines = clipLines();
    ASSERT_EQ(lines.size(), 32u);
    EXPECT_EQ(lines[31], "3.00\t.25") << "a straight line extends as itself";
}

TEST_F(MtfChart, ClipRefusesMissingCurvesAndNumbersOutsideTheStore)
{
    host.clipboardText = "kept";
    answer({"3"});
    CLIPMTF(v);
    EXPECT_EQ(host.messages.back(), "no data!");
    for (const char* no : {"0", "9", "-2", "1e20"}) {
        answer({no});
        CLIPMTF(v);
        EXPECT_NE(host.messages.back(), "no data!") << no;
    }
    EXPECT_EQ(host.messages.size(), 5u);
    EXPECT_EQ(host.clipboardText, "kept");
}

TEST_F(MtfChart, LabelOfANewerCurveUnderTheSameNumberIsShown)
{
    store(2, "MTF-DET H");
    v.r.DATALBL[1] = "FLAT 2D-NNPS"; // stored later under the same number by the noise chart
    v.r.DATANO = 2;
    answer({"2"});
    CLIPMTF(v);
    EXPECT_EQ(clipLines()[0], "\tFLAT 2D-NNPS");
    EXPECT_EQ(clipLines()[1], "0.00\t1");
}

} // namespace
