#pragma once
// The edge spread function: the ROI across a tilted edge, the edge and its tilt, and the
// projection of every pixel onto the edge normal into bins of BINW mm.

#include "vylsf.h"

#include <string>

namespace vantry {

/// Menu "ESF reprojection": cuts the current view's ROI, finds the edge and its tilt, asks
/// " Shift = " for the tilt, bins and draws the scatter; DSPMODE 1. A ROI that cannot hold an
/// edge gets a message and changes nothing.
void DSPESF(Vylsf& v);
/// Rebuilds the bins for the current tilt and draws the scatter of every pixel against its
/// distance from the edge, yielding to the toolkit after each line.
void CESFDSP(Vylsf& v);

} // namespace vantry
