// The exported scaled bitmap transfer: chooses the AVX2 or the portable passes at run time.
#include "cpu_features.h"
#include "li2bmp_passes.h"
#include "parvel.h"

extern "C" void li2bmp(uint8_t* dst, int16_t* img, int32_t stride, int32_t /*unused*/, int32_t sw,
                       int32_t sh, int32_t x0, int32_t y0, int32_t dw, int32_t dh, uint8_t* lut)
{
    const parvel::Li2bmpPasses passes = vantry_kernels::cpuHasAvx2()
                                            ? parvel::li2bmpAvx2Passes()
                                            : parvel::li2bmpPortablePasses();
    parvel::li2bmpWith(passes, dst, img, stride, sw, sh, x0, y0, dw, dh, lut);
}
