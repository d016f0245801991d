#pragma once

#include "korvelf.h"

namespace vantry {

/// Places the ROI shapes of pane CURSLOT. Mode 0 sizes the rectangle from the ROI record
/// (image pixels / PXS); mode 1 reads the record back from the rectangle and shows the size in
/// ROIXSZTX / ROIYSZTX; any mode then puts the two handles on the rectangle's corners.
void SHDRAW(Korvelf& k, int mode);

} // namespace vantry
