// Scaled bitmap transfer: the last step of every redraw of a picture pane.
//
// The destination is built row by row from horizontally blended source rows. Each blended row is
// kept while the next destination rows still use it, so an enlargement blends every source row
// once and a reduction reads only the row pairs it needs; a row pair that only one destination
// row uses goes through a single sweep that blends, maps and stores without keeping anything.
// Columns are processed in strips of kStrip so that the tables live on the stack whatever the
// destination width.
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
    alignas(32) int16_t values[kStrip];
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
    auto sourceRow = [&](int32_t r) { return img + static_cast<std::ptrdiff_t>(r) * stride; };

    StripColumns columns;
    BlendedRow rows[2];

    for (int32_t first = 0; first < dw; first += kStrip) {
        const int32_t count = dw - first < kStrip ? dw - first : kStrip;
        columns.count = count;
        columns.regionEnd = x0 + sw;
        columns.pairCount = 0;
        for (int32_t x = 0; x < count; ++x) {
            const AxisStep s = axisStep(first + x, sx, sw);
            columns.col[x] = x0 + s.index;
            columns.weightPairs[x] =
                static_cast<uint32_t>(kOne - s.weight) | static_cast<uint32_t>(s.weight) << 16;
            if (s.index < sw - 1) columns.pairCount = x + 1; // the index never decreases
        }
        passes.prepare(columns);
        rows[0].sourceRow = rows[1].sourceRow = -1;

        auto blended = [&](int32_t r, const BlendedRow* keep, const int16_t* ahead0,
                           const int16_t* ahead1) -> const int16_t* {
            for (BlendedRow& b : rows) {
                if (b.sourceRow == r) return b.values;
            }
            BlendedRow& target = &rows[0] == keep ? rows[1] : rows[0];
            passes.horizontal(sourceRow(r), columns, ahead0, ahead1, target.values);
            target.sourceRow = r;
            return target.values;
        };

        AxisStep s = axisStep(0, sy, sh);
        for (int32_t y = 0; y < dh; ++y) {
            const AxisStep next = y + 1 < dh ? axisStep(y + 1, sy, sh) : AxisStep{-1, 0};
            // A reduction jumps over source rows, which the processor does not foresee: the rows
            // of the next destination row that this one does not share are fetched while this
            // one is blended.
            const int16_t* ahead[2] = {nullptr, nullptr};
            if (next.index > s.index + 1) {
                ahead[0] = sourceRow(y0 + next.index);
                if (next.weight != 0) ahead[1] = sourceRow(y0 + next.index + 1);
            } else if (next.index == s.index + 1 && next.weight != 0 && s.weight != 0) {
                ahead[0] = sourceRow(y0 + next.index + 1);
            }
            const int32_t r0 = y0 + s.index;
            uint8_t* out = dst + static_cast<std::ptrdiff_t>(dh - 1 - y) * rowBytes + first;
            // Two source rows that no other destination row uses are blended in a single sweep
            // (the source row never decreases, so a kept row before r0 is not one of them).
            const bool rowsUsedOnce = (y + 1 == dh || next.index > s.index + 1) &&
                                      rows[0].sourceRow < r0 && rows[1].sourceRow < r0;
            if (passes.reductionRow != nullptr && s.weight != 0 && rowsUsedOnce) {
                passes.reductionRow(sourceRow(r0), sourceRow(r0 + 1), columns, s.weight, ahead[0],
                                    ahead[1], lut, out);
            } else {
                const int16_t* top = s.weight == 0 ? blended(r0, nullptr, ahead[0], ahead[1])
                                                   : blended(r0, nullptr, ahead[0], nullptr);
                const BlendedRow* topRow = top == rows[0].values ? &rows[0] : &rows[1];
                const int16_t* bottom =
                    s.weight == 0 ? top : blended(r0 + 1, topRow, ahead[1], nullptr);
                passes.vertical(top, bottom, s.weight, count, lut, out);
            }
            s = next;
        }
    }
}

} // namespace parvel
