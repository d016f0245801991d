// Mouse gestures on the panes: modes, window drag, pan, zoom, ROI move and resize, release.
#include "display_fixture.h"
#include "gestures.h"
#include "imgdsp.h"
#include "magnification.h"
#include "pic_click.h"

#include "analysis_busy.h"

using namespace vantry;

namespace {

class Gestures : public DisplayFixture {
protected:
    void SetUp() override
    {
        pane(500, 500);
        loadImage(0, 1000, 1000, numbered(1000, 1000)); // PXS 2, no bands
        IMGDSP(k);
    }
    void press(int button, double x, double y) { PIC_MouseDown(k, 0, button, 0, x, y); }
    void move(double x, double y) { PIC_MouseMove(k, 0, 0, 0, x, y); }
    void release(double x, double y) { PIC_MouseUp(k, 0, 0, 0, x, y); }
    /// A point on the ROI rectangle, off its handles.
    std::pair<double, double> onRoi() const
    {
        const Control& sh = k.form.SH1[0];
        return {sh.Left + sh.Width / 2, sh.Top + sh.Height / 2};
    }
};

TEST_F(Gestures, ButtonAndPlaceChooseTheMode)
{
    press(kButtonLeft, 400, 400);
    EXPECT_EQ(k.gesture.MOUSEMODE, 2) << "left on the image, off the ROI: pan";
    release(400, 400);
    const auto [rx, ry] = onRoi();
    press(kButtonLeft, rx, ry);
    EXPECT_EQ(k.gesture.MOUSEMODE, 4);
    release(rx, ry);
    const Control& lh = k.form.LH1[0];
    press(kButtonLeft, lh.Left + 3, lh.Top + 3);
    EXPECT_EQ(k.gesture.MOUSEMODE, 5);
    release(0, 0);
    const Control& rh = k.form.RH1[0];
    press(kButtonLeft, rh.Left + 3, rh.Top + 3);
    EXPECT_EQ(k.gesture.MOUSEMODE, 6);
    release(0, 0);
    press(kButtonRight, rx, ry);
    EXPECT_EQ(k.gesture.MOUSEMODE, 1) << "a right press on the ROI adjusts the window";
    release(rx, ry);
    press(kButtonMiddle, rx, ry);
    EXPECT_EQ(k.gesture.MOUSEMODE, 3) << "a middle press on the ROI zooms";
    release(rx, ry);
    EXPECT_EQ(k.gesture.MOUSEMODE, 0) << "a release without a move ends the gesture";
}

TEST_F(Gestures, ClickWithoutMoveNeitherMeasuresNorTouchesTheClipboard)
{
    host.clipboardText = "kept";
    const auto [rx, ry] = onRoi();
    press(kButtonLeft, rx, ry);
    release(rx, ry);
    EXPECT_EQ(host.clipboardText, "kept");
    EXPECT_EQ(k.means.PREVMEAN, 0.0f);
}

TEST_F(Gestures, PressShowsTheMeanOfNinePixelsUnderThePointer)
{
    press(kButtonLeft, 100, 50); // image (200, 100): values 100*1000+199 .. around
    EXPECT_EQ(k.disp.PCX[0], 200);
    EXPECT_EQ(k.disp.PCY[0], 100);
    // mean of (199..201) x (99..101) of y * 1000 + x, modulo 30000: 100200 % 30000 = 10200
    EXPECT_EQ(k.form.Caption, " 10200");
}

TEST_F(Gestures, WindowDragOf100PixelsAndItsClamps)
{
    press(kButtonRight, 200, 200);
    move(300, 200);
    EXPECT_EQ(k.ws.WW[0], 2300);
    EXPECT_EQ(k.form.WWTX[0].Text, " 2300") << "number text with its blank";
    move(-2000, 200);
    EXPECT_EQ(k.ws.WW[0], 2) << "far left ends at 2";
    move(300, 5000);
    EXPECT_EQ(k.ws.WL[0], 0) << "far down ends at 0";
    move(300, -8000);
    EXPECT_EQ(k.ws.WL[0], 18000);
    release(300, -8000);
    ASSERT_TRUE(host.clipboardPicture.has_value()) << "the pane's picture after a window drag";
    EXPECT_EQ(host.clipboardPicture->width, 500);
    EXPECT_EQ(k.ws.CURSLOT, 0);
}

TEST_F(Gestures, ZoomDragOf500PixelsDoublesAndStopsAt20)
{
    press(kButtonMiddle, 250, 600);
    move(250, 100);
    EXPECT_FLOAT_EQ(k.ws.MAGF[0], 2.0f);
    EXPECT_EQ(k.ws.VIEWXS[0], 500);
    move(250, -20000);
    EXPECT_FLOAT_EQ(k.ws.MAGF[0], 20.0f);
    EXPECT_EQ(k.ws.VIEWXS[0], 50);
}

TEST_F(Gestures, PanReachesRowAndColumnZero)
{
    press(kButtonMiddle, 0, 0);
    move(0, -500);
    release(0, -500);
    EXPECT_EQ(k.ws.VIEWXS[0], 500);
    press(kButtonLeft, 250, 250);
    move(4000, 4000); // dragging the image right and down shows its top-left corner
    EXPECT_EQ(k.ws.VIEWX0[0], 0);
    EXPECT_EQ(k.ws.VIEWY0[0], 0) << "the first row can be shown";
    move(-4000, -4000);
    EXPECT_EQ(k.ws.VIEWX0[0], 500);
    EXPECT_EQ(k.ws.VIEWY0[0], 500);
}

TEST_F(Gestures, MovingTheRoiCentresItAndReleaseMeasures)
{
    const auto [rx, ry] = onRoi();
    press(kButtonLeft, rx, ry);
    move(200, 150);
    const Control& sh = k.form.SH1[0];
    EXPECT_EQ(sh.Left, 200 - 25) << "50 pane pixels wide (100 / PXS 2)";
    EXPECT_EQ(sh.Top, 150 - 25);
    EXPECT_EQ(k.roi[0].ROIX, 350) << "read back from the rectangle: 175 x 2";
    EXPECT_EQ(k.roi[0].ROIY, 250);
    EXPECT_EQ(k.form.LH1[0].Left, sh.Left - 7);
    move(10, 150); // the half width would cross the left edge: held against it
    EXPECT_EQ(sh.Left, 0);
    EXPECT_EQ(sh.Top, 125);
    EXPECT_EQ(k.roi[0].ROIX, 0);
    release(10, 150);
    EXPECT_EQ(k.form.Caption.rfind("Ave=", 0), 0u) << k.form.Caption;
    EXPECT_EQ(host.clipboardText.substr(0, 4), "0.00");
    EXPECT_EQ(k.ws.CURSLOT, 0);
    EXPECT_EQ(k.gesture.MOUSEMODE, 0);
}

TEST_F(Gestures, ResizingShowsTheSizeInTheCaption)
{
    const Control& rh = k.form.RH1[0];
    press(kButtonLeft, rh.Left + 3, rh.Top + 3);
    const Control& sh = k.form.SH1[0];
    move(sh.Left + 60 + 3, sh.Top + 40 + 3);
    EXPECT_EQ(sh.Width, 60);
    EXPECT_EQ(sh.Height, 40);
    EXPECT_EQ(k.roi[0].ROIW, 120);
    EXPECT_EQ(k.roi[0].ROIH, 80);
    EXPECT_EQ(k.form.Caption, " 120 80");
    EXPECT_EQ(k.form.ROIXSZTX.Text, "120");
    move(sh.Left - 50, sh.Top - 50); // the handle may not cross the opposite corner
    EXPECT_EQ(sh.Width, 60);
}

TEST_F(Gestures, ReleaseCopiesTheWindowToTheOtherDisplayedPaneWithWSync)
{
    loadImage(1, 1000, 1000, numbered(1000, 1000));
    IMGDSP(k);
    k.ws.CURSLOT = 0;
    k.ws.WSYNC = 1;
    press(kButtonRight, 200, 200);
    move(250, 150);
    release(250, 150);
    EXPECT_EQ(k.ws.WW[1], 2150);
    EXPECT_EQ(k.ws.WL[1], 1150);
    EXPECT_EQ(k.form.WWTX[1].Text, "2150");
}

TEST_F(Gestures, BusyKeepsEventsFromActing)
{
    k.gesture.BUSY = 1;
    press(kButtonRight, 200, 200);
    EXPECT_EQ(k.gesture.MOUSEMODE, 0);
    k.gesture.BUSY = 0;
    press(kButtonRight, 200, 200);
    k.gesture.BUSY = 1;
    move(300, 200);
    EXPECT_EQ(k.ws.WW[0], 2000);
}

TEST_F(Gestures, PaneWithoutAnImageOnlyBecomesCurrent)
{
    PIC_MouseDown(k, 1, kButtonLeft, 0, 100, 100);
    EXPECT_EQ(k.ws.CURSLOT, 1);
    EXPECT_EQ(k.gesture.MOUSEMODE, 0);
    PIC_Click(k, 1);
    EXPECT_EQ(k.form.WAKU.Left, k.form.PIC[1].Left - 2);
}

TEST_F(Gestures, TopLeftHandleMovesTheCornerAndKeepsTheOppositeOne)
{
    const Control& sh = k.form.SH1[0];
    const Control& lh = k.form.LH1[0];
    const double right = sh.Left + sh.Width;
    const double bottom = sh.Top + sh.Height;
    press(kButtonLeft, lh.Left + 3, lh.Top + 3);
    EXPECT_EQ(k.gesture.MOUSEMODE, 5);
    move(40 - 3, 30 - 3); // the pointer holds the handle by its middle (half of 7 is 3)
    EXPECT_EQ(sh.Left, 40);
    EXPECT_EQ(sh.Top, 30);
    EXPECT_EQ(sh.Left + sh.Width, right) << "the bottom-right corner stays";
    EXPECT_EQ(sh.Top + sh.Height, bottom);
    EXPECT_EQ(lh.Left, 40 - 7) << "the handle follows the corner";
    EXPECT_EQ(k.roi[0].ROIX, 80) << "PXS 2";
    EXPECT_EQ(k.roi[0].ROIW, (right - 40) * 2);
    EXPECT_EQ(k.form.Caption, " " + std::to_string(static_cast<int>((right - 40) * 2)) + " " +
                                  std::to_string(static_cast<int>((bottom - 30) * 2)));

    move(right, 30 - 3); // up to the opposite handle: the width is refused, the height taken
    EXPECT_EQ(sh.Left, 40);
    move(40 - 3, bottom);
    EXPECT_EQ(sh.Top, 30);
    move(-20, -20); // beyond the pane's left and top edges: held at the picture's corner
    EXPECT_EQ(sh.Left, 0);
    EXPECT_EQ(sh.Top, 0);
    EXPECT_EQ(k.roi[0].ROIX, 0);
    EXPECT_EQ(k.roi[0].ROIY, 0);
    EXPECT_EQ(sh.Left + sh.Width, right) << "the opposite corner still stays";
}

TEST_F(Gestures, FullImageRoiIsMadeWithTheHandlesAndMovesAlongTheFreeAxis)
{
    const Control& sh = k.form.SH1[0];
    press(kButtonLeft, k.form.LH1[0].Left + 3, k.form.LH1[0].Top + 3);
    move(-100, -100);
    release(-100, -100);
    press(kButtonLeft, k.form.RH1[0].Left + 3, k.form.RH1[0].Top + 3);
    move(900, 900);
    release(900, 900);
    EXPECT_EQ(k.roi[0].ROIX, 0);
    EXPECT_EQ(k.roi[0].ROIY, 0);
    EXPECT_EQ(k.roi[0].ROIW, 1000) << "every column, the last included";
    EXPECT_EQ(k.roi[0].ROIH, 1000);
    ASSERT_EQ(k.form.Caption.rfind("Ave=", 0), 0u) << "measured, not refused: " << k.form.Caption;
    EXPECT_NE(k.form.Caption.find(" 1000 1000"), std::string::npos) << k.form.Caption;

    // Pull the bottom up to 400 rows; the full-width ROI then moves down to the last row.
    press(kButtonLeft, k.form.RH1[0].Left + 3, k.form.RH1[0].Top + 3);
    move(k.form.RH1[0].Left + 3, 200 + 3);
    release(k.form.RH1[0].Left + 3, 200 + 3);
    ASSERT_EQ(k.roi[0].ROIH, 400);
    press(kButtonLeft, 250, 100);
    ASSERT_EQ(k.gesture.MOUSEMODE, 4);
    move(300, 450);
    EXPECT_EQ(sh.Left, 0) << "no room across";
    EXPECT_EQ(sh.Top, 300) << "held at the bottom";
    release(300, 450);
    EXPECT_EQ(k.roi[0].ROIX, 0);
    EXPECT_EQ(k.roi[0].ROIY, 600);
    EXPECT_EQ(k.roi[0].ROIY + k.roi[0].ROIH, 1000);
}

TEST_F(Gestures, RoiReachesTheLastPixelsWhenThePitchIsNotWhole)
{
    // 1024 columns in a pane of 508: 2.0157 image pixels a pane pixel, the bitmap's edge between
    // pane pixels. Dragged past every edge, the ROI covers the image exactly.
    pane(508, 508);
    loadImage(0, 1024, 1024, numbered(1024, 1024));
    IMGDSP(k);
    press(kButtonLeft, k.form.LH1[0].Left + 3, k.form.LH1[0].Top + 3);
    move(-50, -50);
    release(-50, -50);
    press(kButtonLeft, k.form.RH1[0].Left + 3, k.form.RH1[0].Top + 3);
    move(700, 700);
    release(700, 700);
    EXPECT_EQ(k.roi[0].ROIX, 0);
    EXPECT_EQ(k.roi[0].ROIY, 0);
    EXPECT_EQ(k.roi[0].ROIX + k.roi[0].ROIW, 1024);
    EXPECT_EQ(k.roi[0].ROIY + k.roi[0].ROIH, 1024);
    // A 512 ROI pushed into the bottom-right corner ends on the last row and column.
    k.roi[0] = {100, 100, 512, 512};
    IMGDSP(k);
    const auto [rx, ry] = onRoi();
    press(kButtonLeft, rx, ry);
    move(1000, 1000);
    release(1000, 1000);
    EXPECT_EQ(k.roi[0].ROIW, 512);
    EXPECT_EQ(k.roi[0].ROIX + k.roi[0].ROIW, 1024);
    EXPECT_EQ(k.roi[0].ROIY + k.roi[0].ROIH, 1024);
    EXPECT_EQ(k.form.Caption.rfind("Ave=", 0), 0u) << k.form.Caption;
}

TEST_F(Gestures, AfterZoomAndFitTheRectangleShowsTheMeasuredRoi)
{
    k.roi[0] = {350, 250, 100, 100};
    IMGDSP(k);
    EXPECT_EQ(k.form.SH1[0].Left, 175) << "PXS 2";
    EXPECT_EQ(k.form.SH1[0].Top, 125);
    // Zoom to 2 about the centre: the region 250 .. 750 fills the pane, one image pixel a pane pixel.
    press(kButtonMiddle, 250, 600);
    move(250, 100);
    release(250, 100);
    ASSERT_EQ(k.ws.VIEWX0[0], 250);
    ASSERT_EQ(k.ws.VIEWY0[0], 250);
    EXPECT_EQ(k.form.SH1[0].Left, 100);
    EXPECT_EQ(k.form.SH1[0].Top, 0);
    EXPECT_EQ(k.form.SH1[0].Width, 100);
    EXPECT_EQ(k.form.LH1[0].Left, 100 - 7) << "the handles go with it";
    EXPECT_EQ(k.roi[0].ROIX, 350) << "the ROI itself does not move";
    REDISP_Click(k);
    EXPECT_EQ(k.form.SH1[0].Left, 175);
    EXPECT_EQ(k.form.SH1[0].Width, 50);
}

TEST_F(Gestures, NothingChangesTheRoiWhileAnAnalysisRuns)
{
    const RoiRecord before = k.roi[0];
    const AnalysisBusy busy(k.ws);
    const auto [rx, ry] = onRoi();
    press(kButtonLeft, rx, ry);
    move(rx + 50, ry + 50);
    release(rx + 50, ry + 50);
    EXPECT_EQ(k.gesture.MOUSEMODE, 0);
    EXPECT_EQ(k.roi[0].ROIX, before.ROIX);
    EXPECT_EQ(k.roi[0].ROIY, before.ROIY);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], analysingMessage());
}

