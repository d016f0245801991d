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

/// Twiddles t .. t+7 of a span; flip holds the sign bit when the sines are to be negated.
inline Twiddle loadTwiddle(const float* c, const float* s, int t, __m256 flip)
{
    return {_mm256_loadu_ps(c + t), _mm256_xor_ps(_mm256_loadu_ps(s + t), flip)};
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

/// One stage of span h >= 8 over the whole array; twiddles c/s indexed by t.
void radix2Pass(float* re, float* im, int n, int h, const float* c, const float* s, __m256 flip)
{
    for (int base = 0; base < n; base += 2 * h) {
        for (int t = 0; t < h; t += 8) {
            Vec a = load(re, im, base + t);
            Vec b = load(re, im, base + t + h);
            if (t == 0) {
                butterfly<0x01>(a, b, loadTwiddle(c, s, t, flip));
            } else {
                butterfly<0>(a, b, loadTwiddle(c, s, t, flip));
            }
            store(re, im, base + t, a);
            store(re, im, base + t + h, b);
        }
    }
}

/// Stages of span h and h/2 (h >= 16) in one pass. c1/s1 are the twiddles of span h (index t),
/// c2/s2 those of span h/2.
void radix4Pass(float* re, float* im, int n, int h, const float* c1, const float* s1,
                const float* c2, const float* s2, __m256 flip)
{
    const int q = h / 2;
    for (int base = 0; base < n; base += 2 * h) {
        for (int t = 0; t < q; t += 8) {
            const int at = base + t;
            Vec x0 = load(re, im, at);
            Vec x1 = load(re, im, at + q);
            Vec x2 = load(re, im, at + h);
            Vec x3 = load(re, im, at + h + q);
            const Twiddle w2 = loadTwiddle(c2, s2, t, flip);
            if (t == 0) {
                butterfly<0x01>(x0, x2, loadTwiddle(c1, s1, t, flip));
                butterfly<0>(x1, x3, loadTwiddle(c1, s1, t + q, flip));
                butterfly<0x01>(x0, x1, w2);
                butterfly<0x01>(x2, x3, w2);
            } else {
                butterfly<0>(x0, x2, loadTwiddle(c1, s1, t, flip));
                butterfly<0>(x1, x3, loadTwiddle(c1, s1, t + q, flip));
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

constexpr int reverseBits(int v, int bits)
{
    int r = 0;
    for (int i = 0; i < bits; ++i) {
        r = (r << 1) | (v & 1);
        v >>= 1;
    }
    return r;
}

/// The last Q stages and the reversed-binary permutation, on tiles of S x S elements (S = 2^Q).
///
/// Write an index as (a, b, c) with a its top Q bits, c its low Q bits and b the bits between.
/// The last Q stages pair elements that differ only in c, and the permutation sends (a, b, c) to
/// (rev c, rev b, rev a). So the tile of rows a (n/S apart) and columns c at middle b is loaded,
/// transposed (row c then holds every a, in the order rev a), run through the stages row against
/// row, and stored as rows rev c at middle rev b. Tiles b and rev b trade places and are done
/// together.
template <int Q>
class FinalStages {
public:
    static constexpr int S = 1 << Q;
    static constexpr int kHalves = S / 8; // vectors per tile row

    FinalStages(int n, int m, const float* sinTab, const float* cosTab, int sign)
        : m_n(n), m_rowLength(n / S), m_middleBits(m - 2 * Q), m_scaled(sign == -1),
          m_scale(_mm256_set1_ps(1.0f / static_cast<float>(n)))
    {
        const float sg = sign == -1 ? -1.0f : 1.0f;
        for (int h = 1; h < S; h *= 2) {
            for (int t = 1; t < h; ++t) {
                const int k = t * (n / (2 * h));
                m_c[h + t] = cosTab[k];
                m_s[h + t] = sg * sinTab[k];
            }
        }
    }

    void run(float* re, float* im)
    {
        const int middles = 1 << m_middleBits;
        for (int b = 0; b < middles; ++b) {
            const int partner = reverseBits(b, m_middleBits);
            if (partner < b) continue;
            loadTile(re, im, b, m_a);
            if (partner != b) loadTile(re, im, partner, m_b);
            stagesAndStore(m_a, re, im, partner);
            if (partner != b) stagesAndStore(m_b, re, im, b);
        }
    }

private:
    struct Tile {
        alignas(32) float re[S][S];
        alignas(32) float im[S][S];
    };

    /// Tile row c, lane j <- element (a = rev j, b, c).
    void loadTile(const float* re, const float* im, int b, Tile& tile) const
    {
        for (int rowBlock = 0; rowBlock < S; rowBlock += 8) {
            for (int colBlock = 0; colBlock < S; colBlock += 8) {
                __m256 r[8];
                __m256 i[8];
                for (int j = 0; j < 8; ++j) {
                    const int at = reverseBits(rowBlock + j, Q) * m_rowLength + b * S + colBlock;
                    r[j] = _mm256_loadu_ps(re + at);
                    i[j] = _mm256_loadu_ps(im + at);
                }
                transpose8(r);
                transpose8(i);
                for (int c = 0; c < 8; ++c) {
                    _mm256_store_ps(&tile.re[colBlock + c][rowBlock], r[c]);
                    _mm256_store_ps(&tile.im[colBlock + c][rowBlock], i[c]);
                }
            }
        }
    }

    Vec row(const Tile& tile, int c, int half) const
    {
        return {_mm256_load_ps(&tile.re[c][8 * half]), _mm256_load_ps(&tile.im[c][8 * half])};
    }
    static void putRow(Tile& tile, int c, int half, const Vec& v)
    {
        _mm256_store_ps(&tile.re[c][8 * half], v.re);
        _mm256_store_ps(&tile.im[c][8 * half], v.im);
    }
    Twiddle twiddle(int h, int t) const
    {
        return {_mm256_set1_ps(m_c[h + t]), _mm256_set1_ps(m_s[h + t])};
    }
    void rowButterfly(Vec& a, Vec& b, int h, int t) const
    {
        if (t == 0) {
            butterflyPlain(a, b);
        } else {
            butterfly<0>(a, b, twiddle(h, t));
        }
    }

    /// Stage of span h between tile rows.
    void rowStage(Tile& tile, int h) const
    {
        for (int base = 0; base < S; base += 2 * h) {
            for (int t = 0; t < h; ++t) {
                for (int half = 0; half < kHalves; ++half) {
                    Vec a = row(tile, base + t, half);
                    Vec b = row(tile, base + t + h, half);
                    rowButterfly(a, b, h, t);
                    putRow(tile, base + t, half, a);
                    putRow(tile, base + t + h, half, b);
                }
            }
        }
    }

    /// Stages of span h and h/2 between tile rows, four rows at a time.
    void rowStagePair(Tile& tile, int h) const
    {
        const int q = h / 2;
        for (int base = 0; base < S; base += 2 * h) {
            for (int t = 0; t < q; ++t) {
                for (int half = 0; half < kHalves; ++half) {
                    Vec x0 = row(tile, base + t, half);
                    Vec x1 = row(tile, base + t + q, half);
                    Vec x2 = row(tile, base + t + h, half);
                    Vec x3 = row(tile, base + t + h + q, half);
                    rowButterfly(x0, x2, h, t);
                    rowButterfly(x1, x3, h, t + q);
                    rowButterfly(x0, x1, q, t);
                    rowButterfly(x2, x3, q, t);
                    putRow(tile, base + t, half, x0);
                    putRow(tile, base + t + q, half, x1);
                    putRow(tile, base + t + h, half, x2);
                    putRow(tile, base + t + h + q, half, x3);
                }
            }
        }
    }

    void stagesAndStore(Tile& tile, float* re, float* im, int b) const
    {
        int h = S / 2;
        if (Q % 2 == 1) {
            rowStage(tile, h);
            h /= 2;
        }
        for (; h >= 2; h /= 4) rowStagePair(tile, h);
        for (int c = 0; c < S; ++c) {
            const int at = reverseBits(c, Q) * m_rowLength + b * S;
            for (int half = 0; half < kHalves; ++half) {
                Vec v = row(tile, c, half);
                if (m_scaled) {
                    v.re = _mm256_mul_ps(v.re, m_scale);
                    v.im = _mm256_mul_ps(v.im, m_scale);
                }
                store(re, im, at + 8 * half, v);
            }
        }
    }

    int m_n;
    int m_rowLength;
    int m_middleBits;
    bool m_scaled;
    __m256 m_scale;
    float m_c[S] = {};
    float m_s[S] = {};
    Tile m_a;
    Tile m_b;
};

/// Memory passes for the stages of span n/2 down to `lastSpan`: two stages per pass, a single
/// first stage when their number is odd. Each span's twiddles are every other one of the span
/// before it; the sign mask is applied to the sines as they are loaded.
void memoryStages(float* re, float* im, int n, int lastSpan, const float* sinTab,
                  const float* cosTab, int sign)
{
    alignas(32) float bufC[2][4096];
    alignas(32) float bufS[2][4096];
    int next = 0;
    const float* curC = cosTab;
    const float* curS = sinTab;
    auto halve = [&](int entries) {
        takeEven(bufC[next], curC, entries);
        takeEven(bufS[next], curS, entries);
        curC = bufC[next];
        curS = bufS[next];
        next ^= 1;
    };
    const __m256 flip = _mm256_set1_ps(sign == -1 ? -0.0f : 0.0f);

    int stages = 0;
    for (int h = n / 2; h >= lastSpan; h /= 2) ++stages;
    int h = n / 2;
    if (stages % 2 == 1) {
        radix2Pass(re, im, n, h, curC, curS, flip);
        h /= 2;
        if (h >= lastSpan) halve(h);
    }
    for (; h >= 2 * lastSpan; h /= 4) {
        const float* firstC = curC;
        const float* firstS = curS;
        halve(h / 2);
        radix4Pass(re, im, n, h, firstC, firstS, curC, curS, flip);
        if (h / 4 >= lastSpan) halve(h / 4);
    }
}

} // namespace

void fft4Avx2(int n, int m, float* re, float* im, const float* sinTab, const float* cosTab,
              int sign)
{
    if (m >= 8) {
        memoryStages(re, im, n, 16, sinTab, cosTab, sign);
        FinalStages<4>(n, m, sinTab, cosTab, sign).run(re, im);
    } else {
        memoryStages(re, im, n, 8, sinTab, cosTab, sign);
        FinalStages<3>(n, m, sinTab, cosTab, sign).run(re, im);
    }
}

} // namespace fourel
