#pragma once

#include <cstdint>

namespace vantry {

/// The region of interest of one pane, in image pixels.
struct RoiRecord {
    int16_t ROIX = 0; ///< left column
    int16_t ROIY = 0; ///< top row
    int16_t ROIW = 0; ///< width
    int16_t ROIH = 0; ///< height
};

} // namespace vantry
