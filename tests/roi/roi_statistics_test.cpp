// ROI statistics: the gesture measurement and the "ROI" / "ROI back" buttons.
#include "display_fixture.h"
#include "roi_statistics.h"

#include <cmath>

using namespace vantry;

namespace {

class RoiStatistics : public DisplayFixture {
protected:
    void SetUp() override { pane(500, 500); }
    void setRoi(int16_t x, int16_t y, int16_t w, int16_t h) { k.roi[k.ws.CURSLOT] = {x, y, w, h}; }
    std::vector<std::string> clipboardLines() const
    {
        std::vector<std::string> lines;
        size_t from = 0;
        while (true) {
            const size_t at = host.clipboardText.find("\r\n", from);
            lines.push_back(host.clipboardText.substr(from, at - from));
            if (at == std::string::npos) break;
            from = at + 2;
        }
        return lines;
    }
};

/// Alternating 190 and 210 in a checkerboard: mean 200, deviation 10.
std::vector<int16_t> checkerboard(int32_t w, int32_t h)
{
    std::vector<int16_t> p(static_cast<size_t>(w) * h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) p[static_cast<size_t>(y) * w + x] = (x + y) % 2 == 0 ? 190 : 210;
    return p;
}

TEST_F(RoiStatistics, FirstGestureAfterStartUpReportsContrastOneAndMeanOverDeviation)
{
    loadImage(0, 300, 300, checkerboard(300, 300));
    setRoi(50, 50, 100, 100);
    ROICLC(k);
    EXPECT_EQ(k.form.Caption, "Ave=200.00 SD=10.00 Cont.=1.00 CNR=20.00 100 100");
    EXPECT_EQ(clipboardLines(), (std::vector<std::string>{"0.00", "200.00", "10.00", "1.00", "20.00"}));
    EXPECT_EQ(host.clipboardText.substr(host.clipboardText.size() - 2), "00") << "no CR LF after the last line";
    EXPECT_EQ(k.means.PREVMEAN, 200.0f);
    EXPECT_EQ(k.means.LASTMEAN, 200.0f);

    ROICLC(k); // the same ROI again
    EXPECT_EQ(k.form.Caption, "Ave=200.00 SD=10.00 Cont.=0.00 CNR=0.00 100 100");
}

TEST_F(RoiStatistics, UniformRegionReportsZeroCnr)
{
    loadImage(0, 200, 200, std::vector<int16_t>(200 * 200, 500));
    setRoi(10, 10, 20, 30);
    ROICLC(k);
    EXPECT_EQ(k.form.Caption, "Ave=500.00 SD=0.00 Cont.=1.00 CNR=0.00 20 30");
}

TEST_F(RoiStatistics, GestureWindowHasWTimesHPixelsAndButtonsOneMoreEachWay)
{
    // Ones inside 100 x 100 at (50, 50), 10202 just beyond: the gesture mean stays 1, the
    // buttons' 101 x 101 window takes in one more row and column.
    std::vector<int16_t> pixels(300 * 300, 0);
    for (int y = 50; y <= 150; ++y)
        for (int x = 50; x <= 150; ++x) pixels[static_cast<size_t>(y) * 300 + x] = (x == 150 || y == 150) ? 10202 : 1;
    loadImage(0, 300, 300, pixels);
    setRoi(50, 50, 100, 100);
    ROICLC(k);
    EXPECT_EQ(k.form.Caption.rfind("Ave=1.00 SD=0.00", 0), 0u) << k.form.Caption;
    ROI1SET_Click(k);
    // (10000 * 1 + 201 * 10202) / 10201 = 202.0
    EXPECT_EQ(k.form.AVE1TX[0].Text, "202.00");
}

TEST_F(RoiStatistics, RoiBackUsesTheRoundedTextsForSnrAndCnr)
{
    std::vector<int16_t> pixels(200 * 200, 0);
    loadImage(0, 200, 200, pixels);
    k.form.AVE1TX[0].Text = "abc"; // no number counts as 0
    k.form.CNRTX[0].Text = "keep";
    k.form.SNRTX[0].Text = "keep";
    setRoi(0, 0, 9, 9);
    ROI2SET_Click(k);
    EXPECT_EQ(k.form.AVE2TX[0].Text, "0.00");
    EXPECT_EQ(k.form.SDTX[0].Text, "0.00");
    EXPECT_EQ(k.form.CNRTX[0].Text, "keep") << "a zero deviation leaves CNR and SNR as they were";
    EXPECT_EQ(k.form.SNRTX[0].Text, "keep");

    // Background: 100 pixels, one of them 1: mean 0.01, deviation 0.0995; text "0.01".
    k.ws.IMG[0].at(3, 3) = 1;
    ROI2SET_Click(k);
    EXPECT_EQ(k.form.AVE2TX[0].Text, "0.01");
    EXPECT_EQ(k.form.SDTX[0].Text, "0.10");
    EXPECT_EQ(k.form.SNRTX[0].Text, "0.10") << "0.01 / 0.0995 from the rounded text";
    EXPECT_EQ(k.form.CNRTX[0].Text, "0.10");
    EXPECT_FLOAT_EQ(k.means.LASTMEAN, 0.01f);
    EXPECT_EQ(k.form.AVE2TX[1].Text, "") << "the other pane's boxes are untouched";
}

TEST_F(RoiStatistics, BackgroundMeanThatRoundsToZeroGivesSnrZero)
{
    // 40 ones among 100 x 100 pixels: mean 0.004 (text "0.00"), deviation 0.0631.
    std::vector<int16_t> pixels(200 * 200, 0);
    for (int i = 0; i < 40; ++i) pixels[static_cast<size_t>(i)] = 1;
    loadImage(0, 200, 200, pixels);
    k.form.AVE1TX[0].Text = "1.00";
    setRoi(0, 0, 99, 99);
    ROI2SET_Click(k);
    EXPECT_EQ(k.form.AVE2TX[0].Text, "0.00");
    EXPECT_EQ(k.form.SDTX[0].Text, "0.06");
    EXPECT_EQ(k.form.SNRTX[0].Text, "0.00") << "0.00 / 0.0631, not 0.004 / 0.0631 = 0.06";
    EXPECT_EQ(k.form.CNRTX[0].Text, "15.84") << "(1.00 - 0.00) / 0.0631, not 15.78";
    EXPECT_FLOAT_EQ(k.means.LASTMEAN, 0.004f);
}

TEST_F(RoiStatistics, SignalAndBackgroundGiveSnrAndCnr)
{
    loadImage(0, 300, 300, checkerboard(300, 300));
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) k.ws.IMG[0].at(x, y) = 1000;
    setRoi(10, 10, 50, 50);
    ROI1SET_Click(k);
    EXPECT_EQ(k.form.AVE1TX[0].Text, "1000.00");
    setRoi(150, 150, 99, 99); // 100 x 100 button window: even count, mean 200 exactly
    ROI2SET_Click(k);
    EXPECT_EQ(k.form.AVE2TX[0].Text, "200.00");
    EXPECT_EQ(k.form.SDTX[0].Text, "10.00");
    EXPECT_EQ(k.form.SNRTX[0].Text, "20.00");
    EXPECT_EQ(k.form.CNRTX[0].Text, "80.00");
}

