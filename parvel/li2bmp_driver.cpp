// Scaled bitmap transfer: the last step of every redraw of a picture pane.
//
// The destination is built row by row from horizontally blended source rows. Each blended row is
// kept while the next destination rows still use it, so an enlargement blends every source row
// once and a reduction reads only the row pairs it needs. Columns are processed in strips of
// kStrip so that the tables live on the stack whatever the destination width.
#include "li2bmp_passes.h"

#include <cstddef>

namespace parvel {
namespace {

constexpr int32_t kStrip = kMaxStrip;
constexpr int32_t kOne = 2048; // weights are in 1/2048ths

struct AxisStep {
    int32_t index;  // source offset from the region's first column or row
    int32_t weight; // weight of the next source pixel, 0 .. 2047
};

/// Scale of one axis, formed and stored as Single; 0 for a destination side of 1.
float axisScale(int32_t sourceSide, int32_t destSide)
{
    if (destSide <= 1) return 0.0f;
    return static_cast<float>(static_cast<double>(sourceSide - 1) / (destSide - 1));
}

/// Source position of destination index i. A position that rounding of the scale puts on or past
/// the region's last pixel is held there with weight 0, so the pixel beyond is never read.
AxisStep axisStep(int32_t i, float scale, int32_t sourceSide)
{
    const double t = static_cast<double>(i) * static_cast<double>(scale);
    const auto index = static_cast<int32_t>(t);
    if (index >= sourceSide - 1) return {sourceSide - 1, 0};
    return {index, static_cast<int32_t>((t - index) * kOne)};
}

/// One cached horizontally blended source row.
struct BlendedRow {
    int32_t sourceRow = -1;
    int32_t values[kStrip];
};

} // namespace

void li2bmpWith(const Li2bmpPasses& passes, uint8_t* dst, const int16_t* img, int32_t stride,
                int32_t sw, int32_t sh, int32_t x0, int32_t y0, int32_t dw, int32_t dh,
                const uint8_t* lut)
{
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
    const std::ptrdiff_t rowBytes = (static_cast<std::ptrdiff_t>(dw) + 3) / 4 * 4;
    const float sx = axisScale(sw, dw);
    const float sy = axisScale(sh, dh);

    int32_t col[kStrip];
    uint32_t weightPairs[kStrip];
    BlendedRow rows[2];

    for (int32_t first = 0; first < dw; first += kStrip) {
        const int32_t count = dw - first < kStrip ? dw - first : kStrip;
        int32_t pairCount = 0;
        for (int32_t x = 0; x < count; ++x) {
            const AxisStep s = axisStep(first + x, sx, sw);
            col[x] = x0 + s.index;
            weightPairs[x] = static_cast<uint32_t>(kOne - s.weight) | static_cast<uint32_t>(s.weight) << 16;
            if (s.index < sw - 1) pairCount = x + 1; // the index never decreases
        }
        rows[0].sourceRow = rows[1].sourceRow = -1;

        auto blended = [&](int32_t sourceRow, const BlendedRow* keep) -> const int32_t* {
            for (BlendedRow& r : rows) {
                if (r.sourceRow == sourceRow) return r.values;
            }
            BlendedRow& target = &rows[0] == keep ? rows[1] : rows[0];
            passes.horizontal(img + static_cast<std::ptrdiff_t>(sourceRow) * stride, col, weightPairs,
                              pairCount, count, target.values);
            target.sourceRow = sourceRow;
            return target.values;
        };

        for (int32_t y = 0; y < dh; ++y) {
            const AxisStep s = axisStep(y, sy, sh);
            const int32_t r0 = y0 + s.index;
            const int32_t* top = blended(r0, nullptr);
            const BlendedRow* topRow = top == rows[0].values ? &rows[0] : &rows[1];
            const int32_t* bottom = s.weight == 0 ? top : blended(r0 + 1, topRow);
            uint8_t* out = dst + static_cast<std::ptrdiff_t>(dh - 1 - y) * rowBytes + first;
            passes.vertical(top, bottom, s.weight, count, lut, out);
        }
    }
}

} // namespace parvel

