#pragma once

#include "korvelf.h"

namespace vantry {

/// The prompt of the "Mirror Flip" button.
inline constexpr const char* kFlipPrompt = "0..mirror 1..flip = 2..Rotate 3..Mark";
/// The value the mark burns into the image.
constexpr int16_t kMarkValue = 15000;

/// "Mirror Flip": asks for an operation and applies it to the current view's image in place:
/// 0 mirror left-right, 1 flip top-bottom, 2 rotate a quarter turn clockwise, 3 mark the 2 x 2
/// pixels at the ROI record's corner (pixels outside the image are skipped). A cancel or an
/// answer without a number mirrors; any other answer changes nothing. The view is redisplayed.
void FLIPGO_Click(Korvelf& k);

} // namespace vantry
