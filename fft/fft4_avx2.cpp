// fft4 vectorised with AVX2, bit-identical to fft4Plain.
//
// Every element undergoes the same Single operations in the same order as in the plain loop; only
// independent butterflies are grouped. On the processors this runs on a 256-bit store costs about
// twice a load, so the work is laid out to store each element as few times as possible:
// - the butterfly stages of span n/2 down to 8 run in passes of three stages (radix-8 shaped) or
//   two (radix-4 shaped). The first pass reads the caller's arrays and writes an aligned work
//   array of our own, in which each vector of eight real parts is followed by its eight imaginary
//   parts (one cache line), and whose eight rows of n/8 elements are padded so that they do not
//   fall into the same cache sets;
// - after the first pass the blocks are independent, and each block runs all its remaining passes
//   while it is in the first-level cache;
// - the last three stages work on 8 x 8 tiles transposed into registers, and their results go
//   straight to their reversed-binary places in the caller's arrays, with the 1/n of the inverse
//   folded in; the tiles are taken in the order of their destination, so the caller's arrays are
//   written front to back.
//
// sign * g * sin equals g * (sign * sin) exactly for sign = +1 or -1, so the twiddle sines are
// used with the sign applied; compiled with -mavx2 only, so no multiply-add is fused.
//
// This file uses nothing inline from shared headers, so no AVX2 code can stand in for a portable
// function at link time.
#include "fft4_impl.h"
#include "transpose8_avx2.h"

#include <immintrin.h>

