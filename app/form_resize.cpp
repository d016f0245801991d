#include "form_resize.h"

#include "bihset.h"

#include <cmath>

namespace vantry {

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

    f.AVE1TX[1].Left = halfW;
    f.AVE2TX[1].Left = halfW + 55;
    f.SDTX[1].Left = halfW + 100;
    f.SNRTX[1].Left = halfW + 150;
    f.CNRTX[1].Left = halfW + 203;
    f.VAL2LBL.Left = halfW;
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
