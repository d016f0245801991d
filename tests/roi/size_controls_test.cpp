// The ROI size boxes, their label and the Measure button.
#include "display_fixture.h"
#include "size_controls.h"

using namespace vantry;

namespace {

class SizeControls : public DisplayFixture {
protected:
    int16_t clickWidth(const std::string& text)
    {
        k.form.ROIXSZTX.Text = text;
        ROIXSZTX_Click(k);
        return k.roi[0].ROIW;
    }
};

TEST_F(SizeControls, ClicksCycleThroughTheGridAndOffGridSizesSnap)
{
    std::vector<int16_t> cycle;
    k.form.ROIXSZTX.Text = "128";
    for (int i = 0; i < 9; ++i) {
        ROIXSZTX_Click(k);
        cycle.push_back(k.roi[0].ROIW);
    }
    EXPECT_EQ(cycle, (std::vector<int16_t>{256, 512, 768, 1024, 1280, 1536, 1792, 128, 256}));
    EXPECT_EQ(clickWidth("1792"), 128);
    EXPECT_EQ(clickWidth("300"), 256);
    EXPECT_EQ(clickWidth("100"), 128) << "round(0.39) is 0";
    EXPECT_EQ(clickWidth("5000"), 5120) << "19.5 steps of 256 round to 20; no upper limit off the grid";
    EXPECT_EQ(k.form.ROIXSZTX.Text, "5120");
    EXPECT_EQ(k.form.SH1[0].Width, 5120) << "the rectangle follows (PXS 1)";
}

TEST_F(SizeControls, SizesThatAreNotPositiveSixteenBitNumbersAreRefused)
{
    k.roi[0].ROIW = 256;
    EXPECT_EQ(clickWidth("-600"), 256);
    EXPECT_EQ(k.form.ROIXSZTX.Text, "256") << "the box shows the kept width again";
    EXPECT_EQ(clickWidth("32767"), 256) << "snaps to 32768, beyond 16 bits";
    EXPECT_EQ(clickWidth("99999"), 256) << "beyond 16 bits before snapping";

    k.form.ROIYSZTX.Text = "80";
    ROIYSZTX_Click(k);
    EXPECT_EQ(k.roi[0].ROIH, 128);
}

TEST_F(SizeControls, BoxWithoutANumberReadsAsZeroSoAClickGives256)
{
    for (const char* text : {"big", "", "  ", "-", ".", "x12"}) {
        k.roi[0].ROIW = 768;
        EXPECT_EQ(clickWidth(text), 256) << '"' << text << '"';
        EXPECT_EQ(k.form.ROIXSZTX.Text, "256");
    }
    EXPECT_EQ(clickWidth("0"), 256);
    EXPECT_EQ(clickWidth("12abc"), 128) << "the leading number counts: 12 snaps to 0, then 128";
    k.roi[0].ROIH = 1024;
    k.form.ROIYSZTX.Text = "none";
    ROIYSZTX_Click(k);
    EXPECT_EQ(k.roi[0].ROIH, 256);
}

TEST_F(SizeControls, LabelTakesBothBoxesAsTyped)
{
    k.form.ROIXSZTX.Text = "37";
    k.form.ROIYSZTX.Text = "0";
    ROILBL_Click(k);
    EXPECT_EQ(k.roi[0].ROIW, 37);
    EXPECT_EQ(k.roi[0].ROIH, 100) << "a zero height is refused";
    EXPECT_EQ(k.form.ROIYSZTX.Text, "100");
}

TEST_F(SizeControls, MeasureOpensTheAnalysisWindowOnlyWithAnImage)
{
    MEASUREGO_Click(k);
    EXPECT_FALSE(host.analysisWindowShown);
    loadImage(0, 10, 10, numbered(10, 10));
    MEASUREGO_Click(k);
    EXPECT_TRUE(host.analysisWindowShown);
    EXPECT_TRUE(k.vylsf.Visible);
}

} // namespace
