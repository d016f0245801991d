#pragma once
// Chart frames: axes, grid and labels.

#include "vylsf.h"

namespace vantry {

/// kind 0: the MTF chart frame in the coordinate system the caller set (XMAX, YMAX set too);
/// kind 1: the NNPS chart frame, which clears the window and sets its own coordinate system.
/// Other kinds draw nothing.
void AXDRAW(Vylsf& v, int kind);
/// The spacing of the NNPS chart's frequency grid: every whole cycle/mm from 2 cycles/mm of Freq
/// max up, finer below so a short axis still has grid lines to read values off.
double nnpsGridStep(double xmax);

} // namespace vantry
