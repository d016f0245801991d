// Chart frames as display lists, the arrow buttons per mode and the read-out on the NNPS chart.
#include "analysis_fixture.h"
#include "axdraw.h"
#include "window_events.h"

#include <algorithm>

using namespace vantry;

namespace {

class ChartFrames : public AnalysisFixture {
protected:
    std::vector<DrawCall> callsOf(DrawCall::Kind kind) const
    {
        std::vector<DrawCall> out;
        for (const auto& c : host.canvas.calls)
            if (c.kind == kind) out.push_back(c);
        return out;
    }
    void mtfFrame(float fmax)
    {
        v.r.FMAX = v.r.XMAX = fmax;
        v.r.YMAX = 1;
        host.canvas.scale(-0.15 * fmax, 1.3, 1.2 * fmax, -1.5);
        host.canvas.cls();
        AXDRAW(v, 0);
    }
    /// The x of every vertical dotted grid line of the MTF frame.
    std::vector<double> verticalGrid() const
    {
        std::vector<double> xs;
        bool dotted = false;
        for (const auto& c : host.canvas.calls) {
            if (c.kind == DrawCall::Kind::Style) dotted = c.value == kDotted;
            if (dotted && c.kind == DrawCall::Kind::Line && c.x1 == c.x2) xs.push_back(c.x1);
        }
        return xs;
    }
};

TEST_F(ChartFrames, MtfFrameAxesGridAndLabels)
{
    mtfFrame(3.0f);
    const auto lines = callsOf(DrawCall::Kind::Line);
    ASSERT_GE(lines.size(), 10u);
    EXPECT_EQ(lines[0].str(), "line 0 0 3 0 c-1");
    EXPECT_EQ(lines[1].str(), "line 0 0 0 1 c-1");
    EXPECT_EQ(verticalGrid(), (std::vector<double>{0.75, 1.5, 2.25, 3.0}));
    // The y grid sits at MTF 0.25 .. 1 whatever YMAX.
    for (int i = 1; i <= 4; ++i) {
        const DrawCall& h = lines[1 + 4 + i];
        EXPECT_DOUBLE_EQ(h.y1, i / 4.0);
        EXPECT_DOUBLE_EQ(h.x2 - h.x1, 3.0);
    }
    // A label at every grid line of both axes, the end labels those of the record.
    EXPECT_EQ(printed(), (std::vector<std::string>{"0", "0.75", "1.5", "2.25", "3.0", "0.25", "0.5",
                                                   "0.75", "1.0", "Spatial Frequency (cycles / mm)",
                                                   "MTF"}));
    const auto texts = callsOf(DrawCall::Kind::Print);
    EXPECT_DOUBLE_EQ(texts[4].y1, -0.01) << "the end label sits on the line of the 0";
    EXPECT_LT(texts[9].y1, -0.01 - host.canvas.lineHeight() + 1e-12) << "the title under the labels";
    EXPECT_EQ(v.r.XMAXLBL, "3.0");
    EXPECT_EQ(v.r.YMAXLBL, "1.0");
    EXPECT_EQ(host.canvas.calls.back().str(), "style 0");
}

TEST_F(ChartFrames, ThreeDivisionsWhenTheEndLabelReadsOnePointFive)
{
    mtfFrame(1.5f);
    EXPECT_EQ(verticalGrid().size(), 3u);
    mtfFrame(1.45f);
    EXPECT_EQ(v.r.XMAXLBL, "1.5");
    EXPECT_EQ(verticalGrid().size(), 3u);
    mtfFrame(1.44f);
    EXPECT_EQ(verticalGrid().size(), 4u);
}

TEST_F(ChartFrames, NnpsFrameDecadesAndGrid)
{
    AXDRAW(v, 1);
    EXPECT_FLOAT_EQ(v.r.XMAX, 3.0f);
    EXPECT_FLOAT_EQ(v.r.YMAX, 4.0f);
    const auto scales = callsOf(DrawCall::Kind::Scale);
    EXPECT_EQ(scales.back().str(), "scale -0.45 4.6 3.75 -5.2");
    EXPECT_EQ(printed(),
              (std::vector<std::string>{"0", "1", "2", "3", "10", "-8", "10", "-7", "10", "-6", "10",
                                        "-5", "10", "-4", "Spatial Frequency (cycles/mm)", "NPS"}));
    // The exponent is raised by 0.1 and starts where "10" ended.
    const auto texts = callsOf(DrawCall::Kind::Print);
    EXPECT_DOUBLE_EQ(texts[5].y1, 0.1);
    EXPECT_DOUBLE_EQ(texts[5].x1, texts[4].x1 + host.canvas.textWidth("10"));
    // Vertical grid at every whole frequency 0 .. 3 plus the right border.
    int verticals = 0;
    for (const auto& l : callsOf(DrawCall::Kind::Line))
        if (l.x1 == l.x2 && l.y2 - l.y1 == 4.0) ++verticals;
    EXPECT_EQ(verticals, 1 + 4 + 1) << "border, grid 0..3, y axis";
}

TEST_F(ChartFrames, ArrowsInNnpsModeShiftTheDecadesAndTheReadOutFollows)
{
    v.r.DSPMODE = 4;
    CENADJ_Click(v, 3);
    EXPECT_FLOAT_EQ(v.r.LOGBASE, -7.0f);
    const auto texts = printed();
    EXPECT_EQ(texts[5], "-7");
    EXPECT_EQ(texts[13], "-3");
    Form_MouseDown(v, 1, 0, 1.25, 2.0);
    EXPECT_EQ(v.form().Caption, "1.25 1.00E-05") << "10^-5, not 0.00";
    Form_MouseDown(v, 2, 1, 0.5, 6.5);
    EXPECT_EQ(v.form().Caption, "1.25 1.00E-05") << "the right button opens the chart's menu only";
    Form_MouseDown(v, 1, 1, 0.5, 6.5);
    EXPECT_EQ(v.form().Caption, "0.50 3.16E-01") << "10^-0.5";
    Form_MouseDown(v, 1, 0, 3, 0.25);
    EXPECT_EQ(v.form().Caption, "3.00 1.78E-07") << "10^-6.75";
}

TEST_F(ChartFrames, MouseOutsideTheNnpsChartChangesNothing)
{
    const std::string caption = v.form().Caption;
    for (int16_t mode : {0, 1, 2, 3}) {
        v.r.DSPMODE = mode;
        Form_MouseDown(v, 1, 0, 1.0, 1.0);
        EXPECT_EQ(v.form().Caption, caption);
    }
}

TEST_F(ChartFrames, LsfArrowsApplyTheirLimitsInOrder)
{
    v.r.DSPMODE = 2;
    v.r.NLSF = 333;
    v.r.NBIN = 400;
    v.r.LSF.assign(801, 0.0f);
    v.r.BINW = 0.03f; // NLSF x BINW = 10 mm
    v.r.LSFWID = 8;
    CENADJ_Click(v, 1);
    EXPECT_FLOAT_EQ(v.r.LSFWID, 9.99f) << "doubling is held to the LSF's half length";
    v.r.LSFWID = 3;
    CENADJ_Click(v, 0);
    EXPECT_FLOAT_EQ(v.r.LSFWID, 2.0f);
    v.r.LSFYSC = 0.04f;
    CENADJ_Click(v, 2);
    EXPECT_FLOAT_EQ(v.r.LSFYSC, 0.025f);
    v.r.LSFYSC = 1.5f;
    CENADJ_Click(v, 3);
    EXPECT_FLOAT_EQ(v.r.LSFYSC, 2.0f);
}

TEST_F(ChartFrames, FormLoadStartValuesAndControls)
{
    EXPECT_EQ(v.form().Caption, "Vantry ver." + k.ws.VERSTR);
    EXPECT_EQ(v.r.NEXTNO, 1);
    EXPECT_FLOAT_EQ(v.r.BINW, 0.03f);
    EXPECT_FLOAT_EQ(v.r.LOGBASE, -8.0f);
    for (const Control* c : v.form().controls()) EXPECT_FALSE(c->Visible) << c->name;
    for (const char* name : {"REDGE", "CEDGEOK", "NPSWF"})
        EXPECT_FALSE(v.form().item(name)->Enabled);
    EXPECT_TRUE(v.form().item("MTFCLC")->Enabled);
    EXPECT_EQ(v.form().item("NPSCLIP")->Caption, "Clip NNPS ");
    // Data numbers 1 .. 7 in light green, light cyan, light red, light magenta, yellow, white,
    // green.
    EXPECT_EQ((std::vector<int16_t>(v.r.COLTAB.begin(), v.r.COLTAB.begin() + 7)),
              (std::vector<int16_t>{10, 11, 12, 13, 14, 15, 2}));
    EXPECT_DOUBLE_EQ(v.form().CENADJ[3].Left, 9240 / 15.0);
    EXPECT_DOUBLE_EQ(v.form().CENADJ[3].Top, 600 / 15.0);
}

} // namespace
