#pragma once

#include "korvelf.h"

namespace vantry {

/// Pitch of the result boxes (Ave, Aveb, SDb, SNRb, CNR) in pixels: room for "-32768.00", a 16-bit
/// mean with two decimals; the gap between two boxes; the narrowest pitch a small window gets
/// (the shell then shrinks their font until the text fits).
constexpr double kResultPitch = 60;
constexpr double kResultGap = 2;
constexpr double kResultPitchMin = 30;

/// Places the five result boxes of both rows at one pitch (kResultPitch, less when a row would
/// reach `leftRowEnd` or `rightRowEnd`): the left row from its design position, the right row from
/// `rightRowLeft`; the labels above them span the five boxes.
void placeResultBoxes(KorvelfForm& f, double rightRowLeft, double leftRowEnd, double rightRowEnd);

/// Layout step after the window is shown or resized: places the two panes side by side and the
/// window and result boxes, takes DISPW / DISPH from the right pane's inner size, rebuilds the
/// bitmap header, frames the left pane and starts the 300 ms redraw timer. A window lower than
/// 500 twips (minimised) changes nothing. Works on the outer size form.Width x form.Height.
void Form_Resize(Korvelf& k);

} // namespace vantry
