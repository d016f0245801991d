#include "window_events.h"

#include "axdraw.h"
#include "esf.h"
#include "lsf.h"
#include "mtf_chart.h"
#include "nnps_chart.h"
#include "numtext.h"

#include <cmath>

namespace vantry {

void CLRSCREEN(Vylsf& v)
{
    v.canvas().cls();
}

void CENADJ_Click(Vylsf& v, int index)
{
    VylsfRecord& r = v.r;
    switch (r.DSPMODE) {
    case 1: {
        const float step = v.form().FINESTP.Value == 1 ? 0.001f : 0.004f;
        if (index == 0) r.EDGESLOPE -= step;
        if (index == 1) r.EDGESLOPE += step;
        CESFDSP(v);
        // The tilt the reprojection now uses, which the chart itself does not show.
        v.form().Caption = "Shift = " + fixed(r.EDGESLOPE, 3);
        break;
    }
    case 2:
        // The limits are applied in this order whatever the button.
        if (index == 0) r.LSFWID /= 2;
        if (r.LSFWID < 2) r.LSFWID = 2;
        if (index == 1) r.LSFWID *= 2;
        if (r.LSFWID > static_cast<float>(r.NLSF) * r.BINW) r.LSFWID = static_cast<float>(r.NLSF) * r.BINW;
        if (index == 2) r.LSFYSC /= 2;
        if (r.LSFYSC < 0.025f) r.LSFYSC = 0.025f;
        if (index == 3) r.LSFYSC *= 2;
        if (r.LSFYSC > 2) r.LSFYSC = 2;
        LSFDSP(v);
        break;
    case 3:
        if (index == 2) r.YMAX -= 0.1f;
        if (index == 3) r.YMAX += 0.1f;
        MTFDSP(v, 0);
        break;
    case 4:
        if (index == 2) r.LOGBASE -= 1;
        if (index == 3) r.LOGBASE += 1;
        AXDRAW(v, 1);
        WSDSP(v, 0);
        break;
    default:
        break;
    }
}

void LOGLSFCK_Click(Vylsf& v)
{
    if (v.r.LSF.empty()) return;
    LSFDSP(v);
}

void Form_MouseDown(Vylsf& v, int button, int /*shift*/, double x, double y)
{
    // The right button opens the chart's menu; only the left one reads the chart.
    if (v.r.DSPMODE != 4 || button != 1) return;
    // The power in exponent form: a fixed format shows every normalised spectrum as 0.00.
    v.form().Caption = fixed2(x) + " " + exponentText(std::pow(10.0, v.r.LOGBASE + y), 2);
}

} // namespace vantry
