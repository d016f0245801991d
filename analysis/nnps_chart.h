#pragma once
// The NNPS chart of the stored noise curves, their comparison and the clipboard table.

#include "vylsf.h"

namespace vantry {

/// Draws the NNPS chart: the curves 1 .. DATANO (ask = 0) or a selection asked for (ask != 0),
/// the stored points joined up to NFMAX, with their legends.
void WSDSP(Vylsf& v, int ask);
/// Menu "Compare_NNPS": the NNPS chart of a selection; DSPMODE 4.
void NPSCOMP_Click(Vylsf& v);
/// Menu "Clip NNPS ": one stored noise curve on the clipboard, resampled every NFINT below NFMAX and
/// never beyond the Nyquist frequency of the curve's pitch; the rows stop (with a warning) before
/// the first one where the curve extrapolated past its points runs away (a value that is not
/// finite or lies more than three decades outside the range of the curve's points).
void NPSCLIP_Click(Vylsf& v);

} // namespace vantry
