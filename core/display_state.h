#pragma once
// Display state of the two picture panes: the shown region's mapping to the pane and the bitmap.

#include "workspace.h"

#include <array>
#include <cstdint>
#include <vector>

namespace vantry {

/// Device-independent bitmap header and its 256-entry grey colour table, little-endian.
constexpr int kBmpInfoBytes = 40 + 256 * 4;

struct DisplayState {
    std::array<int16_t, kViews> VIEWCX{}; ///< image column of the shown region's centre
    std::array<int16_t, kViews> VIEWCY{}; ///< image row of the shown region's centre
    std::array<int16_t, kViews> PCX{};    ///< image column of the last press
    std::array<int16_t, kViews> PCY{};    ///< image row of the last press
    std::array<float, kViews> PXS{};      ///< image pixels per pane pixel of the last display
    std::array<int32_t, kViews> OX{};     ///< left edge of the bitmap in the pane
    std::array<int32_t, kViews> OY{};     ///< top edge of the bitmap in the pane
    std::array<int16_t, kViews> DSPD{};   ///< 1 once the view has been displayed

    int32_t DISPW = 0; ///< inner width of a picture pane in pixels
    int32_t DISPH = 0; ///< inner height of a picture pane in pixels
    int32_t BMPW = 0;  ///< bitmap width of the last display
    int32_t BMPH = 0;  ///< bitmap height of the last display
    std::vector<uint8_t> BMPBITS;         ///< BMPH rows of BMPW rounded up to 4 bytes, bottom-up
    std::array<uint8_t, kBmpInfoBytes> BMPINFO{};
    int16_t PSYNC = 0; ///< 1 = a view rectangle changed by a drag is copied to the other view

    /// Window and polarity the display table of each view was last computed for.
    struct TableKey {
        bool valid = false;
        int16_t ww = 0;
        int16_t wl = 0;
        int16_t posi = 0;
    };
    std::array<TableKey, kViews> tableKey{};
};

} // namespace vantry
