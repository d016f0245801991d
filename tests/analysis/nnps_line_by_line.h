#pragma once
// The noise spectrum's block loop read line by line, as the method is written: every block
// through TREND2D, FFT2D256 (fft4 row by row, then column by column) and its own bins, in Single.
// Slow, and kept only as the reference the program's summed passes are measured against.

#include "vylsf.h"

#include <string>

namespace vantry {

/// RADINPS through the line-by-line reading: the same refusals, NPSBIN[0 .. NBINS], NPSSUM,
/// NPSCNT, captions, yields and ROIDAT as the summed reading (within 1e-5 relative), and it leaves
/// the last block's transform, fit and bin sums in NPSRE, NPSIM, NPSFIT and NPSBIN.
std::string radinpsLineByLine(Vylsf& v, int raw);

} // namespace vantry