TEST_F(RoiStatistics, WholeDetectorFlatFieldKeepsItsMeanAndDeviation)
{
    // 3072 x 3072 of 2980 and 3020 in a checkerboard: mean 3000 and deviation 20 exactly. Sums in
    // single precision read 2650.98 and 354.84 here.
    const int32_t n = 3072;
    std::vector<int16_t> p(static_cast<size_t>(n) * n);
    for (int32_t y = 0; y < n; ++y)
        for (int32_t x = 0; x < n; ++x) p[static_cast<size_t>(y) * n + x] = (x + y) % 2 ? 3020 : 2980;
    loadImage(0, n, n, std::move(p));
    setRoi(0, 0, n, n);
    ROICLC(k);
    EXPECT_EQ(k.form.Caption.substr(0, 22), "Ave=3000.00 SD=20.00 C") << k.form.Caption;
    setRoi(0, 0, n - 1, n - 1);
    ROI2SET_Click(k); // the button window is one pixel larger: the whole field again
    EXPECT_EQ(k.form.AVE2TX[0].Text, "3000.00");
    EXPECT_EQ(k.form.SDTX[0].Text, "20.00");
}

TEST_F(RoiStatistics, OnlyPixelsInsideTheImageAreReadAndAWindowOutsideChangesNothing)
{
    loadImage(0, 60, 60, std::vector<int16_t>(60 * 60, 7));
    setRoi(40, 40, 100, 100); // mostly beyond the image's corner: 20 x 20 of it measured
    ROICLC(k);
    EXPECT_EQ(k.form.Caption, "Ave=7.00 SD=0.00 Cont.=1.00 CNR=0.00 20 20");
    const std::string caption = k.form.Caption;
    setRoi(100, 100, 10, 10);
    ROICLC(k);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find("outside the image"), std::string::npos);
    EXPECT_EQ(k.form.Caption, caption);
    EXPECT_EQ(k.means.PREVMEAN, 7.0f);
    setRoi(-20, -20, 5, 5);
    ROI1SET_Click(k);
    EXPECT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(k.form.AVE1TX[0].Text, "0");
}

TEST_F(RoiStatistics, ZeroMeanReportsZeroContrast)
{
    std::vector<int16_t> pixels(100 * 100);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = i % 2 == 0 ? -5 : 5;
    loadImage(0, 100, 100, pixels);
    k.means.PREVMEAN = 3;
    k.roi[0] = {0, 0, 10, 10};
    ROICLC(k);
    EXPECT_EQ(k.form.Caption, "Ave=0.00 SD=5.00 Cont.=0.00 CNR=0.60 10 10");
}

TEST_F(RoiStatistics, ButtonsNeedAnImageAndTypingInVal1txShowsTheLastMean)
{
    ROI1SET_Click(k);
    EXPECT_EQ(k.form.AVE1TX[0].Text, "0");
    k.means.LASTMEAN = 1234.56f;
    k.form.VAL1TX.Text = "typed";
    VAL1TX_Change(k);
    EXPECT_EQ(k.form.VAL1TX.Text, "1234.6");
}

} // namespace
