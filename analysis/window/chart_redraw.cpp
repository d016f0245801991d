#include "chart_redraw.h"

#include "dqe.h"
#include "esf.h"
#include "lsf.h"
#include "mtf_chart.h"
#include "nnps_chart.h"

namespace vantry {

void REDRAWCHART(Vylsf& v)
{
    VylsfRecord& r = v.r;
    switch (r.DSPMODE) {
    case 1:
        if (!r.ESFIMG.empty()) CESFDSP(v);
        break;
    case 2:
        if (!r.LSF.empty()) LSFDSP(v);
        break;
    case 3:
        drawMtfChart(v, r.SHOWNMTF);
        break;
    case 4:
        drawNnpsChart(v, r.SHOWNNPS);
        break;
    case kDqeMode:
        DQEDSP(v);
        break;
    default:
        break;
    }
}

} // namespace vantry
