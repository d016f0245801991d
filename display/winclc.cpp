#include "winclc.h"

#include <cmath>

namespace vantry {

void WINCLC(Korvelf& k)
{
    const int view = k.ws.CURSLOT;
    const int32_t ww = k.ws.WW[view];
    const int32_t wl = k.ws.WL[view];
    // Every display recomputes the table; when window and polarity are those of the last
    // computation for this view the table already matches them.
    DisplayState::TableKey& key = k.disp.tableKey[view];
    if (key.valid && key.ww == ww && key.wl == wl && key.posi == k.ws.POSI) return;
    key = {true, static_cast<int16_t>(ww), static_cast<int16_t>(wl), k.ws.POSI};
    // lo and hi are 16-bit in the window arithmetic; extreme windows can pass that range, which
    // 32-bit bounds hold without changing any entry of the table's range.
    const auto lo = static_cast<int32_t>(std::nearbyint(wl - ww / 2.0));
    const auto hi = static_cast<int32_t>(std::nearbyint(wl + ww / 2.0));
    const bool positive = k.ws.POSI == 1;
    uint8_t* lut = k.ws.DLUT[view].data() + kDlutZero;
    for (int32_t v = -1024; v <= 32767; ++v) {
        uint8_t level;
        if (v <= lo) {
            level = positive ? 0 : 255;
        } else if (v >= hi) {
            level = positive ? 255 : 0;
        } else {
            const int32_t product = (v - lo) * 255;
            const double ramp = static_cast<double>(product) / ww;
            level = static_cast<uint8_t>(std::nearbyint(positive ? ramp : 255.0 - ramp));
        }
        lut[v] = level;
    }
}

} // namespace vantry
