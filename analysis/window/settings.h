#pragma once
// The two settings dialogues of the analysis window.

#include "vylsf.h"

namespace vantry {

/// Menu "Setting" under "MTF": frequency range and step, bin width, ESF and LSF display widths,
/// each held to its range; repeats until the summary is answered Yes or Cancel.
void SETTING(Vylsf& v);
/// Menu "Setting" under "Noise": the NPS frequency range and step.
void SETNPS(Vylsf& v);

} // namespace vantry
