#include "magnification.h"

#include "imgdsp.h"
#include "numtext.h"

#include <algorithm>
#include <cmath>

namespace vantry {
namespace {

void showMagnified(Korvelf& k, float mag)
{
    const int view = k.ws.CURSLOT;
    int16_t vw = 0, vh = 0;
    MAGCLC(k, mag, vw, vh);
    k.ws.VIEWXS[view] = vw;
    k.ws.VIEWYS[view] = vh;
    k.ws.MAGF[view] = mag;
    IMGDSP(k);
}

} // namespace

void MAGCLC(Korvelf& k, float mag, int16_t& vw, int16_t& vh)
{
    Workspace& ws = k.ws;
    const int view = ws.CURSLOT;
    const double xsz = ws.XSZ[view], ysz = ws.YSZ[view];
    if (xsz <= 0 || ysz <= 0 || k.disp.DISPW <= 0 || k.disp.DISPH <= 0 || !(mag > 0)) {
        vw = static_cast<int16_t>(ws.VIEWXS[view]);
        vh = static_cast<int16_t>(ws.VIEWYS[view]);
        return;
    }
    const auto ai = static_cast<float>(xsz / ysz);
    const auto ab = static_cast<float>(static_cast<double>(k.disp.DISPW) / k.disp.DISPH);
    if (ai <= ab) {
        const double t = ysz / (xsz / ab);
        vh = round16Clamped(ysz / mag);
        vw = mag <= t ? static_cast<int16_t>(xsz) : round16Clamped(vh * static_cast<double>(ab));
    } else {
        const double t = xsz / (static_cast<double>(ab) * ysz);
        vw = round16Clamped(xsz / mag);
        vh = mag <= t ? static_cast<int16_t>(ysz) : round16Clamped(vw / static_cast<double>(ab));
    }
    if (vw > xsz) vw = static_cast<int16_t>(xsz);
    if (vh > ysz) vh = static_cast<int16_t>(ysz);
    int32_t x0 = round16Clamped(k.disp.VIEWCX[view] - vw / 2.0);
    int32_t y0 = round16Clamped(k.disp.VIEWCY[view] - vh / 2.0);
    if (x0 < 0) x0 = 0;
    if (y0 < 0) y0 = 0;
    if (x0 > xsz - vw) x0 = static_cast<int32_t>(xsz) - vw;
    if (y0 > ysz - vh) y0 = static_cast<int32_t>(ysz) - vh;
    ws.VIEWX0[view] = x0;
    ws.VIEWY0[view] = y0;
}

void MAGHS_Change(Korvelf& k)
{
    showMagnified(k, static_cast<float>(k.form.MAGHS.Value / 2.0 + 1.0));
}

void P100_Click(Korvelf& k)
{
    const int view = k.ws.CURSLOT;
    if (k.disp.DISPW <= 0 || k.disp.DISPH <= 0) return;
    const double rx = static_cast<double>(k.ws.XSZ[view]) / k.disp.DISPW;
    const double ry = static_cast<double>(k.ws.YSZ[view]) / k.disp.DISPH;
    const auto mag = static_cast<float>(ry < rx ? rx : ry);
    k.disp.VIEWCX[view] = k.disp.PCX[view];
    k.disp.VIEWCY[view] = k.disp.PCY[view];
    showMagnified(k, mag);
}

void REDISP_Click(Korvelf& k)
{
    const int view = k.ws.CURSLOT;
    k.ws.VIEWX0[view] = 0;
    k.ws.VIEWY0[view] = 0;
    k.ws.VIEWXS[view] = k.ws.XSZ[view];
    k.ws.VIEWYS[view] = k.ws.YSZ[view];
    k.ws.MAGF[view] = 1.0f;
    IMGDSP(k);
}

void PSYNCCK_Click(Korvelf& k)
{
    if (k.ws.LOADED[0] != 1 || k.ws.LOADED[k.ws.CURSLOT] != 1) return;
    k.disp.PSYNC = k.form.PSYNCCK.Value != 0 ? 1 : 0;
}

} // namespace vantry
