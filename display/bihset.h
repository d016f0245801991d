#pragma once

#include "korvelf.h"

namespace vantry {

/// Fills BMPINFO: a 40-byte bitmap header for a BMPW x BMPH 8-bit bottom-up bitmap, then the 256
/// grey colour entries (i, i, i, 0).
void BIHSET(Korvelf& k);

} // namespace vantry
