#pragma once
// The one message for a ROI that does not lie inside its image.

#include <cstdint>
#include <string>

namespace vantry {

/// "The ROI (x, y, w x h) reaches outside the image (W x H)."
std::string roiOutsideMessage(int64_t x, int64_t y, int64_t w, int64_t h, int64_t imageW, int64_t imageH);

} // namespace vantry
