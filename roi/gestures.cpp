#include "gestures.h"

#include "analysis_busy.h"
#include "imgdsp.h"
#include "magnification.h"
#include "numtext.h"
#include "roi_statistics.h"
#include "shdraw.h"
#include "winclc.h"

#include <algorithm>
#include <cmath>

namespace vantry {
namespace {

/// w\2: the nearest integer, halved toward zero.
int32_t halfOf(double w)
{
    return static_cast<int32_t>(std::nearbyint(w)) / 2;
}

bool inside(const Control& c, double x, double y)
{
    return c.Left < x && x < c.Left + c.Width && c.Top < y && y < c.Top + c.Height;
}

/// Mean of the 3 x 3 pixels around (cx, cy) that lie inside the image.
std::optional<float> readout(const ImageBuffer& img, int32_t cx, int32_t cy)
{
    double sum = 0;
    int count = 0;
    for (int32_t j = -1; j <= 1; ++j) {
        for (int32_t i = -1; i <= 1; ++i) {
            const int32_t x = cx + i, y = cy + j;
            if (x < 0 || y < 0 || x >= img.width || y >= img.height) continue;
            sum += img.at(x, y);
            ++count;
        }
    }
    if (count == 0) return std::nullopt;
    return static_cast<float>(sum / count);
}

void windowDrag(Korvelf& k, int p, double x, double y)
{
    const GestureRecord& g = k.gesture;
    int32_t ww = round16Clamped((x - g.DOWNX) * 3 + g.DOWNWW);
    int32_t wl = round16Clamped((g.DOWNY - y) * 3 + g.DOWNWL);
    if (ww < 0) ww = 0;
    if (wl < 0) wl = 0;
    if (ww > 18000) ww = 18000;
    if (wl > 18000) wl = 18000;
    if (ww < 2) ww = 2;
    k.ws.WW[p] = static_cast<int16_t>(ww);
    k.ws.WL[p] = static_cast<int16_t>(wl);
    k.form.WWTX[p].Text = plainNumber(static_cast<double>(ww));
    k.form.WCTX[p].Text = plainNumber(static_cast<double>(wl));
    WINCLC(k);
    IMGDSP(k);
    k.host.DoEvents();
}

void pan(Korvelf& k, int p, double x, double y)
{
    const GestureRecord& g = k.gesture;
    Workspace& ws = k.ws;
    const float pxs = k.disp.PXS[p];
    int32_t nx = round16Clamped((g.DOWNX - x) * pxs + g.DOWNVX);
    int32_t ny = round16Clamped((g.DOWNY - y) * pxs + g.DOWNVY);
    if (nx < 0) nx = 0;
    if (nx > ws.XSZ[p] - ws.VIEWXS[p]) nx = ws.XSZ[p] - ws.VIEWXS[p];
    if (ny < 0) ny = 0;
    if (ny > ws.YSZ[p] - ws.VIEWYS[p]) ny = ws.YSZ[p] - ws.VIEWYS[p];
    if (nx != ws.VIEWX0[p] || ny != ws.VIEWY0[p]) {
        ws.VIEWX0[p] = nx;
        ws.VIEWY0[p] = ny;
        IMGDSP(k);
    }
}

void zoom(Korvelf& k, int p, double y)
{
    auto z = static_cast<float>((k.gesture.DOWNY - y) / 500.0 + k.gesture.DOWNMAG[p]);
    if (z > 20) z = 20;
    if (z < 1) z = 1;
    int16_t vw = 0, vh = 0;
    MAGCLC(k, z, vw, vh);
    if (vw != k.ws.VIEWXS[p] || vh != k.ws.VIEWYS[p]) {
        k.ws.VIEWXS[p] = vw;
        k.ws.VIEWYS[p] = vh;
        k.ws.MAGF[p] = z;
        IMGDSP(k);
    }
}

/// The shown picture's extent in the pane, [left, right) x [top, bottom).
struct PictureExtent {
    double left, top, right, bottom;
};

PictureExtent pictureExtent(const Korvelf& k, int p)
{
    const DisplayState& d = k.disp;
    const double pxs = d.PXS[p] > 0 ? d.PXS[p] : 1.0;
    return {static_cast<double>(d.OX[p]), static_cast<double>(d.OY[p]), d.OX[p] + k.ws.VIEWXS[p] / pxs,
            d.OY[p] + k.ws.VIEWYS[p] / pxs};
}

/// `start` moved as little as needed to keep [start, start + size) within [lo, hi); a size beyond
/// the range starts at lo.
double keptWithin(double start, double size, double lo, double hi)
{
    return std::max(lo, std::min(start, hi - size));
}

void moveRoi(Korvelf& k, int p, double x, double y)
{
    Control& sh = k.form.SH1[p];
    const int32_t w = halfOf(sh.Width), h = halfOf(sh.Height);
    // Held against the picture's edges, so the ROI can lie on the first and last rows and
    // columns, and a ROI as wide as the picture still moves along the other axis.
    const PictureExtent e = pictureExtent(k, p);
    const double left = keptWithin(x - w, sh.Width, e.left, e.right);
    const double top = keptWithin(y - h, sh.Height, e.top, e.bottom);
    if (left != sh.Left || top != sh.Top) {
        sh.Left = left;
        sh.Top = top;
        SHDRAW(k, 1);
    }
}

void sizeCaption(Korvelf& k, int p)
{
    k.form.Caption = plainNumber(static_cast<double>(k.roi[p].ROIW)) + plainNumber(static_cast<double>(k.roi[p].ROIH));
}

void resizeFromTopLeft(Korvelf& k, int p, double x, double y)
{
    Control& sh = k.form.SH1[p];
    const Control& lh = k.form.LH1[p];
    const Control& rh = k.form.RH1[p];
    const PictureExtent e = pictureExtent(k, p);
    const int32_t hw = halfOf(lh.Width);
    if (x + hw < rh.Left - 2) {
        const double left = std::max(x + hw, e.left);
        sh.Width = sh.Width + sh.Left - left;
        sh.Left = left;
    }
    const int32_t hh = halfOf(lh.Height);
    if (y + hh < rh.Top - 2) {
        const double top = std::max(y + hh, e.top);
        sh.Height = sh.Height + sh.Top - top;
        sh.Top = top;
    }
    SHDRAW(k, 1);
    sizeCaption(k, p);
}

void resizeFromBottomRight(Korvelf& k, int p, double x, double y)
{
    Control& sh = k.form.SH1[p];
    const Control& rh = k.form.RH1[p];
    const PictureExtent e = pictureExtent(k, p);
    const int32_t hw = halfOf(rh.Width);
    if (x - hw > sh.Left + 2) sh.Width = std::min(x - hw, e.right) - sh.Left;
    const int32_t hh = halfOf(rh.Height);
    if (y - hh > sh.Top + 2) sh.Height = std::min(y - hh, e.bottom) - sh.Top;
    SHDRAW(k, 1);
    sizeCaption(k, p);
}

/// At the end of a drag, the other pane follows the window and the region when asked to.
void synchroniseOtherPane(Korvelf& k, int p)
{
    const int q = p == 0 ? 1 : 0;
    Workspace& ws = k.ws;
    if (k.disp.DSPD[q] != 1) return;
    ws.CURSLOT = static_cast<int16_t>(q);
    if (ws.WSYNC == 1) {
        ws.WW[q] = ws.WW[p];
        ws.WL[q] = ws.WL[p];
        k.form.WWTX[q].Text = plainNumberTrimmed(ws.WW[q]);
        k.form.WCTX[q].Text = plainNumberTrimmed(ws.WL[q]);
        IMGDSP(k);
    }
    if (k.disp.PSYNC == 1 && ws.LOADED[p] == 1 && ws.LOADED[q] == 1 && ws.XSZ[p] == ws.XSZ[q] && ws.YSZ[p] == ws.YSZ[q]) {
        ws.VIEWX0[q] = ws.VIEWX0[p];
        ws.VIEWY0[q] = ws.VIEWY0[p];
        ws.VIEWXS[q] = ws.VIEWXS[p];
        ws.VIEWYS[q] = ws.VIEWYS[p];
        IMGDSP(k);
    }
    ws.CURSLOT = static_cast<int16_t>(p);
}

} // namespace

void PIC_MouseDown(Korvelf& k, int index, int button, int /*shift*/, double x, double y)
{
    if (refusedWhileAnalysing(k)) return;
    Workspace& ws = k.ws;
    GestureRecord& g = k.gesture;
    ws.CURSLOT = static_cast<int16_t>(index);
    const int p = index;
    if (ws.LOADED[p] == 0 || g.BUSY == 1) return;
    if (inside(k.form.SH1[p], x, y)) g.MOUSEMODE = 4;
    if (inside(k.form.LH1[p], x, y)) g.MOUSEMODE = 5;
    if (inside(k.form.RH1[p], x, y)) g.MOUSEMODE = 6;
    g.DOWNX = round16Clamped(x);
    g.DOWNY = round16Clamped(y);
    const DisplayState& d = k.disp;
    if (x > d.OX[p] + 1 && y > d.OY[p] + 1 && x < d.DISPW - d.OX[p] - 2 && y < d.DISPH - d.OY[p] - 2 && g.MOUSEMODE < 4) {
        const int16_t cx = round16Clamped((x - d.OX[p]) * d.PXS[p] + ws.VIEWX0[p]);
        const int16_t cy = round16Clamped((y - d.OY[p]) * d.PXS[p] + ws.VIEWY0[p]);
        k.disp.PCX[p] = cx;
        k.disp.PCY[p] = cy;
        if (const auto m = readout(ws.IMG[p], cx, cy)) k.form.Caption = plainNumber(*m);
    }
    if (button == kButtonLeft && g.MOUSEMODE < 4) {
        g.MOUSEMODE = 2;
    } else if (button == kButtonMiddle) {
        g.MOUSEMODE = 3;
    }
    if (button == kButtonRight) g.MOUSEMODE = 1;
    g.DOWNWW = ws.WW[p];
    g.DOWNWL = ws.WL[p];
    g.DOWNVX = ws.VIEWX0[p];
    g.DOWNVY = ws.VIEWY0[p];
    g.DOWNMAG[p] = ws.MAGF[p];
}

void PIC_MouseMove(Korvelf& k, int /*index*/, int /*button*/, int /*shift*/, double x, double y)
{
    GestureRecord& g = k.gesture;
    const int p = k.ws.CURSLOT;
    if (k.ws.LOADED[p] == 0 || g.MOUSEMODE == 0 || g.BUSY == 1) return;
    switch (g.MOUSEMODE) {
    case 1:
        windowDrag(k, p, x, y);
        break;
    case 2:
        pan(k, p, x, y);
        break;
    case 3:
        zoom(k, p, y);
        break;
    case 4:
        moveRoi(k, p, x, y);
        break;
    case 5:
        resizeFromTopLeft(k, p, x, y);
        break;
    case 6:
        resizeFromBottomRight(k, p, x, y);
        break;
    default:
        break;
    }
    g.LASTMODE = g.MOUSEMODE;
}

void PIC_MouseUp(Korvelf& k, int /*index*/, int /*button*/, int /*shift*/, double /*x*/, double /*y*/)
{
    GestureRecord& g = k.gesture;
    const int p = k.ws.CURSLOT;
    if (k.ws.LOADED[p] == 0 || g.MOUSEMODE == 0) return;
    if (g.LASTMODE == 0) {
        g.MOUSEMODE = 0;
        return;
    }
    if (g.BUSY == 1) return;
    g.BUSY = 1;
    k.host.setClipboardText("");
    k.host.DoEvents();
    synchroniseOtherPane(k, p);
    if (g.MOUSEMODE > 3) ROICLC(k);
    if (g.MOUSEMODE == 1) k.host.copyPaneToClipboard(p);
    k.ws.CURSLOT = 0;
    g.MOUSEMODE = 0;
    g.LASTMODE = 0;
    g.BUSY = 0;
}

} // namespace vantry
