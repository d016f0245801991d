#pragma once

#include "korvelf.h"

namespace vantry {

/// Recomputes the display table of view CURSLOT for the values -1024 .. 32767 from WW, WL and
/// POSI: a ramp from lo = round(WL - WW/2) to hi = round(WL + WW/2), rising for a positive and
/// falling for a negative display. Entries outside that range keep their start values.
void WINCLC(Korvelf& k);

} // namespace vantry
