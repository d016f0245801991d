#pragma once

#include "korvelf.h"

namespace vantry {

/// The delayed redraw after a resize: the timer stops itself on its first tick.
void Timer1_Timer(Korvelf& k);

} // namespace vantry
