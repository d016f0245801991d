#include "imgdsp.h"

#include "bihset.h"
#include "numtext.h"
#include "shdraw.h"
#include "winclc.h"

#include <algorithm>
#include <cmath>

namespace vantry {
namespace {

int32_t roundHalfEven(double v)
{
    return static_cast<int32_t>(std::nearbyint(v));
}

/// Keeps the shown region inside the image, so the transfer never reads outside it.
void clampRegion(Workspace& ws, int view)
{
    ws.VIEWXS[view] = std::clamp(ws.VIEWXS[view], 1, ws.XSZ[view]);
    ws.VIEWYS[view] = std::clamp(ws.VIEWYS[view], 1, ws.YSZ[view]);
    ws.VIEWX0[view] = std::clamp(ws.VIEWX0[view], 0, ws.XSZ[view] - ws.VIEWXS[view]);
    ws.VIEWY0[view] = std::clamp(ws.VIEWY0[view], 0, ws.YSZ[view] - ws.VIEWYS[view]);
}

} // namespace

void IMGSHURNK(Korvelf& k)
{
    Workspace& ws = k.ws;
    DisplayState& d = k.disp;
    const int view = ws.CURSLOT;
    PARVEL(k.kernels, li2bmp)(d.BMPBITS.data(), ws.IMG[view].pixels.data(), ws.XSZ[view], ws.YSZ[view],
                              ws.VIEWXS[view], ws.VIEWYS[view], ws.VIEWX0[view], ws.VIEWY0[view], d.BMPW,
                              d.BMPH, ws.DLUT[view].data() + kDlutZero);
    d.PXS[view] = static_cast<float>(static_cast<double>(ws.VIEWXS[view]) / d.BMPW);
    const double scale = static_cast<double>(d.BMPW) / ws.VIEWXS[view];
    k.form.Caption = fixed3(scale) + blankFixed3(scale / ws.PIXMM[view] * 0.5) +
                     plainNumber(static_cast<double>(ws.LOGFAC[view]));
}

void IMGDSP(Korvelf& k)
{
    Workspace& ws = k.ws;
    DisplayState& d = k.disp;
    const int view = ws.CURSLOT;
    if (ws.LOADED[view] != 1) return;
    const ImageBuffer& img = ws.IMG[view];
    if (img.empty() || img.width != ws.XSZ[view] || img.height != ws.YSZ[view]) return;
    if (d.DISPW < 2 || d.DISPH < 2) return; // the pane is not laid out yet; the layout redraws
    clampRegion(ws, view);

    d.BMPW = d.DISPW;
    d.BMPH = d.DISPH;
    const auto av = static_cast<float>(static_cast<double>(ws.VIEWXS[view]) / ws.VIEWYS[view]);
    const auto ab = static_cast<float>(static_cast<double>(d.DISPW) / d.DISPH);
    d.OX[view] = 0;
    d.OY[view] = 0;
    if (av <= ab) {
        d.BMPW = std::max(1, roundHalfEven(static_cast<double>(d.DISPH) / ws.VIEWYS[view] * ws.VIEWXS[view]));
        d.OX[view] = roundHalfEven((d.DISPW - d.BMPW) / 2.0);
    } else {
        d.BMPH = std::max(1, roundHalfEven(static_cast<double>(d.DISPW) / ws.VIEWXS[view] * ws.VIEWYS[view]));
        d.OY[view] = roundHalfEven((d.DISPH - d.BMPH) / 2.0);
    }
    const int32_t rowBytes = (d.BMPW + 3) / 4 * 4;
    d.BMPBITS.assign(static_cast<size_t>(rowBytes) * d.BMPH, 0);

    WINCLC(k);
    BIHSET(k);
    IMGSHURNK(k);

    PaneBitmap bitmap;
    bitmap.left = d.OX[view];
    bitmap.top = d.OY[view];
    bitmap.width = d.BMPW;
    bitmap.height = d.BMPH;
    bitmap.rowBytes = rowBytes;
    bitmap.bits = d.BMPBITS.data();
    bitmap.paneWidth = d.DISPW;
    bitmap.paneHeight = d.DISPH;
    k.host.blitPane(view, bitmap);

    d.VIEWCX[view] = static_cast<int16_t>(roundHalfEven(ws.VIEWXS[view] / 2.0 + ws.VIEWX0[view]));
    d.VIEWCY[view] = static_cast<int16_t>(roundHalfEven(ws.VIEWYS[view] / 2.0 + ws.VIEWY0[view]));
    d.DSPD[view] = 1;
    SHDRAW(k, 0);
    k.host.DoEvents();
}

} // namespace vantry
