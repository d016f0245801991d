#pragma once
// The two passes of the scaled bitmap transfer, in a portable and an AVX2 version that give
// identical bytes. The driver (li2bmp.cpp) builds the tables and keeps the blended rows.

#include <cstdint>

namespace parvel {

/// Most destination columns handed to one pass; wider bitmaps are done in strips.
constexpr int32_t kMaxStrip = 2048;

/// Blends one source row horizontally into out[0 .. count-1]:
/// out[x] = (row[col[x]] * (2048 - w) + row[col[x] + 1] * w) / 2048, truncated toward zero, where
/// the weight pair weightPairs[x] holds 2048 - w in its low and w in its high 16 bits. Columns from
/// pairCount on have weight 0 and read only row[col[x]].
using HorizontalPass = void (*)(const int16_t* row, const int32_t* col, const uint32_t* weightPairs,
                                int32_t pairCount, int32_t count, int32_t* out);

/// Blends two horizontally blended rows of count (at most kMaxStrip) values with weight wy
/// (0 .. 2047, bottom unused at 0) and maps each value
/// v = (top * (2048 - wy) + bottom * wy) / 2048, truncated toward zero, through lut.
using VerticalPass = void (*)(const int32_t* top, const int32_t* bottom, int32_t wy, int32_t count,
                              const uint8_t* lut, uint8_t* out);

struct Li2bmpPasses {
    HorizontalPass horizontal;
    VerticalPass vertical;
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
