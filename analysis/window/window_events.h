#pragma once
// The analysis window's own events: clearing, the arrow buttons, the log box, the mouse read-out.

#include "vylsf.h"

namespace vantry {

/// Menu "CLS": erases the whole drawing surface; no state changes.
void CLRSCREEN(Vylsf& v);
/// Arrow button `index` (0 "<", 1 ">", 2 "^", 3 "v"): nudges what DSPMODE shows and redraws it;
/// does nothing in a mode with nothing to adjust.
void CENADJ_Click(Vylsf& v, int index);
/// The "Log" box: redraws the LSF (once there is one).
void LOGLSFCK_Click(Vylsf& v);
/// Mouse press at (x, y) in chart units; on the NNPS chart the caption reads the frequency and the
/// noise power there. Button and shift state are not examined.
void Form_MouseDown(Vylsf& v, int button, int shift, double x, double y);

} // namespace vantry