TEST_F(Gestures, ReleaseAfterPanOrZoomLeavesTheClipboardEmpty)
{
    host.clipboardText = "old";
    press(kButtonLeft, 250, 250);
    move(200, 200);
    release(200, 200);
    EXPECT_EQ(host.clipboardText, "") << "a pan";
    EXPECT_FALSE(host.clipboardPicture.has_value());

    host.clipboardText = "old";
    press(kButtonMiddle, 250, 300);
    move(250, 200);
    release(250, 200);
    EXPECT_EQ(host.clipboardText, "") << "a zoom";
    EXPECT_FALSE(host.clipboardPicture.has_value());

    press(kButtonRight, 250, 250);
    move(260, 250);
    release(260, 250);
    EXPECT_TRUE(host.clipboardPicture.has_value()) << "a window drag copies the pane";
}

TEST_F(Gestures, ReleaseCopiesTheRegionToTheOtherPaneWithPosSyncAndEqualSizes)
{
    loadImage(1, 1000, 1000, numbered(1000, 1000));
    IMGDSP(k);
    k.ws.CURSLOT = 0;
    k.disp.PSYNC = 1;
    press(kButtonMiddle, 250, 600);
    move(250, 100);
    EXPECT_EQ(k.ws.VIEWXS[1], 1000) << "nothing is copied before the release";
    release(250, 100);
    EXPECT_EQ(k.ws.VIEWXS[1], 500);
    EXPECT_EQ(k.ws.VIEWYS[1], k.ws.VIEWYS[0]);
    EXPECT_EQ(k.ws.VIEWX0[1], k.ws.VIEWX0[0]);
    EXPECT_EQ(k.ws.VIEWY0[1], k.ws.VIEWY0[0]);
    EXPECT_EQ(k.ws.WW[1], 2000) << "the window only follows with W-sync";

    loadImage(1, 1000, 999, numbered(1000, 999));
    IMGDSP(k);
    k.ws.CURSLOT = 0;
    press(kButtonMiddle, 250, 600);
    move(250, 350);
    release(250, 350);
    EXPECT_EQ(k.ws.VIEWXS[1], 1000) << "images of other sizes keep their own region";
}

} // namespace
