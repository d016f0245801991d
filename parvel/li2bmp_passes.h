#pragma once
// The passes of the scaled bitmap transfer, in a portable and an AVX2 version that give identical
// bytes. The driver (li2bmp_driver.cpp) builds the column tables and keeps the blended rows.

#include <cstdint>

namespace parvel {

/// Most destination columns handed to one pass; wider bitmaps are done in strips.
constexpr int32_t kMaxStrip = 2048;
/// Bytes of the passes' own per-strip column plan (32 per group of 8 columns, 1 per group of kind).
constexpr int32_t kPlanBytes = kMaxStrip * 4 + kMaxStrip / 8;

/// Source columns of one strip of destination columns. The driver fills everything but plan, which
/// the passes' prepare fills and only the same passes read.
struct StripColumns {
    int32_t count = 0;     ///< destination columns in the strip, 1 .. kMaxStrip
    int32_t pairCount = 0; ///< columns from pairCount on have weight 0 and read only row[col[x]]
    int32_t regionEnd = 0; ///< first image column right of the region; nothing there may be read
    int32_t col[kMaxStrip];
    /// 2048 - w in the low and w in the high 16 bits, w the weight (0 .. 2047) of row[col[x] + 1]
    uint32_t weightPairs[kMaxStrip];
    alignas(32) uint8_t plan[kPlanBytes];
};

/// Fills s.plan from the other fields.
using PrepareColumns = void (*)(StripColumns& s);

/// Blends one source row horizontally: the value of column x,
/// (row[col[x]] * (2048 - w) + row[col[x] + 1] * w) / 2048 truncated toward zero, lies between
/// its neighbours and is stored as Int16 in out, a row of kMaxStrip values in an order of the
/// passes' own choosing.
/// ahead0 and ahead1, where not null, are source rows that will be blended soon; the pass may ask
/// the cache for their columns.
using HorizontalPass = void (*)(const int16_t* row, const StripColumns& s, const int16_t* ahead0,
                                const int16_t* ahead1, int16_t* out);

/// Blends two rows left by the horizontal pass of the same passes, count (at most kMaxStrip)
/// columns, with weight wy (0 .. 2047, bottom unused at 0) and maps each value
/// v = (top * (2048 - wy) + bottom * wy) / 2048, truncated toward zero, through lut into
/// out[0 .. count-1].
using VerticalPass = void (*)(const int16_t* top, const int16_t* bottom, int32_t wy, int32_t count,
                              const uint8_t* lut, uint8_t* out);

/// One destination row from two source rows neither of which is blended elsewhere: as the
/// horizontal pass on row0 and row1 followed by the vertical pass with wy (1 .. 2047).
using ReductionRowPass = void (*)(const int16_t* row0, const int16_t* row1, const StripColumns& s,
                                  int32_t wy, const int16_t* ahead0, const int16_t* ahead1,
                                  const uint8_t* lut, uint8_t* out);

struct Li2bmpPasses {
    PrepareColumns prepare;
    HorizontalPass horizontal;
    VerticalPass vertical;
    ReductionRowPass reductionRow; ///< may be null: the driver then uses the two passes above
};

/// Plain C++ passes, for any processor.
Li2bmpPasses li2bmpPortablePasses();
/// AVX2 passes; call only where the processor has AVX2.
Li2bmpPasses li2bmpAvx2Passes();

/// The whole transfer (same arguments as the exported li2bmp) with the given passes.
void li2bmpWith(const Li2bmpPasses& passes, uint8_t* dst, const int16_t* img, int32_t stride,
                int32_t sw, int32_t sh, int32_t x0, int32_t y0, int32_t dw, int32_t dh,
                const uint8_t* lut);

} // namespace parvel
