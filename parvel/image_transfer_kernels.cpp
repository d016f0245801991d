// Block average, window mapping of square images and radial expansion of frequency filters.
#include "parvel.h"

#include <cmath>
#include <cstddef>

namespace {

/// Rounds to nearest with ties to even into an index or an 8-bit level.
int32_t roundToInt32(double y)
{
    return static_cast<int32_t>(std::llrint(y));
}

/// One windowed grey level: 255 at or above hi, 0 at or below lo, linear in between.
uint8_t windowLevel(float f, float lo, float hi)
{
    if (f >= hi) return 255;
    if (f > lo) {
        const auto q = static_cast<float>((static_cast<double>(f) - lo) / (static_cast<double>(hi) - lo));
        return static_cast<uint8_t>(roundToInt32(static_cast<double>(q) * 255.0));
    }
    return 0;
}

struct Window {
    float lo;
    float hi;
};

Window windowBounds(int16_t ww, int16_t wl)
{
    const int32_t half = ww / 2; // truncates toward zero
    return {static_cast<float>(wl - half), static_cast<float>(wl + half)};
}

/// Folded frequency index of a plane position: i below the fold keeps i, else n - i.
int32_t folded(int32_t i, int32_t fold, int32_t n)
{
    return i < fold ? i : n - i;
}

void expandRadial(int32_t* dst, const int32_t* src, int32_t n, int32_t samplesPerBin)
{
    const int32_t fold = n / 2 + 1;
    for (int32_t j = 0; j < n; ++j) {
        const double fy = folded(j, fold, n);
        for (int32_t i = 0; i < n; ++i) {
            const double fx = folded(i, fold, n);
            const auto r = static_cast<float>(std::sqrt(fx * fx + fy * fy));
            dst[j * n + i] = src[roundToInt32(static_cast<double>(r) * samplesPerBin)];
        }
    }
}

} // namespace

extern "C" {

void pixavei(int16_t* centre, int16_t* out, int16_t n, int16_t stride)
{
    if (n < 0) return;
    float sum = 0.0f;
    for (int32_t r = -n; r <= n; ++r) {
        const int16_t* row = centre + static_cast<std::ptrdiff_t>(r) * stride;
        for (int32_t c = -n; c <= n; ++c) sum = sum + static_cast<float>(row[c]);
    }
    const double side = 2.0 * n + 1.0;
    out[0] = static_cast<int16_t>(roundToInt32(static_cast<double>(sum) / (side * side)));
}

void ct4trn(uint8_t* dst, float* src, int16_t ww, int16_t wl, int32_t n)
{
    const int32_t side = static_cast<int16_t>(n);
    const Window w = windowBounds(ww, wl);
    for (int32_t i = 0; i < side; ++i) {
        for (int32_t j = 0; j < side; ++j) {
            dst[(side - 1 - i) * side + j] = windowLevel(src[i * side + j], w.lo, w.hi);
        }
    }
}

void ct2trn(uint8_t* dst, int16_t* src, int16_t ww, int16_t wl, int16_t offset, int32_t n)
{
    const int32_t side = static_cast<int16_t>(n);
    const Window w = windowBounds(ww, wl);
    for (int32_t i = 0; i < side; ++i) {
        for (int32_t j = 0; j < side; ++j) {
            const auto f = static_cast<float>(src[i * side + j] + offset);
            dst[(side - 1 - i) * side + j] = windowLevel(f, w.lo, w.hi);
        }
    }
}

void cttf512(int32_t* dst, int32_t* src)
{
    expandRadial(dst, src, 512, 32);
}

void cttf256(int32_t* dst, int32_t* src)
{
    expandRadial(dst, src, 256, 16);
}

void cttfc(int32_t* dst, int32_t* src, int32_t a, int32_t b)
{
    if (a < 0 || b <= 0) return;
    const int32_t c = a / 2;
    const auto aspect = static_cast<float>(static_cast<double>(a) / b);
    for (int32_t i = 0; i < b; ++i) {
        const int32_t rowFreq = i > b / 2 ? b - i : i;
        const auto d = static_cast<float>(static_cast<double>(aspect) * rowFreq);
        for (int32_t j = 0; j <= c; ++j) {
            const auto r = static_cast<float>(
                std::sqrt(static_cast<double>(j) * j + static_cast<double>(d) * d));
            const int32_t v = src[roundToInt32(static_cast<double>(r) * 32.0)];
            const std::ptrdiff_t at = 2 * (static_cast<std::ptrdiff_t>(i) * (c + 1) + j);
            dst[at] = v;
            dst[at + 1] = v;
        }
    }
}

} // extern "C"
