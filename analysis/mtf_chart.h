#pragma once
// The MTF chart of the stored curves, their comparison and the clipboard table.

#include "vylsf.h"

#include <string_view>
#include <vector>

namespace vantry {

/// Curve indexes (data number - 1) named by a selection text: "3", "2-4", "2,4,5". Indexes are not
/// checked against the store here; a range yields at most 8 of them.
std::vector<int32_t> SELPARSE(std::string_view text);
/// Draws the MTF chart: the curves 1 .. DATANO (ask = 0) or a selection asked for (ask != 0),
/// resampled every 0.01 cycles/mm, with their legends.
void MTFDSP(Vylsf& v, int ask);
/// Menu "Compare_MTF": the MTF chart of a selection; DSPMODE 3.
void COMPMTF(Vylsf& v);
/// Menu "Clip MTF": one stored curve on the clipboard, resampled every FINT up to FMAX.
void CLIPMTF(Vylsf& v);

} // namespace vantry
