#pragma once
// Which region of the current view is shown: magnification steps, "100%", "Fit", position sync.

#include "korvelf.h"

namespace vantry {

/// Size of the shown region of view CURSLOT at magnification mag (1 = the whole image fitted),
/// into vw / vh, and a new VIEWX0 / VIEWY0 that keep the centre VIEWCX / VIEWCY, clamped to the
/// image. The caller stores vw / vh into VIEWXS / VIEWYS.
void MAGCLC(Korvelf& k, float mag, int16_t& vw, int16_t& vh);

/// The magnification scroll bar: 1.0 at 0, steps of 0.5.
void MAGHS_Change(Korvelf& k);
/// "100%": one image pixel per pane pixel, centred on the last clicked point.
void P100_Click(Korvelf& k);
/// "Fit": the whole image of the current view.
void REDISP_Click(Korvelf& k);
/// "Pos-sync": when view 0 and the current view hold images, a dragged region is copied across.
void PSYNCCK_Click(Korvelf& k);

} // namespace vantry
