#pragma once

#include "korvelf.h"

namespace vantry {

/// Displays view CURSLOT when it holds an image: fits the shown region into the pane keeping its
/// aspect, recomputes the display table, renders the region into the 8-bit bitmap, blits it
/// centred over the dark grey pane, refreshes the region's centre and draws the ROI shapes.
void IMGDSP(Korvelf& k);

/// Renders the shown region of view CURSLOT into BMPBITS through its display table with li2bmp,
/// then sets PXS and the caption "screen pixels per image pixel, cycles/mm at Nyquist, encoding".
void IMGSHURNK(Korvelf& k);

} // namespace vantry
