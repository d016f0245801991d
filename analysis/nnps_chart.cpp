#include "nnps_chart.h"

#include "axdraw.h"
#include "mtf_chart.h"
#include "nnps.h"
#include "numtext.h"
#include "spline.h"

#include <cmath>

namespace vantry {

void WSDSP(Vylsf& v, int ask)
{
    VylsfRecord& r = v.r;
    VylsfForm& form = v.form();
    // The decades are moved with "^" and "v" on this chart, so those two stay at hand.
    form.CENADJ[0].Visible = form.CENADJ[1].Visible = false;
    form.CENADJ[2].Visible = form.CENADJ[3].Visible = true;
    form.FINESTP.Visible = form.LOGLSFCK.Visible = false;
    const std::vector<int32_t> list = chartSelection(v, ask);
    AXDRAW(v, 1);
    Canvas& c = v.canvas();
    const double xmax = r.XMAX, ymax = r.YMAX;
    for (const int32_t curve : list) {
        const int32_t npts = r.NPSNUM[curve];
        if (npts > 3) {
            WorkingCurve& w = v.curve;
            std::array<float, kCurvePoints> shifted{};
            for (int32_t i = 0; i < npts; ++i) shifted[i] = r.NPSVAL[curve][i] - r.LOGBASE;
            loadWorkingCurve(w, r.NPSFRQ[curve].data(), shifted.data(), npts);
            const int colour = r.COLTAB[curve];
            c.setDrawWidth(2);
            for (int32_t i = 0; i < npts && w.CURVEX[i] <= r.NFMAX; ++i) {
                const float x = w.CURVEX[i];
                const float y = splineAt(w, x);
                if (i == 0) c.point(x, y, colour);
                c.line(c.currentX(), c.currentY(), x, y, colour);
            }
            const double row = 0.95 * ymax - 0.08 * ymax * curve;
            c.line(0.68 * xmax, row, 0.75 * xmax, row, colour);
            c.setCurrentPosition(c.currentX(), c.currentY() + 0.1);
            c.print("  " + r.DATALBL[curve], false);
        }
        c.setDrawWidth(1);
    }
}

void NPSCOMP_Click(Vylsf& v)
{
    v.r.DSPMODE = 4;
    WSDSP(v, 1);
}

void NPSCLIP_Click(Vylsf& v)
{
    VylsfRecord& r = v.r;
    const auto slot = askStoredCurve(v, "Data No.=", r.NPSNUM);
    if (!slot) return;
    const auto rows = tableRows(v, r.NFMAX, r.NFINT);
    if (!rows) return;
    loadWorkingCurve(v.curve, r.NPSFRQ[*slot].data(), r.NPSVAL[*slot].data(), r.NPSNUM[*slot]);
    std::string text = "\t" + r.DATALBL[*slot] + "\r\n";
    for (int32_t i = 1; i <= *rows - 1; ++i) {
        const float f = static_cast<float>(i) * r.NFINT;
        const double value = std::pow(10.0, static_cast<double>(splineAt(v.curve, f)));
        // Far beyond the stored points the last cubic of the logarithm runs away.
        if (!(value < 1e30)) {
            v.host().MsgBox("At " + fixed2(f) + " cycles/mm the curve extrapolated beyond its last point (" +
                            fixed2(r.NPSFRQ[*slot][r.NPSNUM[*slot] - 1]) +
                            ") has no sensible value: lower Freq max in \"Setting\".");
            return;
        }
        text += fixed2(f) + "\t" + noiseText(value, 8) + "\r\n";
    }
    v.host().setClipboardText(text);
}

} // namespace vantry