namespace fourel {
namespace {

constexpr int kMaxLength = 1 << 14;

/// Padding after each of the eight rows of the work array, in floats (one cache line).
constexpr int kRowPad = 16;

/// Blocks of at most this many elements (16 KiB of work array) run their remaining passes one
/// pass at a time over the whole block; larger ones go block by block.
constexpr int kCacheBlock = 2048;

struct Vec {
    __m256 re;
    __m256 im;
};

struct Twiddle {
    __m256 c;
    __m256 s; // sign * sin
};

/// Twiddles t .. t+7 from packed tables whose sines already carry the sign.
inline Twiddle loadTwiddle(const float* c, const float* s, int t)
{
    return {_mm256_load_ps(c + t), _mm256_load_ps(s + t)};
}

/// Twiddles t .. t+7 of span n/2, straight from the caller's tables.
template <bool kNegate>
inline Twiddle callerTwiddle(const float* c, const float* s, int t)
{
    __m256 sv = _mm256_loadu_ps(s + t);
    if constexpr (kNegate) sv = _mm256_xor_ps(sv, _mm256_set1_ps(-0.0f));
    return {_mm256_loadu_ps(c + t), sv};
}

/// v[0], v[2], .., v[14] of the 16 floats at p.
inline __m256 evenOf(const float* p)
{
    const __m256 a = _mm256_loadu_ps(p);
    const __m256 b = _mm256_loadu_ps(p + 8);
    const __m256 even = _mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
    return _mm256_castpd_ps(
        _mm256_permute4x64_pd(_mm256_castps_pd(even), _MM_SHUFFLE(3, 1, 2, 0)));
}

/// v[0], v[4], .., v[28] of the 32 floats at p.
inline __m256 everyFourthOf(const float* p)
{
    const __m256 a = _mm256_loadu_ps(p);
    const __m256 b = _mm256_loadu_ps(p + 8);
    const __m256 c = _mm256_loadu_ps(p + 16);
    const __m256 d = _mm256_loadu_ps(p + 24);
    const __m256 ab = _mm256_shuffle_ps(a, b, _MM_SHUFFLE(0, 0, 0, 0)); // a0 a0 b0 b0 | a4 a4 b4 b4
    const __m256 cd = _mm256_shuffle_ps(c, d, _MM_SHUFFLE(0, 0, 0, 0)); // c0 c0 d0 d0 | c4 c4 d4 d4
    const __m256 x = _mm256_shuffle_ps(ab, cd, _MM_SHUFFLE(2, 0, 2, 0)); // a0 b0 c0 d0 | a4 b4 c4 d4
    return _mm256_permutevar8x32_ps(x, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
}

/// One lane-wise butterfly: a = a + b, b = (a - b) * W. Lanes set in plainLanes (t = 0) take the
/// difference without the twiddle product, as the plain loop does.
template <int plainLanes>
inline void butterfly(Vec& a, Vec& b, const Twiddle& w)
{
    const __m256 e = _mm256_sub_ps(a.re, b.re);
    const __m256 g = _mm256_sub_ps(a.im, b.im);
    a.re = _mm256_add_ps(a.re, b.re);
    a.im = _mm256_add_ps(a.im, b.im);
    __m256 xr = _mm256_add_ps(_mm256_mul_ps(e, w.c), _mm256_mul_ps(g, w.s));
    __m256 xi = _mm256_sub_ps(_mm256_mul_ps(g, w.c), _mm256_mul_ps(e, w.s));
    if constexpr (plainLanes != 0) {
        xr = _mm256_blend_ps(xr, e, plainLanes);
        xi = _mm256_blend_ps(xi, g, plainLanes);
    }
    b.re = xr;
    b.im = xi;
}

/// Butterfly with t = 0 in every lane: no twiddle product.
inline void butterflyPlain(Vec& a, Vec& b)
{
    const __m256 e = _mm256_sub_ps(a.re, b.re);
    const __m256 g = _mm256_sub_ps(a.im, b.im);
    a.re = _mm256_add_ps(a.re, b.re);
    a.im = _mm256_add_ps(a.im, b.im);
    b.re = e;
    b.im = g;
}

/// A vector of the work array: eight real parts, then their eight imaginary parts.
inline Vec loadWork(const float* p)
{
    return {_mm256_load_ps(p), _mm256_load_ps(p + 8)};
}

inline void storeWork(float* p, const Vec& v)
{
    _mm256_store_ps(p, v.re);
    _mm256_store_ps(p + 8, v.im);
}

constexpr int reverseBits(int v, int bits)
{
    int r = 0;
    for (int i = 0; i < bits; ++i) {
        r = (r << 1) | (v & 1);
        v >>= 1;
    }
    return r;
}

/// dst[t] = src[2t] for t < count (count a multiple of 8).
void takeEven(float* dst, const float* src, int count)
{
    for (int t = 0; t < count; t += 8) _mm256_store_ps(dst + t, evenOf(src + 2 * t));
}

/// dst[t] = src[4t] for t < count (count a multiple of 8), with the sign bit flipped by flip.
void takeFourth(float* dst, const float* src, int count, __m256 flip)
{
    for (int t = 0; t < count; t += 8) {
        _mm256_store_ps(dst + t, _mm256_xor_ps(everyFourthOf(src + 4 * t), flip));
    }
}

/// dst[t] = src[2t] for t < count, with the sign bit flipped by flip.
void takeEvenFlipped(float* dst, const float* src, int count, __m256 flip)
{
    for (int t = 0; t < count; t += 8) {
        _mm256_store_ps(dst + t, _mm256_xor_ps(evenOf(src + 2 * t), flip));
    }
}

/// Where the elements live between the first pass and the last stages.
///
/// Element i is in row i / (n/8); vector w of a row holds its elements 8w .. 8w+7 as 16 floats
/// (real parts, then imaginary parts), and each row ends in a cache line of padding.
struct Layout {
    float* base;
    int rowBits;    // log2 of the elements in a row, n/8
    int rowStride;  // floats from one row to the next
    float* at(int i) const
    {
        return base + (i >> rowBits) * rowStride + 2 * (i & ((1 << rowBits) - 1));
    }
};

/// Radix-8 shaped pass: the stages of span h, h/2 and h/4 (h >= 32) over one block of 2h
/// elements. Its eight quarters-of-span q = h/4 start at lo + j * stride (j < 4) and
/// hi + (j - 4) * stride. c/s hold the packed twiddles: entry h' + t is twiddle t of span h'.
void radix8Block(float* lo, float* hi, int stride, int h, const float* c, const float* s)
{
    const int q = h / 4;
    const float* c1 = c + h;
    const float* s1 = s + h;
    const float* c2 = c + h / 2;
    const float* s2 = s + h / 2;
    const float* c3 = c + q;
    const float* s3 = s + q;
    const auto step = [&]<int kFirst>(int t) {
        const int off = 2 * t;
        Vec x0 = loadWork(lo + off);
        Vec x4 = loadWork(hi + off);
        butterfly<kFirst>(x0, x4, loadTwiddle(c1, s1, t));
        Vec x1 = loadWork(lo + stride + off);
        Vec x5 = loadWork(hi + stride + off);
        butterfly<0>(x1, x5, loadTwiddle(c1, s1, t + q));
        Vec x2 = loadWork(lo + 2 * stride + off);
        Vec x6 = loadWork(hi + 2 * stride + off);
        butterfly<0>(x2, x6, loadTwiddle(c1, s1, t + 2 * q));
        Vec x3 = loadWork(lo + 3 * stride + off);
        Vec x7 = loadWork(hi + 3 * stride + off);
        butterfly<0>(x3, x7, loadTwiddle(c1, s1, t + 3 * q));

        butterfly<kFirst>(x0, x2, loadTwiddle(c2, s2, t));
        butterfly<0>(x1, x3, loadTwiddle(c2, s2, t + q));
        butterfly<kFirst>(x0, x1, loadTwiddle(c3, s3, t));
        storeWork(lo + off, x0);
        storeWork(lo + stride + off, x1);
        butterfly<kFirst>(x2, x3, loadTwiddle(c3, s3, t));
        storeWork(lo + 2 * stride + off, x2);
        storeWork(lo + 3 * stride + off, x3);

        butterfly<kFirst>(x4, x6, loadTwiddle(c2, s2, t));
        butterfly<0>(x5, x7, loadTwiddle(c2, s2, t + q));
        butterfly<kFirst>(x4, x5, loadTwiddle(c3, s3, t));
        storeWork(hi + off, x4);
        storeWork(hi + stride + off, x5);
        butterfly<kFirst>(x6, x7, loadTwiddle(c3, s3, t));
        storeWork(hi + 2 * stride + off, x6);
        storeWork(hi + 3 * stride + off, x7);
    };
    step.template operator()<0x01>(0);
    for (int t = 8; t < q; t += 8) step.template operator()<0>(t);
}

/// Radix-4 shaped pass: the stages of span h and h/2 (h >= 16) over one block of 2h elements,
/// whose quarters start at lo, lo + stride, hi, hi + stride.
void radix4Block(float* lo, float* hi, int stride, int h, const float* c, const float* s)
{
    const int q = h / 2;
    const float* c1 = c + h;
    const float* s1 = s + h;
    const float* c2 = c + q;
    const float* s2 = s + q;
    const auto step = [&]<int kFirst>(int t) {
        const int off = 2 * t;
        Vec x0 = loadWork(lo + off);
        Vec x1 = loadWork(lo + stride + off);
        Vec x2 = loadWork(hi + off);
        Vec x3 = loadWork(hi + stride + off);
        butterfly<kFirst>(x0, x2, loadTwiddle(c1, s1, t));
        butterfly<0>(x1, x3, loadTwiddle(c1, s1, t + q));
        const Twiddle w2 = loadTwiddle(c2, s2, t);
        butterfly<kFirst>(x0, x1, w2);
        butterfly<kFirst>(x2, x3, w2);
        storeWork(lo + off, x0);
        storeWork(lo + stride + off, x1);
        storeWork(hi + off, x2);
        storeWork(hi + stride + off, x3);
    };
    step.template operator()<0x01>(0);
    for (int t = 8; t < q; t += 8) step.template operator()<0>(t);
}

/// Single stage of span h >= 8 over one block of 2h elements, halves at lo and hi.
void radix2Block(float* lo, float* hi, int h, const float* c, const float* s)
{
    const float* c1 = c + h;
    const float* s1 = s + h;
    for (int t = 0; t < h; t += 8) {
        Vec a = loadWork(lo + 2 * t);
        Vec b = loadWork(hi + 2 * t);
        if (t == 0) {
            butterfly<0x01>(a, b, loadTwiddle(c1, s1, t));
        } else {
            butterfly<0>(a, b, loadTwiddle(c1, s1, t));
        }
        storeWork(lo + 2 * t, a);
        storeWork(hi + 2 * t, b);
    }
}

/// One pass of `stages` stages whose first span is h, over the block of 2h elements at i.
void passBlock(const Layout& w, int i, int h, int stages, const float* c, const float* s)
{
    if (stages == 3) {
        const int q = h / 4;
        radix8Block(w.at(i), w.at(i + h), 2 * q, h, c, s);
    } else if (stages == 2) {
        const int q = h / 2;
        radix4Block(w.at(i), w.at(i + h), 2 * q, h, c, s);
    } else {
        radix2Block(w.at(i), w.at(i + h), h, c, s);
    }
}

/// The passes in `stages` (stages per pass) over the block of `size` elements at i; the first
/// pass has span size/2. Large blocks go depth first, so that each sub-block runs all its passes
/// while it is in the cache; small ones go a pass at a time.
void runPasses(const Layout& w, int i, int size, const int* stages, int passes, const float* c,
               const float* s)
{
    if (passes == 0) return;
    if (size > kCacheBlock) {
        passBlock(w, i, size / 2, stages[0], c, s);
        const int sub = size >> stages[0];
        for (int j = i; j < i + size; j += sub) runPasses(w, j, sub, stages + 1, passes - 1, c, s);
        return;
    }
    int block = size;
    for (int p = 0; p < passes; ++p) {
        for (int j = i; j < i + size; j += block) passBlock(w, j, block / 2, stages[p], c, s);
        block >>= stages[p];
    }
}


/// The first pass as three stages (spans n/2, n/4, n/8), from the caller's arrays into the work
/// array: element u + j n/8 goes to row j.
template <bool kNegate>
void firstPassRadix8(const float* re, const float* im, const Layout& w, int n, const float* sinTab,
                     const float* cosTab, const float* c, const float* s)
{
    const int q = n / 8;
    const float* c2 = c + n / 4;
    const float* s2 = s + n / 4;
    const float* c3 = c + q;
    const float* s3 = s + q;
    const int stride = w.rowStride;
    const auto step = [&]<int kFirst>(int u) {
        float* lo = w.base + 2 * u;
        float* hi = lo + 4 * stride;
        Vec x0{_mm256_loadu_ps(re + u), _mm256_loadu_ps(im + u)};
        Vec x4{_mm256_loadu_ps(re + u + 4 * q), _mm256_loadu_ps(im + u + 4 * q)};
        butterfly<kFirst>(x0, x4, callerTwiddle<kNegate>(cosTab, sinTab, u));
        Vec x1{_mm256_loadu_ps(re + u + q), _mm256_loadu_ps(im + u + q)};
        Vec x5{_mm256_loadu_ps(re + u + 5 * q), _mm256_loadu_ps(im + u + 5 * q)};
        butterfly<0>(x1, x5, callerTwiddle<kNegate>(cosTab, sinTab, u + q));
        Vec x2{_mm256_loadu_ps(re + u + 2 * q), _mm256_loadu_ps(im + u + 2 * q)};
        Vec x6{_mm256_loadu_ps(re + u + 6 * q), _mm256_loadu_ps(im + u + 6 * q)};
        butterfly<0>(x2, x6, callerTwiddle<kNegate>(cosTab, sinTab, u + 2 * q));
        Vec x3{_mm256_loadu_ps(re + u + 3 * q), _mm256_loadu_ps(im + u + 3 * q)};
        Vec x7{_mm256_loadu_ps(re + u + 7 * q), _mm256_loadu_ps(im + u + 7 * q)};
        butterfly<0>(x3, x7, callerTwiddle<kNegate>(cosTab, sinTab, u + 3 * q));

        butterfly<kFirst>(x0, x2, loadTwiddle(c2, s2, u));
        butterfly<0>(x1, x3, loadTwiddle(c2, s2, u + q));
        butterfly<kFirst>(x0, x1, loadTwiddle(c3, s3, u));
        storeWork(lo, x0);
        storeWork(lo + stride, x1);
        butterfly<kFirst>(x2, x3, loadTwiddle(c3, s3, u));
        storeWork(lo + 2 * stride, x2);
        storeWork(lo + 3 * stride, x3);

        butterfly<kFirst>(x4, x6, loadTwiddle(c2, s2, u));
        butterfly<0>(x5, x7, loadTwiddle(c2, s2, u + q));
        butterfly<kFirst>(x4, x5, loadTwiddle(c3, s3, u));
        storeWork(hi, x4);
        storeWork(hi + stride, x5);
        butterfly<kFirst>(x6, x7, loadTwiddle(c3, s3, u));
        storeWork(hi + 2 * stride, x6);
        storeWork(hi + 3 * stride, x7);
    };
    step.template operator()<0x01>(0);
    for (int u = 8; u < q; u += 8) step.template operator()<0>(u);
}

/// The first pass as two stages (spans n/2 and n/4), from the caller's arrays into the work
/// array. The twiddles of span n/4 are every other entry of the caller's tables.
template <bool kNegate>
void firstPassRadix4(const float* re, const float* im, const Layout& w, int n, const float* sinTab,
                     const float* cosTab)
{
    const int q = n / 4;
    const __m256 flip = _mm256_set1_ps(kNegate ? -0.0f : 0.0f);
    const auto step = [&]<int kFirst>(int u, float* out0, float* out1, float* out2, float* out3) {
        Vec x0{_mm256_loadu_ps(re + u), _mm256_loadu_ps(im + u)};
        Vec x2{_mm256_loadu_ps(re + u + 2 * q), _mm256_loadu_ps(im + u + 2 * q)};
        butterfly<kFirst>(x0, x2, callerTwiddle<kNegate>(cosTab, sinTab, u));
        Vec x1{_mm256_loadu_ps(re + u + q), _mm256_loadu_ps(im + u + q)};
        Vec x3{_mm256_loadu_ps(re + u + 3 * q), _mm256_loadu_ps(im + u + 3 * q)};
        butterfly<0>(x1, x3, callerTwiddle<kNegate>(cosTab, sinTab, u + q));
        const Twiddle w2{evenOf(cosTab + 2 * u), _mm256_xor_ps(evenOf(sinTab + 2 * u), flip)};
        butterfly<kFirst>(x0, x1, w2);
        storeWork(out0, x0);
        storeWork(out1, x1);
        butterfly<kFirst>(x2, x3, w2);
        storeWork(out2, x2);
        storeWork(out3, x3);
    };
    // Quarter j of the elements is rows 2j and 2j + 1 of the work array.
    const int stride = w.rowStride;
    float* row = w.base;
    step.template operator()<0x01>(0, row, row + 2 * stride, row + 4 * stride, row + 6 * stride);
    for (int u = 8; u < q / 2; u += 8) {
        float* p = row + 2 * u;
        step.template operator()<0>(u, p, p + 2 * stride, p + 4 * stride, p + 6 * stride);
    }
    for (int u = q / 2; u < q; u += 8) {
        float* p = row + stride + 2 * (u - q / 2);
        step.template operator()<0>(u, p, p + 2 * stride, p + 4 * stride, p + 6 * stride);
    }
}

/// The last three stages and the reversed-binary permutation, on tiles of 8 x 8 elements.
///
/// Write an index as (a, b, c) with a its top three bits (the row of the work array), c its low
/// three bits and b the bits between. The last three stages pair elements that differ only in c,
/// and the permutation sends (a, b, c) to (rev c, rev b, rev a). Tile b is vector b of the eight
/// rows, loaded in the order rev a and transposed, so register c holds the eight values of a in
/// the order rev a. Spans 4, 2 and 1 are done register against register, and register c is
/// stored at row rev c, middle rev b of the caller's arrays. The tiles are taken in the order of
/// rev b, so each of those rows is written front to back.
template <bool kScale>
void finalStages(const Layout& w, int n, int m, float* re, float* im, const float* sinTab,
                 const float* cosTab, float sign)
{
    Twiddle span4[4];
    for (int t = 1; t < 4; ++t) {
        span4[t] = {_mm256_set1_ps(cosTab[t * (n / 8)]), _mm256_set1_ps(sign * sinTab[t * (n / 8)])};
    }
    const Twiddle span2{_mm256_set1_ps(cosTab[n / 4]), _mm256_set1_ps(sign * sinTab[n / 4])};
    const __m256 scale = _mm256_set1_ps(1.0f / static_cast<float>(n));
    const int middleBits = m - 6;
    const int middles = 1 << middleBits;
    const int rowLength = n / 8;
    const float* rows[8];
    float* outRe[8];
    float* outIm[8];
    for (int j = 0; j < 8; ++j) {
        rows[j] = w.base + reverseBits(j, 3) * w.rowStride;
        outRe[j] = re + reverseBits(j, 3) * rowLength;
        outIm[j] = im + reverseBits(j, 3) * rowLength;
    }
    for (int o = 0; o < middles; ++o) {
        const int b = reverseBits(o, middleBits);
        Vec x[8];
        {
            __m256 r[8];
            for (int j = 0; j < 8; ++j) r[j] = _mm256_load_ps(rows[j] + 16 * b);
            vantry::simd::transpose8(r);
            __m256 i[8];
            for (int j = 0; j < 8; ++j) i[j] = _mm256_load_ps(rows[j] + 16 * b + 8);
            vantry::simd::transpose8(i);
            for (int j = 0; j < 8; ++j) x[j] = {r[j], i[j]};
        }
        butterflyPlain(x[0], x[4]);
        butterfly<0>(x[1], x[5], span4[1]);
        butterfly<0>(x[2], x[6], span4[2]);
        butterfly<0>(x[3], x[7], span4[3]);
        butterflyPlain(x[0], x[2]);
        butterfly<0>(x[1], x[3], span2);
        butterflyPlain(x[4], x[6]);
        butterfly<0>(x[5], x[7], span2);
        for (int c = 0; c < 8; c += 2) {
            butterflyPlain(x[c], x[c + 1]);
            for (int k = c; k < c + 2; ++k) {
                __m256 vr = x[k].re;
                __m256 vi = x[k].im;
                if constexpr (kScale) {
                    vr = _mm256_mul_ps(vr, scale);
                    vi = _mm256_mul_ps(vi, scale);
                }
                _mm256_storeu_ps(outRe[k] + 8 * o, vr);
                _mm256_storeu_ps(outIm[k] + 8 * o, vi);
            }
        }
    }
}

template <bool kInverse>
void transform(int n, int m, float* re, float* im, const float* sinTab, const float* cosTab)
{
    // The work array: 8 rows of n/8 elements as interleaved vectors, each row padded.
    alignas(64) float work[2 * kMaxLength + 8 * kRowPad];
    // Packed twiddles with the sign applied to the sines: entry h + t is twiddle t of span h, for
    // the spans 8 .. n/4 (n/8 when the first pass does two stages).
    alignas(64) float tc[kMaxLength / 4];
    alignas(64) float ts[kMaxLength / 4];

    const Layout w{work, m - 3, 2 * (n / 8) + kRowPad};
    const __m256 flip = _mm256_set1_ps(kInverse ? -0.0f : 0.0f);

    // Stages n/2 .. 8 in passes of three, or of two where three do not divide their number.
    const int memoryStages = m - 3;
    int stages[6] = {};
    int passes = 0;
    if (memoryStages % 3 == 0) {
        for (int k = 0; k < memoryStages; k += 3) stages[passes++] = 3;
    } else {
        stages[passes++] = 2;
        int rest = memoryStages - 2;
        if (rest % 3 == 2) {
            stages[passes++] = 2;
            rest -= 2;
        }
        for (; rest > 0; rest -= 3) stages[passes++] = 3;
    }

    int top; // largest packed span
    if (stages[0] == 3) {
        top = n / 4;
        takeEvenFlipped(tc + top, cosTab, top, _mm256_setzero_ps());
        takeEvenFlipped(ts + top, sinTab, top, flip);
    } else {
        top = n / 8;
        takeFourth(tc + top, cosTab, top, _mm256_setzero_ps());
        takeFourth(ts + top, sinTab, top, flip);
    }
    for (int h = top / 2; h >= 8; h /= 2) {
        takeEven(tc + h, tc + 2 * h, h);
        takeEven(ts + h, ts + 2 * h, h);
    }

    if (stages[0] == 3) {
        firstPassRadix8<kInverse>(re, im, w, n, sinTab, cosTab, tc, ts);
        for (int a = 0; a < 8; ++a) runPasses(w, a * (n / 8), n / 8, stages + 1, passes - 1, tc, ts);
    } else {
        firstPassRadix4<kInverse>(re, im, w, n, sinTab, cosTab);
        for (int a = 0; a < 4; ++a) runPasses(w, a * (n / 4), n / 4, stages + 1, passes - 1, tc, ts);
    }
    finalStages<kInverse>(w, n, m, re, im, sinTab, cosTab, kInverse ? -1.0f : 1.0f);
}

} // namespace

void fft4Avx2(int n, int m, float* re, float* im, const float* sinTab, const float* cosTab,
              int sign)
{
    if (sign == -1) {
        transform<true>(n, m, re, im, sinTab, cosTab);
    } else {
        transform<false>(n, m, re, im, sinTab, cosTab);
    }
}

} // namespace fourel
