// Portable passes of the scaled bitmap transfer; the AVX2 passes must give the same bytes.
#include "li2bmp_passes.h"

namespace parvel {
namespace {

/// Integer division by 2048 truncating toward zero, as the fixed-point blend defines it.
inline int32_t divide2048(int32_t s)
{
    return s / 2048;
}

void preparePortable(StripColumns& /*s*/) {}

void horizontalPortable(const int16_t* row, const StripColumns& s, const int16_t* /*ahead0*/,
                        const int16_t* /*ahead1*/, int16_t* out)
{
    for (int32_t x = 0; x < s.pairCount; ++x) {
        const int32_t w = static_cast<int32_t>(s.weightPairs[x] >> 16);
        const int16_t* p = row + s.col[x];
        out[x] = static_cast<int16_t>(divide2048(p[0] * (2048 - w) + p[1] * w));
    }
    for (int32_t x = s.pairCount; x < s.count; ++x) out[x] = row[s.col[x]];
}

void verticalPortable(const int16_t* top, const int16_t* bottom, int32_t wy, int32_t count,
                      const uint8_t* lut, uint8_t* out)
{
    for (int32_t x = 0; x < count; ++x) {
        out[x] = lut[divide2048(top[x] * (2048 - wy) + bottom[x] * wy)];
    }
}

} // namespace

Li2bmpPasses li2bmpPortablePasses()
{
    return {preparePortable, horizontalPortable, verticalPortable, nullptr};
}

} // namespace parvel
