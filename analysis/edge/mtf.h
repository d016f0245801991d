#pragma once
// The MTF: the modulus of the LSF's Fourier transform at the requested frequencies.

#include "vylsf.h"

#include <optional>
#include <vector>

namespace vantry {

/// Menu "MTF calc." (DSPMODE 2 only): asks the frequency range and the data number, stores the
/// curve, puts its values on the clipboard and draws the MTF chart; DSPMODE 3.
void MTFCLC(Vylsf& v);

/// The prompts "Freq. max=" (clamped to 1 .. 5) and "Fint=" (0.01 .. 0.3) into FMAX and FINT;
/// the number of points, FMAX / FINT rounded, plus 1.
int32_t askMtfGrid(Vylsf& v);

/// The prompt "Data No.=" for a curve labelled CURVELBL: the number rounded and held to 1 .. 7
/// becomes DATANO and LASTMTFNO, the label goes to its slot; the slot, or nothing when cancelled
/// (storing nothing: under 1 it would overwrite the first curve).
std::optional<size_t> askMtfSlot(Vylsf& v);

/// One message box with the last edge's warnings (EDGEWARN) and the curve's own (an MTF above
/// 1.05 below half the Nyquist frequency), one "warning ..." line each; nothing when there are
/// none. The curve stays stored.
void showEdgeWarnings(Vylsf& v, const std::vector<double>& freq, const std::vector<double>& mtf);

/// One message box with the warnings, one line each; nothing when there are none.
void showWarnings(Host& host, const std::vector<std::string>& warnings);

/// |sum over k of lsf[k] exp(-i pi2 f k binw)| for f = n fint, n = 0 .. npts - 1: the direct
/// transform of the LSF samples lsf[0 .. count-1] (bin width binw mm) at npts frequencies.
std::vector<double> lsfTransformModulus(const float* lsf, int32_t count, float pi2, float binw,
                                        float fint, int32_t npts);

} // namespace vantry
