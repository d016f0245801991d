#include "shdraw.h"

#include "numtext.h"

namespace vantry {

void SHDRAW(Korvelf& k, int mode)
{
    const int p = k.ws.CURSLOT;
    Control& sh = k.form.SH1[p];
    Control& lh = k.form.LH1[p];
    Control& rh = k.form.RH1[p];
    RoiRecord& roi = k.roi[p];
    const double pxs = k.disp.PXS[p];

    if (mode == 0) {
        sh.Width = roi.ROIW / pxs;
        sh.Height = roi.ROIH / pxs;
    } else if (mode == 1) {
        // A value outside the 16-bit range leaves that field as it was.
        roi.ROIX = roundToInt16((sh.Left - k.disp.OX[p]) * pxs + k.ws.VIEWX0[p]).value_or(roi.ROIX);
        roi.ROIY = roundToInt16((sh.Top - k.disp.OY[p]) * pxs + k.ws.VIEWY0[p]).value_or(roi.ROIY);
        roi.ROIW = roundToInt16(sh.Width * pxs).value_or(roi.ROIW);
        roi.ROIH = roundToInt16(sh.Height * pxs).value_or(roi.ROIH);
        k.form.ROIXSZTX.Text = plainNumberTrimmed(roi.ROIW);
        k.form.ROIYSZTX.Text = plainNumberTrimmed(roi.ROIH);
    }
    lh.Left = sh.Left - lh.Width;
    lh.Top = sh.Top - lh.Height;
    rh.Left = sh.Left + sh.Width;
    rh.Top = sh.Top + sh.Height;
}

} // namespace vantry
