// "Precise MTF..." on the scripted host: what it asks, stores, copies and draws, and that a refused
// edge leaves the store and the chart as they were.
#include "analysis_fixture.h"
#include "edge_image.h"
#include "mtf_chart.h"
#include "precise_mtf_menu.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

using namespace vantry;

namespace {

/// Lines drawn with the dotted pen since the last clear.
size_t dottedLines(const std::vector<DrawCall>& calls)
{
    size_t n = 0;
    bool dotted = false;
    for (const DrawCall& c : calls) {
        if (c.kind == DrawCall::Kind::Style) dotted = c.value == kDotted;
        n += c.kind == DrawCall::Kind::Line && dotted;
    }
    return n;
}

class PreciseMtfMenu : public AnalysisFixture {
protected:
    /// A 0.5 px edge tilted by 4 degrees, ROI 256 x 128 across it.
    void loadEdge(double noiseSd = 0)
    {
        const edgeimage::EdgeSpec e{.width = 276, .height = 148, .sigmaPx = 0.5, .tiltDeg = 4, .noiseSd = noiseSd};
        loadWithRoi(e.width, e.height, edgeimage::edgeImage(e), 10, 10, 256, 128);
        k.ws.PRESETNAME[0] = "DETX";
    }
};

TEST_F(PreciseMtfMenu, StoresTheCurveWithItsErrorsUnderAPLabelAndCopiesATable)
{
    loadEdge(4);
    answer({"5", "0.1", "3"});
    PRECISEMTF(v);
    ASSERT_TRUE(host.messages.empty()) << host.messages.front();
    ASSERT_EQ(host.prompts.size(), 3u);
    EXPECT_EQ(host.prompts[0].prompt, "Freq. max=");
    EXPECT_EQ(host.prompts[1].prompt, "Fint=");
    EXPECT_EQ(host.prompts[2].prompt, "Data No.=");
    EXPECT_EQ(v.r.DSPMODE, 3);
    EXPECT_EQ(v.r.DATANO, 3);
    EXPECT_EQ(v.r.DATALBL[2], "DETX H P");
    EXPECT_EQ(v.r.MTFNUM[2], 51);
    EXPECT_EQ(v.r.MTFHASERR[2], 1);
    EXPECT_EQ(v.r.LASTMTFNO, 3);
    // The stored points against the analytic MTF along the normal, within their errors.
    for (int n = 0; n < 51; ++n) {
        const double f = v.r.MTFFRQ[2][n];
        EXPECT_NEAR(f, n * 0.1, 1e-5);
        EXPECT_NEAR(v.r.MTFVAL[2][n], edgeimage::edgeMtf(f, 0.1, 0.5, 4), 4 * v.r.MTFERR[2][n] + 0.002) << f;
        EXPECT_GE(v.r.MTFERR[2][n], 0.0f);
    }
    EXPECT_GT(v.r.MTFERR[2][25], 0.0f) << "noise gives the points an error";
    const std::string& clip = host.clipboardText;
    EXPECT_EQ(clip.rfind("DETX H P\r\nf (1/mm)\tMTF\tSE\r\n0.00\t1.00000\t0.00000\r\n", 0), 0u) << clip;
    EXPECT_EQ(std::count(clip.begin(), clip.end(), '\n'), 2 + 51);
    const std::string caption = v.form().Caption;
    ASSERT_EQ(caption.rfind("DETX H P  angle ", 0), 0u) << caption;
    EXPECT_NEAR(std::stod(caption.substr(16)), 4, 0.02) << caption;
    EXPECT_NEAR(v.r.PRECISE.angleDeg, 4, 0.02);
}

TEST_F(PreciseMtfMenu, ChartDrawsTheBandOnlyForCurvesWithErrors)
{
    loadEdge();
    answer({"3", "0.1", "1"});
    PRECISEMTF(v);
    ASSERT_EQ(v.r.MTFHASERR[0], 1);
    const size_t withBand = dottedLines(host.canvas.calls);
    // The band: two dotted polylines of 30 segments each beside the axes' own dotted lines.
    v.r.MTFHASERR[0] = 0;
    MTFDSP(v, 0);
    EXPECT_EQ(withBand - dottedLines(host.canvas.calls), 60u);
}

TEST_F(PreciseMtfMenu, RefusedEdgeAndCancelledNumberStoreNothing)
{
    const edgeimage::EdgeSpec flat{.width = 276, .height = 148, .low = 500, .high = 500, .noiseSd = 5};
    loadWithRoi(flat.width, flat.height, edgeimage::edgeImage(flat), 10, 10, 256, 128);
    answer({"3", "0.1", "1"});
    PRECISEMTF(v);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].rfind("warning", 0), std::string::npos) << "a refusal, not a warning";
    EXPECT_EQ(v.r.MTFNUM[0], 0);
    EXPECT_EQ(v.r.DSPMODE, 0);
    EXPECT_EQ(host.prompts.size(), 2u) << "no data number asked for a refused edge";

    host.messages.clear();
    host.inputAnswers.clear();
    loadEdge();
    answer({"3", "0.1"});
    host.inputAnswers.emplace_back(std::nullopt); // "Data No.=" cancelled
    PRECISEMTF(v);
    EXPECT_TRUE(host.messages.empty()) << host.messages.front();
    EXPECT_EQ(v.r.MTFNUM[0], 0);
    EXPECT_EQ(v.r.DSPMODE, 0);
}

} // namespace
