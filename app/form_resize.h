#pragma once

#include "korvelf.h"

namespace vantry {

/// Layout step after the window is shown or resized: places the two panes side by side and the
/// window and result boxes, takes DISPW / DISPH from the right pane's inner size, rebuilds the
/// bitmap header, frames the left pane and starts the 300 ms redraw timer. A window lower than
/// 500 twips (minimised) changes nothing. Works on the outer size form.Width x form.Height.
void Form_Resize(Korvelf& k);

} // namespace vantry
