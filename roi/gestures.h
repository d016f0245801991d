#pragma once
// The mouse on the picture panes: window drag (right), pan (left on the image), zoom (middle),
// moving and resizing the ROI (left on the rectangle or a handle), and the release that measures,
// synchronises the other pane or copies the picture.

#include "korvelf.h"

namespace vantry {

constexpr int kButtonLeft = 1;
constexpr int kButtonRight = 2;
constexpr int kButtonMiddle = 4;

/// Press on pane `index` at pane pixel (x, y) with button 1, 2 or 4; shift is not used.
void PIC_MouseDown(Korvelf& k, int index, int button, int shift, double x, double y);
/// Pointer move with a gesture running on the current pane.
void PIC_MouseMove(Korvelf& k, int index, int button, int shift, double x, double y);
/// Release: after a move, synchronises the other pane, measures a ROI gesture or copies the
/// picture after a window drag; then the gesture ends and CURSLOT is 0 until the click.
void PIC_MouseUp(Korvelf& k, int index, int button, int shift, double x, double y);

} // namespace vantry
