#include "precise_mtf_menu.h"

#include "measured_from.h"
#include "dqe_report_menu.h"
#include "mtf.h"
#include "mtf_chart.h"
#include "numtext.h"
#include "prompts.h"

#include <algorithm>
#include <cmath>

namespace vantry {

void PRECISEMTF(Vylsf& v)
{
    Workspace& ws = v.k.ws;
    const int view = ws.CURSLOT;
    if (ws.LOADED[view] == 0) return;
    VylsfRecord& r = v.r;
    Host& host = v.host();
    const int32_t npts = askMtfGrid(v);

    const ImageBuffer& img = ws.IMG[view];
    const RoiRecord& roi = v.k.roi[view];
    // The grid of "MTF calc.": n FINT in single precision, as the store keeps it.
    PreciseMtfOptions options;
    options.fint = r.FINT;
    options.fmax = static_cast<double>(npts - 1) * r.FINT;
    PreciseMtfResult result = measurePreciseMtf(img.pixels.data(), img.width, img.height, roi.ROIX,
                                                roi.ROIY, roi.ROIW, roi.ROIH, ws.PIXMM[view], options);
    if (!result.error.empty()) {
        host.MsgBox(result.error);
        return;
    }
    if (result.freq.size() != static_cast<size_t>(npts)) {
        host.MsgBox("The precise method gave " + std::to_string(result.freq.size()) + " points instead of " +
                    std::to_string(npts) + ": nothing was stored.");
        return;
    }
    r.CURVELBL = ws.PRESETNAME[view] + result.dir + " P";
    const auto stored = askMtfSlot(v);
    if (!stored) return;
    const size_t slot = *stored;
    r.MTFNUM[slot] = static_cast<int16_t>(npts);
    r.MTFHASERR[slot] = 1;
    r.MTFPITCH[slot] = ws.PIXMM[view];
    r.MTFSOURCE[slot] = curveSource(v, view);
    r.MTFFROM[slot] = measuredFrom(v, view, r.DATALBL[slot], "precise",
                                   {{"edge", result.dir.empty() ? "" : result.dir.substr(1)},
                                    {"angle", fixed(result.angleDeg, 3)},
                                    {"FMAX", settingText(r.FMAX)},
                                    {"FINT", settingText(r.FINT)}});
    r.CURVESCHANGED = 1;
    std::string clip = r.DATALBL[slot] + "\r\nf (1/mm)\tMTF\tSE\r\n";
    for (int32_t n = 0; n < npts; ++n) {
        r.MTFFRQ[slot][n] = static_cast<float>(n) * r.FINT;
        r.MTFVAL[slot][n] = static_cast<float>(result.mtf[n]);
        r.MTFERR[slot][n] = static_cast<float>(result.se[n]);
        clip += fixed2(r.MTFFRQ[slot][n]) + "\t" + fixed(result.mtf[n], 5) + "\t" + fixed(result.se[n], 5) + "\r\n";
    }
    r.MTFSUM[slot] = summarizeMtf(r.MTFFRQ[slot].data(), r.MTFVAL[slot].data(), npts, ws.PIXMM[view]);
    host.setClipboardText(clip);
    r.YMAX = 1.0f;
    MTFDSP(v, 0);
    r.DSPMODE = 3;
    v.form().Caption = r.DATALBL[slot] + "  angle " + fixed(result.angleDeg, 3) + " deg";
    r.PRECISE = std::move(result);
    showWarnings(host, r.PRECISE.warnings);
}

} // namespace vantry
