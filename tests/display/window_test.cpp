// Window width and level: the display table, the boxes, their keys, and "Posi".
#include "display_fixture.h"
#include "magnification.h"
#include "winclc.h"
#include "window_controls.h"

using namespace vantry;

namespace {

class Window : public DisplayFixture {
protected:
    uint8_t level(int view, int v) const { return k.ws.DLUT[view][v + kDlutZero]; }
    void table(int16_t ww, int16_t wl, int16_t posi)
    {
        k.ws.WW[0] = ww;
        k.ws.WL[0] = wl;
        k.ws.POSI = posi;
        WINCLC(k);
    }
};

TEST_F(Window, TableOf2000And1000InBothPolarities)
{
    table(2000, 1000, 1);
    EXPECT_EQ(level(0, 0), 0);
    EXPECT_EQ(level(0, 1), 0) << "round(255 / 2000)";
    EXPECT_EQ(level(0, 1000), 128) << "round(127.5) to even";
    EXPECT_EQ(level(0, 1999), 255) << "round(254.87)";
    EXPECT_EQ(level(0, 2000), 255);
    table(2000, 1000, 0);
    EXPECT_EQ(level(0, 0), 255);
    EXPECT_EQ(level(0, 1), 255);
    EXPECT_EQ(level(0, 1000), 128);
    EXPECT_EQ(level(0, 1999), 0);
    EXPECT_EQ(level(0, 2000), 0);
}

TEST_F(Window, NarrowWindowsRoundTheirBounds)
{
    table(3, 0, 1); // lo = round(-1.5) = -2, hi = round(1.5) = 2
    EXPECT_EQ(level(0, -2), 0);
    EXPECT_EQ(level(0, -1), 85);
    EXPECT_EQ(level(0, 0), 170);
    EXPECT_EQ(level(0, 1), 255);
    EXPECT_EQ(level(0, 2), 255);
    table(1, 1, 1); // lo = round(0.5) = 0, hi = round(1.5) = 2
    EXPECT_EQ(level(0, 0), 0);
    EXPECT_EQ(level(0, 1), 255) << "255 / 1 at the one step inside";
    table(0, 500, 1);
    EXPECT_EQ(level(0, 500), 0) << "a width of 0 is a step at the level";
    EXPECT_EQ(level(0, 501), 255);
}

TEST_F(Window, EntriesOutsideMinus1024To32767AreNeverTouched)
{
    for (int16_t posi : {1, 0}) {
        table(100, 20000, posi);
        EXPECT_EQ(level(0, -2000), 255);
        EXPECT_EQ(level(0, -1025), 255);
        EXPECT_EQ(level(0, 32768), 0);
        EXPECT_EQ(level(0, 40000), 0);
    }
    EXPECT_EQ(level(0, -1024), 255) << "negative display, below the window";
    EXPECT_EQ(level(1, 500), 0) << "the other view's table is its own";
}

TEST_F(Window, TableFollowsEveryChangeOfWindowAndPolarity)
{
    // The table is kept between displays; a change of any of the three must still rebuild it.
    table(2000, 1000, 1);
    table(2000, 1000, 0);
    EXPECT_EQ(level(0, 0), 255);
    table(2000, 3000, 0);
    EXPECT_EQ(level(0, 2000), 255);
    table(1000, 3000, 0);
    EXPECT_EQ(level(0, 2600), 230) << "255 - (2600 - 2500) * 255 / 1000 = 229.5, to even";
}

TEST_F(Window, UpAndDownStepFromTheBoxText)
{
    k.ws.WW[0] = 1234;
    k.form.WWTX[0].Text = "2000";
    WWTX_KeyDown(k, 0, kKeyUp);
    EXPECT_EQ(k.ws.WW[0], 2200) << "the box text is the starting point";
    EXPECT_EQ(k.form.WWTX[0].Text, "2200");
    WCTX_KeyDown(k, 1, kKeyDown);
    EXPECT_EQ(k.ws.CURSLOT, 1);
    EXPECT_EQ(k.ws.WL[1], 800);
    EXPECT_EQ(k.form.WCTX[1].Text, "800");
    WCTX_KeyDown(k, 0, 65); // 'A'
    EXPECT_EQ(k.ws.CURSLOT, 0) << "any key makes the view current";
    EXPECT_EQ(k.ws.WL[0], 1000);
}

TEST_F(Window, StepPastTheSixteenBitRangeKeepsTheValue)
{
    k.form.WWTX[0].Text = "32700";
    k.ws.WW[0] = 32700;
    WWTX_KeyDown(k, 0, kKeyUp);
    EXPECT_EQ(k.ws.WW[0], 32700);
    EXPECT_EQ(k.form.WWTX[0].Text, "32700");
    k.form.WCTX[0].Text = "-32700";
    k.ws.WL[0] = -32700;
    WCTX_KeyDown(k, 0, kKeyDown);
    EXPECT_EQ(k.ws.WL[0], -32700);
}

TEST_F(Window, DoubleClickAppliesBothBoxesAndRefusesTextWithoutANumber)
{
    k.form.WWTX[1].Text = "500";
    k.form.WCTX[1].Text = "250";
    WCTX_DblClick(k, 1);
    EXPECT_EQ(k.ws.CURSLOT, 1);
    EXPECT_EQ(k.ws.WW[1], 500);
    EXPECT_EQ(k.ws.WL[1], 250);
    EXPECT_EQ(k.ws.DLUT[1][250 + kDlutZero], 128);

    k.form.WWTX[1].Text = "wide";
    k.form.WCTX[1].Text = "70000";
    WWTX_DblClick(k, 1);
    EXPECT_EQ(k.ws.WW[1], 500) << "no number: the previous value stays";
    EXPECT_EQ(k.form.WWTX[1].Text, "500") << "and the box shows it again";
    EXPECT_EQ(k.ws.WL[1], 250) << "outside the 16-bit range";
    EXPECT_EQ(k.form.WCTX[1].Text, "250");

    k.form.WWTX[1].Text = "  1500.6 ";
    WWTX_DblClick(k, 1);
    EXPECT_EQ(k.ws.WW[1], 1501);
}

TEST_F(Window, PosiWithoutAnImageChangesNothing)
{
    k.form.POSICK.Value = 0;
    POSICK_Click(k);
    EXPECT_EQ(k.ws.POSI, 1);
    loadImage(0, 4, 4, numbered(4, 4));
    POSICK_Click(k);
    EXPECT_EQ(k.ws.POSI, 0);
}

TEST_F(Window, SyncBoxesNeedTheLeftImageAndTheCurrentOne)
{
    k.form.WSYNCK.Value = 1;
    k.form.PSYNCCK.Value = 1;
    WSYNCK_Click(k);
    PSYNCCK_Click(k);
    EXPECT_EQ(k.ws.WSYNC, 0) << "no image yet";
    EXPECT_EQ(k.disp.PSYNC, 0);

    loadImage(1, 4, 4, numbered(4, 4)); // the right view only: still refused
    WSYNCK_Click(k);
    PSYNCCK_Click(k);
    EXPECT_EQ(k.ws.WSYNC, 0) << "the left view has no image";
    EXPECT_EQ(k.disp.PSYNC, 0);

    loadImage(0, 4, 4, numbered(4, 4));
    k.ws.CURSLOT = 1;
    WSYNCK_Click(k);
    PSYNCCK_Click(k);
    EXPECT_EQ(k.ws.WSYNC, 1);
    EXPECT_EQ(k.disp.PSYNC, 1);

    k.form.WSYNCK.Value = 0;
    WSYNCK_Click(k);
    EXPECT_EQ(k.ws.WSYNC, 0);
    EXPECT_EQ(k.disp.PSYNC, 1) << "each box sets only its own flag";
    k.form.PSYNCCK.Value = 0;
    PSYNCCK_Click(k);
    EXPECT_EQ(k.disp.PSYNC, 0);
}

} // namespace
