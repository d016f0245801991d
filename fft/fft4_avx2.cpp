// fft4 vectorised with AVX2, bit-identical to fft4Plain.
//
// Every element undergoes the same Single operations in the same order as in the plain loop; only
// independent butterflies are grouped. Passes over memory do two stages at once (radix-4 shaped)
// for the stages whose butterfly span is at least 8. The last three stages work on 8 blocks of 8
// elements transposed into registers, where every butterfly is between two registers, and their
// results go straight to their bit-reversed places, with the 1/n of the inverse folded in.
//
// sign * g * sin equals g * (sign * sin) exactly for sign = +1 or -1, so the twiddle sines are
// used with the sign applied; compiled with -mavx2 only, so no multiply-add is fused.
//
// This file uses nothing inline from shared headers, so no AVX2 code can stand in for a portable
// function at link time.
#include "fft4_impl.h"

#include <immintrin.h>

namespace fourel {
namespace {

struct Vec {
    __m256 re;
    __m256 im;
};

struct Twiddle {
    __m256 c;
    __m256 s; // sign * sin
};

inline Twiddle loadTwiddle(const float* c, const float* s, int t)
{
    return {_mm256_loadu_ps(c + t), _mm256_loadu_ps(s + t)};
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

inline Vec load(const float* re, const float* im, int at)
{
    return {_mm256_loadu_ps(re + at), _mm256_loadu_ps(im + at)};
}

inline void store(float* re, float* im, int at, const Vec& v)
{
    _mm256_storeu_ps(re + at, v.re);
    _mm256_storeu_ps(im + at, v.im);
}

/// dst[t] = src[2t] for t < count: the next stage's twiddles are every other one of this stage's.
void takeEven(float* dst, const float* src, int count)
{
    int t = 0;
    for (; t + 8 <= count; t += 8) {
        const __m256 a = _mm256_loadu_ps(src + 2 * t);
        const __m256 b = _mm256_loadu_ps(src + 2 * t + 8);
        const __m256 even = _mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
        _mm256_storeu_ps(dst + t, _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(even),
                                                                          _MM_SHUFFLE(3, 1, 2, 0))));
    }
    for (; t < count; ++t) dst[t] = src[2 * t];
}

/// First-stage twiddles with the sign applied: cos[t] and sign * sin[t] for t < count.
void signedTable(float* c, float* s, const float* cosTab, const float* sinTab, int count, int sign)
{
    const __m256 flip = _mm256_set1_ps(sign == -1 ? -0.0f : 0.0f);
    int t = 0;
    for (; t + 8 <= count; t += 8) {
        _mm256_storeu_ps(c + t, _mm256_loadu_ps(cosTab + t));
        _mm256_storeu_ps(s + t, _mm256_xor_ps(_mm256_loadu_ps(sinTab + t), flip));
    }
    for (; t < count; ++t) {
        c[t] = cosTab[t];
        s[t] = sign == -1 ? -sinTab[t] : sinTab[t];
    }
}

/// One stage of span h >= 8 over the whole array; twiddles c/s indexed by t.
void radix2Pass(float* re, float* im, int n, int h, const float* c, const float* s)
{
    for (int base = 0; base < n; base += 2 * h) {
        for (int t = 0; t < h; t += 8) {
            Vec a = load(re, im, base + t);
            Vec b = load(re, im, base + t + h);
            if (t == 0) {
                butterfly<0x01>(a, b, loadTwiddle(c, s, t));
            } else {
                butterfly<0>(a, b, loadTwiddle(c, s, t));
            }
            store(re, im, base + t, a);
            store(re, im, base + t + h, b);
        }
    }
}

/// Stages of span h and h/2 (h >= 16) in one pass. c1/s1 are the twiddles of span h (index t),
/// c2/s2 those of span h/2.
void radix4Pass(float* re, float* im, int n, int h, const float* c1, const float* s1,
                const float* c2, const float* s2)
{
    const int q = h / 2;
    for (int base = 0; base < n; base += 2 * h) {
        for (int t = 0; t < q; t += 8) {
            const int at = base + t;
            Vec x0 = load(re, im, at);
            Vec x1 = load(re, im, at + q);
            Vec x2 = load(re, im, at + h);
            Vec x3 = load(re, im, at + h + q);
            const Twiddle w2 = loadTwiddle(c2, s2, t);
            if (t == 0) {
                butterfly<0x01>(x0, x2, loadTwiddle(c1, s1, t));
                butterfly<0>(x1, x3, loadTwiddle(c1, s1, t + q));
                butterfly<0x01>(x0, x1, w2);
                butterfly<0x01>(x2, x3, w2);
            } else {
                butterfly<0>(x0, x2, loadTwiddle(c1, s1, t));
                butterfly<0>(x1, x3, loadTwiddle(c1, s1, t + q));
                butterfly<0>(x0, x1, w2);
                butterfly<0>(x2, x3, w2);
            }
            store(re, im, at, x0);
            store(re, im, at + q, x1);
            store(re, im, at + h, x2);
            store(re, im, at + h + q, x3);
        }
    }
}

/// r[i][j] = r[j][i] for an 8 x 8 block of floats.
inline void transpose8(__m256 r[8])
{
    __m256 t[8];
    for (int i = 0; i < 8; i += 2) {
        t[i] = _mm256_unpacklo_ps(r[i], r[i + 1]);
        t[i + 1] = _mm256_unpackhi_ps(r[i], r[i + 1]);
    }
    __m256 u[8];
    for (int i = 0; i < 8; i += 4) {
        u[i] = _mm256_shuffle_ps(t[i], t[i + 2], _MM_SHUFFLE(1, 0, 1, 0));
        u[i + 1] = _mm256_shuffle_ps(t[i], t[i + 2], _MM_SHUFFLE(3, 2, 3, 2));
        u[i + 2] = _mm256_shuffle_ps(t[i + 1], t[i + 3], _MM_SHUFFLE(1, 0, 1, 0));
        u[i + 3] = _mm256_shuffle_ps(t[i + 1], t[i + 3], _MM_SHUFFLE(3, 2, 3, 2));
    }
    for (int i = 0; i < 4; ++i) {
        r[i] = _mm256_permute2f128_ps(u[i], u[i + 4], 0x20);
        r[i + 4] = _mm256_permute2f128_ps(u[i], u[i + 4], 0x31);
    }
}

constexpr int kRev3[8] = {0, 4, 2, 6, 1, 5, 3, 7};

/// Twiddles of the last three stages, broadcast: span 4 uses k = l n/8 (l = 1..3), span 2 uses
/// k = n/4, span 1 none.
struct FinalTwiddles {
    Twiddle span4[4];
    Twiddle span2;
};

/// The last three stages of the 8 blocks whose results land in the columns colOut .. colOut+7 of
/// the 8 rows of n/8 elements, read from columns colIn .. colIn+7 of rows rev3(j). Results are
/// left in outRe/outIm (row l of the output in entries 8l .. 8l+7), scaled by `scale`.
void finalGroup(const float* re, const float* im, int rowLength, int colIn,
                const FinalTwiddles& w, __m256 scale, bool scaled, float* outRe, float* outIm)
{
    __m256 r[8];
    __m256 i8[8];
    for (int j = 0; j < 8; ++j) {
        r[j] = _mm256_loadu_ps(re + kRev3[j] * rowLength + colIn);
        i8[j] = _mm256_loadu_ps(im + kRev3[j] * rowLength + colIn);
    }
    transpose8(r);
    transpose8(i8);
    Vec x[8];
    for (int l = 0; l < 8; ++l) x[l] = {r[l], i8[l]};

    butterflyPlain(x[0], x[4]);
    butterfly<0>(x[1], x[5], w.span4[1]);
    butterfly<0>(x[2], x[6], w.span4[2]);
    butterfly<0>(x[3], x[7], w.span4[3]);

    butterflyPlain(x[0], x[2]);
    butterfly<0>(x[1], x[3], w.span2);
    butterflyPlain(x[4], x[6]);
    butterfly<0>(x[5], x[7], w.span2);

    butterflyPlain(x[0], x[1]);
    butterflyPlain(x[2], x[3]);
    butterflyPlain(x[4], x[5]);
    butterflyPlain(x[6], x[7]);

    for (int l = 0; l < 8; ++l) {
        if (scaled) {
            x[l].re = _mm256_mul_ps(x[l].re, scale);
            x[l].im = _mm256_mul_ps(x[l].im, scale);
        }
        // element l of each block belongs in output row rev3(l)
        _mm256_storeu_ps(outRe + 8 * kRev3[l], x[l].re);
        _mm256_storeu_ps(outIm + 8 * kRev3[l], x[l].im);
    }
}

void storeGroup(float* re, float* im, int rowLength, int colOut, const float* outRe,
                const float* outIm)
{
    for (int row = 0; row < 8; ++row) {
        _mm256_storeu_ps(re + row * rowLength + colOut, _mm256_loadu_ps(outRe + 8 * row));
        _mm256_storeu_ps(im + row * rowLength + colOut, _mm256_loadu_ps(outIm + 8 * row));
    }
}

int reverseBits(int v, int bits)
{
    int r = 0;
    for (int i = 0; i < bits; ++i) {
        r = (r << 1) | (v & 1);
        v >>= 1;
    }
    return r;
}

/// Last three stages, the reversed-binary permutation and the scaling of the inverse. The element
/// 8p + l ends at rev3(l) * n/8 + rev(p); the group of 8 output columns 8g .. 8g+7 is fed by the
/// columns 8 rev(g) .. of the rows rev3(j), so groups g and rev(g) trade places and are done
/// together.
void finalStages(float* re, float* im, int n, int m, const float* sinTab, const float* cosTab,
                 int sign)
{
    const int rowLength = n / 8;
    const int groupBits = m - 6;
    const int groups = 1 << groupBits;
    const float sg = sign == -1 ? -1.0f : 1.0f;

    FinalTwiddles w{};
    for (int l = 1; l < 4; ++l) {
        const int k = l * (n / 8);
        w.span4[l] = {_mm256_set1_ps(cosTab[k]), _mm256_set1_ps(sg * sinTab[k])};
    }
    w.span2 = {_mm256_set1_ps(cosTab[n / 4]), _mm256_set1_ps(sg * sinTab[n / 4])};
    const bool scaled = sign == -1;
    const __m256 scale = _mm256_set1_ps(1.0f / static_cast<float>(n));

    alignas(32) float aRe[64], aIm[64], bRe[64], bIm[64];
    for (int g = 0; g < groups; ++g) {
        const int partner = reverseBits(g, groupBits);
        if (partner < g) continue;
        finalGroup(re, im, rowLength, 8 * partner, w, scale, scaled, aRe, aIm);
        if (partner != g) {
            finalGroup(re, im, rowLength, 8 * g, w, scale, scaled, bRe, bIm);
            storeGroup(re, im, rowLength, 8 * partner, bRe, bIm);
        }
        storeGroup(re, im, rowLength, 8 * g, aRe, aIm);
    }
}

} // namespace

void fft4Avx2(int n, int m, float* re, float* im, const float* sinTab, const float* cosTab,
              int sign)
{
    // Twiddles of the current pass's two spans; the first span reads a signed copy of the
    // caller's tables, each later one takes every other entry of the span before it.
    alignas(32) float firstC[8192], firstS[8192];
    alignas(32) float secondC[4096], secondS[4096];

    int h = n / 2;
    signedTable(firstC, firstS, cosTab, sinTab, h, sign);
    while (h >= 16) {
        takeEven(secondC, firstC, h / 2);
        takeEven(secondS, firstS, h / 2);
        radix4Pass(re, im, n, h, firstC, firstS, secondC, secondS);
        h /= 4;
        if (h >= 8) {
            takeEven(firstC, secondC, h);
            takeEven(firstS, secondS, h);
        }
    }
    if (h == 8) radix2Pass(re, im, n, h, firstC, firstS);
    finalStages(re, im, n, m, sinTab, cosTab, sign);
}

} // namespace fourel
