#pragma once
// "Noise" > "IEC NNPS": the IEC-style NNPS of the current view's ROI, stored as an H and a V
// curve.

#include "vylsf.h"

namespace vantry {

/// Menu "IEC NNPS": the ROI is the analysis area (at least 256 x 256). Asks the conversion
/// function ("linear:S,I", "log:S,I" or "none") and the data number of the H curve; the V curve
/// goes under the next number. The grid is the noise "Setting" up to the Nyquist frequency.
/// Copies f, NNPS H, NNPS V and their standard errors to the clipboard, draws the NNPS chart and
/// shows the warnings. Anything unusable gets a message and stores nothing.
void IECNNPS(Vylsf& v);

} // namespace vantry
