#pragma once

#include "korvelf.h"

namespace vantry {

/// The delayed redraw after a resize: redisplays the current view when it holds an image, then
/// the timer stops itself.
void Timer1_Timer(Korvelf& k);

} // namespace vantry
