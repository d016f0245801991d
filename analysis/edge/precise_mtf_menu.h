#pragma once
// "Precise MTF...": the precise edge method run on the current view's ROI in one step, its curve
// stored with its standard errors beside the written method's curves.

#include "vylsf.h"

namespace vantry {

/// Menu "Precise MTF...": asks "Freq. max=" and "Fint=" (clamped as "MTF calc." clamps them),
/// measures the edge in the current view's ROI with measurePreciseMtf, and on success asks
/// "Data No.=", stores the curve with its standard errors under the label of the preset, the
/// direction and " P", puts a frequency / MTF / standard error table on the clipboard, draws the
/// MTF chart (DSPMODE 3) and shows the warnings in one message. A refusal shows its cause and
/// stores nothing; the last result stays in PRECISE.
void PRECISEMTF(Vylsf& v);

} // namespace vantry
