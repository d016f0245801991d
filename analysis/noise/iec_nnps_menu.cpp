#include "iec_nnps_menu.h"

#include "curve_numbers.h"
#include "measured_from.h"
#include "dqe_report_menu.h"
#include "iec_nnps.h"
#include "mtf.h"
#include "nnps_chart.h"
#include "numtext.h"
#include "prompts.h"
#include "spline.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vantry {
void IECNNPS(Vylsf& v)
{
    Workspace& ws = v.k.ws;
    const int view = ws.CURSLOT;
    if (ws.LOADED[view] != 1) return;
    VylsfRecord& r = v.r;
    Host& host = v.host();
    const RoiRecord& roi = v.k.roi[view];
    const ImageBuffer& img = ws.IMG[view];
    const double pitch = ws.PIXMM[view];

    const auto typed = host.InputBox("Conversion (linear:S,I  log:S,I  none) = ", r.IECCONV);
    if (!typed) return;
    IecNnpsOptions options;
    const std::string text = *typed;
    if (text.find_first_not_of(' ') != std::string::npos && text != "none") {
        std::string error;
        const auto f = parseConversion(text, error);
        if (!f) {
            host.MsgBox("The conversion \"" + text + "\" is not linear:S,I, log:S,I or none: nothing was measured.");
            return;
        }
        options.conversion = *f;
    }
    options.fint = r.NFINT;
    options.fmax = pitch > 0 ? std::min<double>(r.NFMAX, 1 / (2 * pitch)) : r.NFMAX;
    IecNnpsResult result = measureIecNnps({{img.pixels.data(), img.width, img.height}},
                                          {roi.ROIX, roi.ROIY, roi.ROIW, roi.ROIH}, pitch, options);
    if (!result.error.empty()) {
        host.MsgBox(result.error);
        return;
    }
    if (result.freq.size() < 4 || result.freq.size() > static_cast<size_t>(kCurvePoints)) {
        host.MsgBox("The IEC NNPS has " + std::to_string(result.freq.size()) +
                    " frequencies; a stored curve holds 4 to " + std::to_string(kCurvePoints) +
                    ": change the noise \"Setting\".");
        return;
    }
    r.IECCONV = options.conversion.text();
    r.IECSOURCE = curveSource(v, view);

    // H under the number typed, V under the next: so H takes 1 .. 6, and the first pair of free
    // numbers is offered.
    int16_t offered = 6;
    for (int16_t d = 1; d <= 6; ++d) {
        const bool taken = holdsCurve(r, CurveKind::Mtf, d) || holdsCurve(r, CurveKind::Nnps, d) ||
                           holdsCurve(r, CurveKind::Mtf, d + 1) || holdsCurve(r, CurveKind::Nnps, d + 1);
        if (!taken) {
            offered = d;
            break;
        }
    }
    const auto number = askNumberOrCancel(host, "Data No. of H (V the next)= ", plainNumber(static_cast<double>(offered)));
    if (!number) return;
    const auto d = static_cast<int16_t>(std::clamp(nearestInt(*number, *number < 0 ? 1 : 6), 1, 6));
    for (int16_t e = d; e <= d + 1; ++e) {
        if (holdsCurve(r, CurveKind::Mtf, e) || holdsCurve(r, CurveKind::Nnps, e)) {
            if (host.MsgBoxYesNoCancel(replaceQuestion(r, e)) != MsgBoxAnswer::Yes) return;
        }
    }
    dropOtherKind(r, CurveKind::Nnps, d);
    dropOtherKind(r, CurveKind::Nnps, d + 1);
    const auto npts = static_cast<int16_t>(result.freq.size());
    for (int dir = 0; dir < 2; ++dir) {
        const size_t slot = static_cast<size_t>(d - 1 + dir);
        const std::vector<double>& values = dir == 0 ? result.nnpsH : result.nnpsV;
        for (int16_t i = 0; i < npts; ++i) {
            r.NPSFRQ[slot][i] = static_cast<float>(result.freq[i]);
            r.NPSVAL[slot][i] = static_cast<float>(std::log10(values[i]));
        }
        r.NPSNUM[slot] = npts;
        r.NPSRAW[slot] = 0;
        r.DATALBL[slot] = ws.PRESETNAME[view] + (dir == 0 ? " H IEC" : " V IEC");
        r.NPSPITCH[slot] = static_cast<float>(pitch);
        r.NPSFROM[slot] = measuredFrom(v, view, r.DATALBL[slot], "IEC NNPS",
                                       {{"direction", dir == 0 ? "H" : "V"},
                                        {"conversion", r.IECCONV},
                                        {"ROIs", std::to_string(result.rois)},
                                        {"NFMAX", settingText(options.fmax)},
                                        {"NFINT", settingText(options.fint)}});
    }
    std::string clip = r.DATALBL[static_cast<size_t>(d - 1)] + "\r\nf (1/mm)\tNNPS H\tNNPS V\tSE H\tSE V\r\n";
    for (size_t i = 0; i < result.freq.size(); ++i) {
        clip += fixed2(static_cast<float>(result.freq[i])) + "\t" + exponentText(result.nnpsH[i], 4) + "\t" +
                exponentText(result.nnpsV[i], 4) + "\t" + exponentText(result.seH[i], 4) + "\t" + exponentText(result.seV[i], 4) +
                "\r\n";
    }
    host.setClipboardText(clip);
    r.DATANO = d;
    r.LASTNPSNO = d;
    r.CURVESCHANGED = 1;
    VylsfForm& form = v.form();
    for (Control& b : form.CENADJ) b.Visible = false;
    form.FINESTP.Visible = false;
    WSDSP(v, 0, DecadeFit::ToCurves);
    r.DSPMODE = 4;
    r.NPSLAST = 1;
    form.Caption = r.DATALBL[static_cast<size_t>(d - 1)] + " and V: " + std::to_string(result.rois) + " ROIs, " +
                   std::to_string(result.independentPixels) + " independent pixels";
    r.IECNPS = std::move(result);
    showWarnings(host, r.IECNPS.warnings);
}

} // namespace vantry
