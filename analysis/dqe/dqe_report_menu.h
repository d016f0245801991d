#pragma once
// "DQE" > "Report...": the IEC-style DQE of two stored precise MTF curves (an H and a V edge) and
// the last "IEC NNPS", written as a PDF report.

#include "vylsf.h"

namespace vantry {

/// The image of view `view` as a report names it: file, preset, pitch and where it came from,
/// and the view's ROI.
ReportFile curveSource(const Vylsf& v, int view);

/// Menu "Report...": asks the data numbers of the H and the V precise MTF, the beam, edition, q
/// and kerma as "DQE calc." does, then where to save; pairs each direction's MTF with the last
/// "IEC NNPS" of the same direction and writes the report. Anything unusable gets a message and
/// writes nothing.
void DQEREPORT(Vylsf& v);

} // namespace vantry
