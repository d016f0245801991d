// The exported entry points of Fourel.
#include "fourel.h"

#include "fft4_impl.h"

#include <cmath>
#include <cstddef>

namespace {

constexpr int kSide = 512;
constexpr int kSideBits = 9;

/// Transforms the line of kSide elements at re/im with the given element step, through a work
/// buffer, in place.
void transformLine(float* re, float* im, std::ptrdiff_t step, const float* sinTab, const float* cosTab,
                   int sign)
{
    float workRe[kSide];
    float workIm[kSide];
    for (int i = 0; i < kSide; ++i) {
        workRe[i] = re[i * step];
        workIm[i] = im[i * step];
    }
    fourel::fft4Fast(kSide, kSideBits, workRe, workIm, sinTab, cosTab, sign);
    for (int i = 0; i < kSide; ++i) {
        re[i * step] = workRe[i];
        im[i * step] = workIm[i];
    }
}

} // namespace

extern "C" {

void fft4(int16_t n, int16_t m, float* re, float* im, float* sinTab, float* cosTab, int16_t sign)
{
    if (!fourel::validLength(n, m)) return;
    fourel::fft4Fast(n, m, re, im, sinTab, cosTab, sign);
}

void ct2dfft(int16_t* img, float* re, float* im, float* filter, float* sinTab, float* cosTab)
{
    constexpr int count = kSide * kSide;
    for (int i = 0; i < count; ++i) {
        re[i] = static_cast<float>(img[i]);
        im[i] = 0.0f;
    }
    for (int r = 0; r < kSide; ++r) transformLine(re + r * kSide, im + r * kSide, 1, sinTab, cosTab, 1);
    for (int c = 0; c < kSide; ++c) transformLine(re + c, im + c, kSide, sinTab, cosTab, 1);
    for (int i = 0; i < count; ++i) {
        re[i] = re[i] * filter[i];
        im[i] = im[i] * filter[i];
    }
    for (int r = 0; r < kSide; ++r) transformLine(re + r * kSide, im + r * kSide, 1, sinTab, cosTab, -1);
    for (int c = 0; c < kSide; ++c) transformLine(re + c, im + c, kSide, sinTab, cosTab, -1);
    for (int i = 0; i < count; ++i) {
        // nearest integer to x + 0.5 with ties to even; out of range keeps the low 16 bits
        const long long v = std::llrint(static_cast<double>(re[i]) + 0.5);
        img[i] = static_cast<int16_t>(static_cast<uint16_t>(v));
    }
}

void fft5(int16_t n, int32_t /*unused1*/, float* re, float* im, float* sinTab, float* cosTab,
          int32_t /*unused2*/)
{
    constexpr int kLength = 256;
    if (n <= 0) return;
    const int count = n < kLength ? n : kLength;
    float workRe[kLength] = {};
    float workIm[kLength] = {};
    for (int i = 0; i < count; ++i) {
        workRe[i] = re[i];
        workIm[i] = im[i];
    }
    fourel::fft4Fast(kLength, 8, workRe, workIm, sinTab, cosTab, 1);
    for (int i = 0; i < count; ++i) {
        re[i] = workRe[i];
        im[i] = workIm[i];
    }
}

void var4test(int32_t* dst, int32_t* src)
{
    dst[0] = src[0];
}

} // extern "C"
