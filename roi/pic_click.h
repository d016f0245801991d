#pragma once

#include "korvelf.h"

namespace vantry {

/// A click on pane `index` makes it the current view: the frame moves to it, the ROI size boxes
/// show its ROI, and when it holds an image its preset entry is selected and loaded again.
void PIC_Click(Korvelf& k, int index);

} // namespace vantry
