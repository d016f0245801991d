#pragma once
// The line spread function: differentiation of the binned ESF, the V-filter, the centre search
// and the LSF display.

#include "vylsf.h"

#include <string>

namespace vantry {

/// Menu "ESF OK" (DSPMODE 1 only): bin means, forward difference, peak 1, optional V-filter,
/// LSF display; DSPMODE 2. An LSF the method cannot use gets a message and keeps DSPMODE 1.
void ESFOK(Vylsf& v);
/// Smooths the LSF by a Gaussian low-pass whose cut-off falls with the distance from the LSF
/// centre, passing `p` at the cut-off; the five central samples keep their values. Returns an
/// empty text, or why the LSF cannot be filtered (then the LSF is unchanged).
std::string VFILTER(Vylsf& v, float p);
/// Sets LSFCTR, the centre of the LSF peak from its flanks between 30 % and 70 %. Returns an
/// empty text, or why there is no such centre (then LSFCTR is unchanged).
std::string CENTER(Vylsf& v);
/// Draws the LSF over LSFWID mm, linear or (with the "Log" box) in decades.
void LSFDSP(Vylsf& v);

} // namespace vantry
