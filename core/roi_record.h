#pragma once

#include <array>
#include <cstdint>

namespace vantry {

/// The region of interest of one pane, in image pixels.
struct RoiRecord {
    int16_t ROIX = 0; ///< left column
    int16_t ROIY = 0; ///< top row
    int16_t ROIW = 0; ///< width
    int16_t ROIH = 0; ///< height
};

/// The mouse gesture on a pane, one for the window.
struct GestureRecord {
    int16_t MOUSEMODE = 0; ///< 0 idle, 1 window, 2 pan, 3 zoom, 4 move ROI, 5 / 6 resize from a handle
    int16_t LASTMODE = 0;  ///< MOUSEMODE of the last move handled; 0 = no move since the press
    int16_t BUSY = 0;      ///< 1 while the release is processed
    int16_t DOWNX = 0;     ///< pane position of the press
    int16_t DOWNY = 0;
    int16_t DOWNWW = 0; ///< WW and WL at the press
    int16_t DOWNWL = 0;
    int32_t DOWNVX = 0; ///< VIEWX0 and VIEWY0 at the press
    int32_t DOWNVY = 0;
    std::array<float, 2> DOWNMAG{}; ///< MAGF of each pane at its last press
};

/// Means kept between measurements.
struct RoiMeans {
    float LASTMEAN = 0; ///< the last gesture or background mean
    float PREVMEAN = 0; ///< the mean of the previous gesture measurement
};

} // namespace vantry
