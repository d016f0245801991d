#include "roi_outside.h"

namespace vantry {

std::string roiOutsideMessage(int64_t x, int64_t y, int64_t w, int64_t h, int64_t imageW, int64_t imageH)
{
    return "The ROI (" + std::to_string(x) + ", " + std::to_string(y) + ", " + std::to_string(w) + " x " +
           std::to_string(h) + ") reaches outside the image (" + std::to_string(imageW) + " x " +
           std::to_string(imageH) + ").";
}

} // namespace vantry
