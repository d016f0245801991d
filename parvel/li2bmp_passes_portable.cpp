// Portable passes of the scaled bitmap transfer; the AVX2 passes must give the same bytes.
#include "li2bmp_passes.h"

namespace parvel {
namespace {

/// Integer division by 2048 truncating toward zero, as the fixed-point blend defines it.
inline int32_t divide2048(int32_t s)
{
    return s / 2048;
}

void horizontalPortable(const int16_t* row, const int32_t* col, const uint32_t* weightPairs,
                        int32_t pairCount, int32_t count, int32_t* out)
{
    for (int32_t x = 0; x < pairCount; ++x) {
        const int32_t w = static_cast<int32_t>(weightPairs[x] >> 16);
        const int16_t* p = row + col[x];
        out[x] = divide2048(p[0] * (2048 - w) + p[1] * w);
    }
    for (int32_t x = pairCount; x < count; ++x) out[x] = row[col[x]];
}

void verticalPortable(const int32_t* top, const int32_t* bottom, int32_t wy, int32_t count,
                      const uint8_t* lut, uint8_t* out)
{
    for (int32_t x = 0; x < count; ++x) {
        out[x] = lut[divide2048(top[x] * (2048 - wy) + bottom[x] * wy)];
    }
}

} // namespace

Li2bmpPasses li2bmpPortablePasses()
{
    return {horizontalPortable, verticalPortable};
}

} // namespace parvel
