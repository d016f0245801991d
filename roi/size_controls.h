#pragma once
// The ROI size boxes, their label, and the "option" and "Measure" buttons.

#include "korvelf.h"

namespace vantry {

/// A click on the width box: a size on the grid (a multiple of 256, or 128) steps to the next one
/// (128, 256, 512, ... 1792, then 128 again); another size snaps to the nearest multiple of 256
/// (128 for 0). The box shows the new width and the ROI takes it. A box without a number, or a
/// result that is not a positive 16-bit size, keeps the previous width.
void ROIXSZTX_Click(Korvelf& k);
/// The same for the height box.
void ROIYSZTX_Click(Korvelf& k);
/// The label: the ROI takes both boxes as typed, without snapping; a box that is not a positive
/// 16-bit size keeps its previous value and shows it again.
void ROILBL_Click(Korvelf& k);
/// "option": no action.
void SAMEROI_Click(Korvelf& k);
/// "Measure": shows the analysis window when the current view holds an image.
void MEASUREGO_Click(Korvelf& k);

} // namespace vantry
