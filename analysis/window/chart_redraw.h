#pragma once
// Drawing the chart on display again, for a window that changed its size.

#include "vylsf.h"

namespace vantry {

/// Draws what DSPMODE shows again from the stored state: the ESF reprojection, the LSF, the MTF
/// or NNPS chart of the curves they last showed (same decades and y range), or the DQE chart.
/// Asks nothing and changes no setting; mode 0 draws nothing.
void REDRAWCHART(Vylsf& v);

} // namespace vantry
