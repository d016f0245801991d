#pragma once
// Chart frames: axes, grid and labels.

#include "vylsf.h"

namespace vantry {

/// kind 0: the MTF chart frame in the coordinate system the caller set (XMAX, YMAX set too);
/// kind 1: the NNPS chart frame, which clears the window and sets its own coordinate system.
/// Other kinds draw nothing.
void AXDRAW(Vylsf& v, int kind);

} // namespace vantry
