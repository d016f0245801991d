// The layout step of the workspace window after it is shown or resized.
#include "form_load.h"
#include "form_resize.h"
#include "timer1.h"
#include "workspace_fixture.h"

using namespace vantry;

namespace {

class Layout : public WorkspaceFixture {
protected:
    Layout()
    {
        writeList("h\nDICOM 1 1 0.1 1 0 0\n");
        EXPECT_TRUE(Form_Load(k));
    }
    void resizeTo(double w, double h)
    {
        k.form.Width = w;
        k.form.Height = h;
        Form_Resize(k);
    }
};

TEST_F(Layout, WindowOf1218PixelsGivesTwoPanesOf600)
{
    resizeTo(1218, 800);
    const Control& left = k.form.PIC[0];
    const Control& right = k.form.PIC[1];
    EXPECT_EQ(left.Left, 3);
    EXPECT_EQ(left.Top, 100);
    EXPECT_EQ(left.Width, 600);
    EXPECT_EQ(left.Height, 660);
    EXPECT_EQ(right.Left, 606);
    EXPECT_EQ(right.Top, 100);
    EXPECT_EQ(right.Width, 600);
    EXPECT_EQ(right.Height, 660);
    EXPECT_TRUE(right.Visible);
    // The drawing area is the right pane's inside, within its 2-pixel frame.
    EXPECT_EQ(k.disp.DISPW, 596);
    EXPECT_EQ(k.disp.DISPH, 656);
}

TEST_F(Layout, WindowAndResultBoxesFollowTheWidth)
{
    resizeTo(1218, 800);
    const KorvelfForm& f = k.form;
    EXPECT_EQ(f.WWLBL.Left, 436);
    EXPECT_EQ(f.WWTX[0].Left, 481);
    EXPECT_EQ(f.WCTX[0].Left, 539);
    EXPECT_EQ(f.WWLBL2.Left, 1045);
    EXPECT_EQ(f.WWTX[1].Left, 1093);
    EXPECT_EQ(f.WCTX[1].Left, 1148);
    // The result boxes stand at one pitch of 60, each 58 wide: "-32768.00" fits every one.
    EXPECT_EQ(f.AVE1TX[1].Left, 609);
    EXPECT_EQ(f.AVE2TX[1].Left, 669);
    EXPECT_EQ(f.SDTX[1].Left, 729);
    EXPECT_EQ(f.SNRTX[1].Left, 789);
    EXPECT_EQ(f.CNRTX[1].Left, 849);
    EXPECT_EQ(f.AVE2TX[1].Width, 58);
    EXPECT_EQ(f.AVE2TX[0].Left, 68);
    EXPECT_EQ(f.CNRTX[0].Left + f.CNRTX[0].Width, 306) << "clear of the window boxes at 436";
    EXPECT_EQ(f.VAL2LBL.Left, 609);
    EXPECT_EQ(f.AVE1TX[1].Height, 10);
    EXPECT_EQ(f.SNRTX[1].Height, 21) << "SNRTX keeps its design height";
    // Controls the layout does not name keep their design positions (twips / 15).
    EXPECT_EQ(f.Command1.Left, 8);
    EXPECT_EQ(f.Command1.Top, 24);
    EXPECT_EQ(f.AVE1TX[0].Left, 8);
}

TEST_F(Layout, ResultBoxesNarrowOnlyAsFarAsTheRowNeeds)
{
    // At 800 wide the left row has 400 - 173 - 8 = 219 pixels before the window boxes: a pitch of
    // floor((219 - 2) / 5) = 43, and no box reaches WWLBL.
    resizeTo(800, 600);
    const KorvelfForm& f = k.form;
    EXPECT_EQ(f.AVE2TX[0].Left - f.AVE1TX[0].Left, 43);
    EXPECT_EQ(f.AVE1TX[0].Width, 41);
    EXPECT_LE(f.CNRTX[0].Left + f.CNRTX[0].Width, f.WWLBL.Left);
    EXPECT_LE(f.CNRTX[1].Left + f.CNRTX[1].Width, f.WWLBL2.Left);
    // A tiny window keeps a usable pitch of 30 rather than boxes of nothing.
    resizeTo(400, 600);
    EXPECT_EQ(f.AVE2TX[1].Left - f.AVE1TX[1].Left, 30);
}

TEST_F(Layout, FrameSurroundsTheLeftPane)
{
    resizeTo(1218, 800);
    EXPECT_EQ(k.form.WAKU.Left, 1);
    EXPECT_EQ(k.form.WAKU.Top, 98);
    EXPECT_EQ(k.form.WAKU.Width, 604);
    EXPECT_EQ(k.form.WAKU.Height, 664);
}

TEST_F(Layout, ResizeStartsTheRedrawTimerAndItsTickStopsIt)
{
    resizeTo(1000, 700);
    EXPECT_EQ(k.form.Timer1.Interval, 300);
    EXPECT_TRUE(k.form.Timer1.Enabled);
    EXPECT_EQ(host.timerInterval, 300);
    const int starts = host.timerStarts;
    resizeTo(1100, 700);
    EXPECT_EQ(host.timerStarts, starts + 1) << "every resize restarts the 300 ms wait";
    Timer1_Timer(k);
    EXPECT_EQ(k.form.Timer1.Interval, 0);
    EXPECT_FALSE(k.form.Timer1.Enabled);
    EXPECT_EQ(host.timerInterval, 0);
}

TEST_F(Layout, MinimisedWindowChangesNothing)
{
    resizeTo(1218, 800);
    const KorvelfForm before = k.form;
    const int32_t dispW = k.disp.DISPW, dispH = k.disp.DISPH;
    Timer1_Timer(k);
    const int starts = host.timerStarts;
    resizeTo(1218, 33); // 495 twips: below 500
    EXPECT_EQ(k.form.PIC[0].Height, before.PIC[0].Height);
    EXPECT_EQ(k.form.PIC[1].Left, before.PIC[1].Left);
    EXPECT_EQ(k.form.WAKU.Height, before.WAKU.Height);
    EXPECT_EQ(k.disp.DISPW, dispW);
    EXPECT_EQ(k.disp.DISPH, dispH);
    EXPECT_EQ(host.timerStarts, starts);
    EXPECT_FALSE(k.form.Timer1.Enabled);
}

TEST_F(Layout, BitmapHeaderDescribesAGreyBottomUpBitmap)
{
    k.disp.BMPW = 301;
    k.disp.BMPH = 200;
    resizeTo(1218, 800);
    const auto& h = k.disp.BMPINFO;
    auto u32 = [&](int at) { return h[at] | h[at + 1] << 8 | h[at + 2] << 16 | static_cast<uint32_t>(h[at + 3]) << 24; };
    EXPECT_EQ(u32(0), 40u);
    EXPECT_EQ(u32(4), 301u);
    EXPECT_EQ(u32(8), 200u) << "positive height: rows bottom-up";
    EXPECT_EQ(h[12] | h[13] << 8, 1);
    EXPECT_EQ(h[14] | h[15] << 8, 8);
    EXPECT_EQ(u32(16), 0u);
    EXPECT_EQ(u32(20), 301u * 200u) << "unpadded size";
    EXPECT_EQ(u32(24) | u32(28) | u32(32) | u32(36), 0u);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(h[40 + 4 * i], i);
        ASSERT_EQ(h[41 + 4 * i], i);
        ASSERT_EQ(h[42 + 4 * i], i);
        ASSERT_EQ(h[43 + 4 * i], 0);
    }
}

} // namespace
