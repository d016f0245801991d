#pragma once
// The analysis window's drawing as an SVG picture: a recorded display list replayed onto the
// nominal surface of the recording canvas.

#include "recording_canvas.h"

#include <string>
#include <vector>

namespace vantry::samples {

/// An SVG document of `calls` drawn as the window draws them: black background, the foreground
/// in white, palette colours of the 16-colour console palette, lines 1 or 2 pixels wide (dotted
/// at width 1 only), points as squares of the line width, text in a 12-pixel monospace font with
/// its top-left corner at its position. A cls erases what was drawn before it.
std::string chartSvg(const std::vector<DrawCall>& calls);

} // namespace vantry::samples
