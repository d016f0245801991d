#include "shdraw.h"

#include "numtext.h"

#include <algorithm>
#include <cstdint>

namespace vantry {
namespace {

/// Moves (and, for a ROI larger than the image, shortens) one axis of a ROI into 0 .. size.
void keepAxisInside(int16_t& start, int16_t& length, int32_t size)
{
    if (size <= 0 || length <= 0) return;
    if (length > size) length = static_cast<int16_t>(std::min<int32_t>(size, INT16_MAX));
    if (start < 0) start = 0;
    if (start + length > size) start = static_cast<int16_t>(size - length);
}

void keepInside(RoiRecord& roi, int32_t width, int32_t height)
{
    keepAxisInside(roi.ROIX, roi.ROIW, width);
    keepAxisInside(roi.ROIY, roi.ROIH, height);
}

} // namespace

void SHDRAW(Korvelf& k, int mode)
{
    const int p = k.ws.CURSLOT;
    Control& sh = k.form.SH1[p];
    Control& lh = k.form.LH1[p];
    Control& rh = k.form.RH1[p];
    RoiRecord& roi = k.roi[p];
    const double pxs = k.disp.PXS[p];

    if (mode == 0) {
        // The rectangle is drawn where the ROI lies in the region shown, so after a zoom, a pan
        // or Fit it still shows what is measured.
        sh.Width = roi.ROIW / pxs;
        sh.Height = roi.ROIH / pxs;
        // Before the view shows an image the rectangle keeps its place in the pane.
        if (k.disp.DSPD[p] == 1) {
            sh.Left = (roi.ROIX - k.ws.VIEWX0[p]) / pxs + k.disp.OX[p];
            sh.Top = (roi.ROIY - k.ws.VIEWY0[p]) / pxs + k.disp.OY[p];
        }
    } else if (mode == 1) {
        // A value outside the 16-bit range leaves that field as it was.
        roi.ROIX = roundToInt16((sh.Left - k.disp.OX[p]) * pxs + k.ws.VIEWX0[p]).value_or(roi.ROIX);
        roi.ROIY = roundToInt16((sh.Top - k.disp.OY[p]) * pxs + k.ws.VIEWY0[p]).value_or(roi.ROIY);
        roi.ROIW = roundToInt16(sh.Width * pxs).value_or(roi.ROIW);
        roi.ROIH = roundToInt16(sh.Height * pxs).value_or(roi.ROIH);
        // The corners are rounded one by one: a rectangle on the picture's edge can round one
        // pixel past the image, which is taken back here.
        keepInside(roi, k.ws.XSZ[p], k.ws.YSZ[p]);
        k.form.ROIXSZTX.Text = plainNumberTrimmed(roi.ROIW);
        k.form.ROIYSZTX.Text = plainNumberTrimmed(roi.ROIH);
    }
    lh.Left = sh.Left - lh.Width;
    lh.Top = sh.Top - lh.Height;
    rh.Left = sh.Left + sh.Width;
    rh.Top = sh.Top + sh.Height;
}

} // namespace vantry
