#pragma once
// Statistics under the ROI of the current pane: the gesture measurement and the two buttons.

#include "korvelf.h"

namespace vantry {

/// Measures the gesture window (ROIW x ROIH pixels at ROIX, ROIY) of pane CURSLOT: mean, population
/// deviation, contrast and CNR against the previous measurement, shown in the caption and put on
/// the clipboard as five lines. Only the part of the window inside the image is read; when none
/// is, a message says so and nothing changes. A zero deviation or mean reports 0.00 for the
/// figure that would divide by it.
void ROICLC(Korvelf& k);
/// "ROI": the mean of the button window ((ROIW+1) x (ROIH+1) pixels) into AVE1TX of the pane.
void ROI1SET_Click(Korvelf& k);
/// "ROI back": background mean and deviation of the button window into AVE2TX and SDTX; when the
/// deviation is positive, CNR and SNR from the rounded box texts into CNRTX and SNRTX.
void ROI2SET_Click(Korvelf& k);
/// Any change of VAL1TX shows the last ROI mean with one decimal instead.
void VAL1TX_Change(Korvelf& k);

} // namespace vantry
