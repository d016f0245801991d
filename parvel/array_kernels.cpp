// Element-wise kernels over whole images and profiles. Each is one forward pass; a count of zero
// or less leaves the array untouched.
#include "parvel.h"

#include <cmath>
#include <cstddef>

namespace {

/// Rounds to nearest with ties to even and stores the low 16 bits, as a 16-bit store of the
/// rounded value does; llrint keeps the out-of-range case defined.
int16_t roundToInt16Bits(double y)
{
    return static_cast<int16_t>(static_cast<uint16_t>(std::llrint(y)));
}

} // namespace

extern "C" {

void varclr(uint8_t* p, uint8_t v, int32_t n)
{
    for (int32_t i = 0; i < n; ++i) p[i] = v;
}

void var2clr(int16_t* p, int16_t v, int32_t n)
{
    for (int32_t i = 0; i < n; ++i) p[i] = v;
}

void var4clr(int32_t* p, int32_t v, int32_t n)
{
    for (int32_t i = 0; i < n; ++i) p[i] = v;
}

// The copies run forward element by element so that an overlapping copy behaves the same on every
// build (dst above src repeats values); memmove would hide that.
void vartrn(uint8_t* dst, uint8_t* src, int32_t n)
{
    for (int32_t i = 0; i < n; ++i) dst[i] = src[i];
}

void var2trn(int16_t* dst, int16_t* src, int32_t n)
{
    for (int32_t i = 0; i < n; ++i) dst[i] = src[i];
}

void var4trn(int32_t* dst, int32_t* src, int32_t n)
{
    for (int32_t i = 0; i < n; ++i) dst[i] = src[i];
}

void var4skip(int32_t* dst, int32_t dstStep, int32_t* src, int32_t srcStep, int32_t n)
{
    const std::ptrdiff_t ds = dstStep, ss = srcStep;
    for (int32_t i = 0; i < n; ++i) dst[i * ds] = src[i * ss];
}

void var4tst(int32_t* dst, int32_t* src)
{
    dst[0] = src[0];
}

void var4add(float* dst, float* src, int32_t n)
{
    for (int32_t i = 0; i < n; ++i) dst[i] = dst[i] + src[i];
}

void var4mul(float* p, float x, int32_t n)
{
    for (int32_t i = 0; i < n; ++i) p[i] = x * p[i];
}

void var4arymul(float* dst, float* src, int32_t n)
{
    for (int32_t i = 0; i < n; ++i) dst[i] = dst[i] * src[i];
}

void var2div(int16_t* p, int16_t d, int32_t n)
{
    const auto divisor = static_cast<uint16_t>(d);
    if (divisor == 0) return; // an integer division by zero would end the process
    for (int32_t i = 0; i < n; ++i) {
        p[i] = static_cast<int16_t>(static_cast<uint16_t>(p[i]) / divisor);
    }
}

void varswap(uint8_t* p, int32_t n)
{
    for (int32_t i = 0; i < n; ++i) {
        uint8_t* w = p + 2 * static_cast<std::ptrdiff_t>(i);
        const uint8_t t = w[0];
        w[0] = w[1];
        w[1] = t;
    }
}

void var4swap(uint8_t* p, int32_t n)
{
    for (int32_t i = 0; i < n; ++i) {
        uint8_t* w = p + 4 * static_cast<std::ptrdiff_t>(i);
        uint8_t t = w[0];
        w[0] = w[3];
        w[3] = t;
        t = w[1];
        w[1] = w[2];
        w[2] = t;
    }
}

void var2tosgl(float* dst, int16_t* src, int32_t n)
{
    for (int32_t i = 0; i < n; ++i) dst[i] = static_cast<float>(src[i]);
}

void varsglto2(int16_t* dst, float* src, int32_t n)
{
    for (int32_t i = 0; i < n; ++i) dst[i] = roundToInt16Bits(src[i]);
}

void var2log(int16_t* p, int32_t n)
{
    for (int32_t i = 0; i < n; ++i) {
        const unsigned v = static_cast<uint16_t>(p[i]);
        if (v != 0) p[i] = roundToInt16Bits(1000.0 * std::log10(static_cast<double>(v)));
    }
}

void var2lin(int16_t* p, int32_t k, float x, int32_t n)
{
    for (int32_t i = 0; i < n; ++i) {
        const auto t = static_cast<float>(static_cast<double>(p[i]) / static_cast<double>(k));
        float y = static_cast<float>(static_cast<double>(x) * std::pow(10.0, static_cast<double>(t)));
        if (y > 32000.0f) y = 32000.0f;
        p[i] = roundToInt16Bits(y);
    }
}

} // extern "C"
