#pragma once
// The block loop of the noise spectrum (RADINPS): the power of every spectrum position summed over
// the blocks and binned once, with AVX2 or portable passes.

#include "vylsf.h"

#include <string>

namespace vantry {

/// How RADINPS goes through the blocks. Both readings give bit-identical results; they leave
/// NPSRE, NPSIM, NPSFIT and NPSBIN above NBINS zero. (The tests hold a line-by-line reading of
/// each block through TREND2D and FFT2D256 that agrees within 1e-5 relative.)
enum class NpsReading {
    /// Detrended with the separable moment sums, transformed as real blocks, power summed per
    /// position over the blocks and binned once; AVX2 passes where the processor has them.
    Summed,
    /// The same with the portable passes, on any processor (bit-identical to the AVX2 passes).
    SummedPortable,
};

/// RADINPS with the given reading: refuses a ROI outside the image, an image without pitch and
/// a band outside 1 .. 128 lines; sets NFFT, NFFTBIT and the trigonometric tables; copies the ROI
/// to ROIDAT; runs the blocks with a progress caption and a yield each. The result is in
/// NPSBIN[0 .. NBINS] (NPSSUM holds the sums over the blocks, NPSCNT the samples of a block per
/// bin). Returns an empty text, or why the ROI gives no spectrum.
std::string radinpsWith(Vylsf& v, int raw, NpsReading reading);

/// What every reading starts with: the refusals (ROI outside the image, no pitch, band outside
/// 1 .. 128, a dark ROI for a normalised spectrum), NFFT, NFFTBIT, the trigonometric tables, room
/// for ROIDAT and zeroed block arrays. Returns why the ROI gives no spectrum, or an empty text.
std::string prepareRadinps(Vylsf& v, int raw);
/// Why a binned spectrum NPSBIN[1 .. NBINS] holds no noise (a bin without samples or power), or an
/// empty text.
std::string noPowerRefusal(const VylsfRecord& r);
/// The block caption "b/last" and a yield to the event queue.
void showBlockProgress(Vylsf& v, int32_t b, int32_t blocks);

/// True when NpsReading::Summed runs the AVX2 passes on this processor.
bool npsSummedUsesAvx2();

} // namespace vantry
