#pragma once
// The noise power spectrum of a flat field: 256 x 256 blocks, detrended, transformed and
// averaged in radial bins (or in the bands next to one axis).

#include "noise_basics.h"
#include "vylsf.h"

#include <string>
#include <vector>

namespace vantry {

/// Menu "1D-NNPS": asks the direction and the number of lines next to the axis, then NNPSCLC.
void NNPS1D_Click(Vylsf& v);
/// Menu "2D-NNPS": the radial normalised spectrum.
void NNPS2D_Click(Vylsf& v);
/// Menu "2D-NPS": the radial spectrum without normalisation.
void NPS2D_Click(Vylsf& v);
/// The normalised spectrum of the ROI: computed, stored under a data number, put on the
/// clipboard and drawn; DSPMODE 4. A ROI or spectrum the method cannot use gets a message and
/// stores nothing.
void NNPSCLC(Vylsf& v);
/// The same without normalising the blocks by their means.
void NPSCLC(Vylsf& v);
/// NNPSCLC (raw = 0) or NPSCLC (raw = 1) with NPSU, NPSV and NPSDIR as set, over the same ROI of
/// the current image and of `others` (images of the same size): the stored curve is the mean over
/// all their blocks. Does nothing unless the ROI is a whole number of blocks, like the menu.
void nnpsOverImages(Vylsf& v, int raw, const std::vector<ImageBuffer>& others);
/// The block loop over the current view's ROI (raw = 0 divides each block by its mean); the
/// result in NPSBIN[0 .. NBINS]. Returns an empty text, or why the ROI gives no spectrum.
std::string RADINPS(Vylsf& v, int raw);
/// Fits the quadratic surface of NPSRE into NPSFIT and subtracts it from NPSRE.
void TREND2D(Vylsf& v);
/// In-place 256 x 256 transform of NPSRE, NPSIM: every row, then every column, with fft4.
void FFT2D256(Vylsf& v, int sign);

} // namespace vantry
