#pragma once
// The window width and level boxes of each view and the "Posi" and "W-sync" check boxes.

#include "korvelf.h"

namespace vantry {

constexpr int kKeyUp = 38;
constexpr int kKeyDown = 40;

/// Double-click on either window box of `view`: the view becomes current and both boxes are
/// applied (WW from WWTX, WL from WCTX), then the view is redisplayed. A box without a number, or
/// with one outside the 16-bit range, keeps its previous value and shows it again.
void WWTX_DblClick(Korvelf& k, int view);
void WCTX_DblClick(Korvelf& k, int view);
/// Up (38) / Down (40) in a box: its text plus or minus 200 becomes the value, shown without a
/// blank, then redisplay. Other keys only make the view current. A step past the 16-bit range,
/// or a box without a number, keeps the previous value.
void WWTX_KeyDown(Korvelf& k, int view, int keyCode);
void WCTX_KeyDown(Korvelf& k, int view, int keyCode);
/// Typing in the level box does nothing until it is applied.
void WCTX_Change(Korvelf& k, int view);
/// "Posi": positive (checked) or negative display of the current view, when it holds an image.
void POSICK_Click(Korvelf& k);
/// "W-sync": when view 0 and the current view hold images, a dragged window is copied across.
void WSYNCK_Click(Korvelf& k);

} // namespace vantry
