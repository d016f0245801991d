#pragma once

#include "korvelf.h"

namespace vantry {

/// Start-up of the workspace window: start values, tables, the kernel probe, the ROI shapes, the
/// caption and the detector list from programFolder. On a missing kernel library, entry point or
/// list file it shows a message naming it and returns false; the program then ends.
bool Form_Load(Korvelf& k);

/// Closing the workspace closes the analysis window too, so the program ends; nothing is saved.
void Form_Unload(Korvelf& k);

} // namespace vantry
