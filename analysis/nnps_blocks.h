#pragma once
// The block loop of the noise spectrum (RADINPS) in its readings: the power of every spectrum
// position summed over the blocks and binned once, and the line-by-line reading of each block,
// kept as the reference the summed reading is measured against.

#include "vylsf.h"

#include <string>

namespace vantry {

/// How RADINPS goes through the blocks. All readings give the same NPSBIN[0 .. NBINS] and NPSSUM
/// within 1e-5 relative, the same NPSCNT, captions, yields and ROI copy in ROIDAT. The summed
/// readings leave NPSRE, NPSIM, NPSFIT and NPSBIN above NBINS zero, where the line-by-line
/// reading leaves the last block's transform, fit and bin sums.
enum class NpsReading {
    /// Detrended with the separable moment sums, transformed as real blocks, power summed per
    /// position over the blocks and binned once; AVX2 passes where the processor has them.
    Summed,
    /// The same with the portable passes, on any processor (bit-identical to the AVX2 passes).
    SummedPortable,
    /// Every block through TREND2D, FFT2D256 (fft4, line by line) and its own bins, as written.
    LineByLine,
};

/// RADINPS with the given reading: refuses a ROI outside the image, an image without pitch and
/// a band outside 1 .. 128 lines; sets NFFT, NFFTBIT and the trigonometric tables; copies the ROI
/// to ROIDAT; runs the blocks with a progress caption and a yield each. The result is in
/// NPSBIN[0 .. NBINS] (NPSSUM holds the sums over the blocks, NPSCNT the samples of a block per
/// bin). Returns an empty text, or why the ROI gives no spectrum.
std::string radinpsWith(Vylsf& v, int raw, NpsReading reading);

/// True when NpsReading::Summed runs the AVX2 passes on this processor.
bool npsSummedUsesAvx2();

} // namespace vantry
