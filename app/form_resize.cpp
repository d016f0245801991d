#include "form_resize.h"

#include "bihset.h"

#include <algorithm>
#include <cmath>

namespace vantry {

void placeResultBoxes(KorvelfForm& f, double rightRowLeft, double leftRowEnd, double rightRowEnd)
{
    Control* rows[2][5] = {{&f.AVE1TX[0], &f.AVE2TX[0], &f.SDTX[0], &f.SNRTX[0], &f.CNRTX[0]},
                           {&f.AVE1TX[1], &f.AVE2TX[1], &f.SDTX[1], &f.SNRTX[1], &f.CNRTX[1]}};
    const double starts[2] = {f.AVE1TX[0].Left, rightRowLeft};
    const double ends[2] = {leftRowEnd, rightRowEnd};
    // Each row keeps clear of the window boxes to its right.
    const double room = std::min(ends[0] - starts[0], ends[1] - starts[1]) - kResultGap;
    const double pitch = std::clamp(std::floor(room / 5), kResultPitchMin, kResultPitch);
    for (int row = 0; row < 2; ++row) {
        for (int i = 0; i < 5; ++i) {
            rows[row][i]->Left = starts[row] + pitch * i;
            rows[row][i]->Width = pitch - kResultGap;
        }
    }
    f.VALLBL.Width = f.VAL2LBL.Width = pitch * 5;
}

void Form_Resize(Korvelf& k)
{
    KorvelfForm& f = k.form;
    if (f.Height * kTwipsPerPixel < 500) return;

    // The outer size is held as 16-bit integers and the differences are formed in 16 bits.
    const auto W = static_cast<int16_t>(std::nearbyint(f.Width));
    const auto H = static_cast<int16_t>(std::nearbyint(f.Height));
    const double halfW = W / 2.0;

    Control& left = f.PIC[0];
    Control& right = f.PIC[1];
    left.Height = static_cast<int16_t>(H - 140);
    left.Left = 3;
    left.Top = 100;
    left.Width = static_cast<int16_t>(W - 18) / 2.0;
    right.Top = 100;
    right.Visible = true;
    right.Left = left.Width + 6;
    right.Width = left.Width;
    right.Height = left.Height;

    f.WWLBL.Left = halfW - 173;
    f.WWTX[0].Left = halfW - 128;
    f.WCTX[0].Left = halfW - 70;
    f.WWLBL2.Left = static_cast<int16_t>(W - 173);
    f.WWTX[1].Left = static_cast<int16_t>(W - 125);
    f.WCTX[1].Left = static_cast<int16_t>(W - 70);

    f.VAL2LBL.Left = halfW;
    placeResultBoxes(f, halfW, f.WWLBL.Left, static_cast<double>(W) - 173);
    for (Control* box : {&f.AVE1TX[1], &f.AVE2TX[1], &f.SDTX[1], &f.CNRTX[1]}) box->Height = 10;

    k.disp.DISPW = static_cast<int32_t>(std::nearbyint(right.ScaleWidth()));
    k.disp.DISPH = static_cast<int32_t>(std::nearbyint(right.ScaleHeight()));
    BIHSET(k);

    f.WAKU.Left = left.Left - 2;
    f.WAKU.Top = left.Top - 2;
    f.WAKU.Width = left.Width + 4;
    f.WAKU.Height = left.Height + 4;

    f.Timer1.Interval = 300;
    f.Timer1.Enabled = true;
    k.host.setTimer(300);
}

} // namespace vantry
