// AVX2 passes of the noise spectrum, bit-identical to the portable ones: every value undergoes
// the same Single (or double) operations in the same order; only the lanes are worked at once.
// Compiled with -mavx2 only, so nothing is fused into a multiply-add, and called only after the
// run-time check. This file uses nothing inline from shared headers, so no AVX2 code can stand in
// for a portable function at link time.
#include "nnps_passes.h"
#include "transpose8_avx2.h"

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

namespace vantry::nps {
namespace {

struct Vec {
    __m256 re;
    __m256 im;
};

inline Vec load(const float* e)
{
    return {_mm256_load_ps(e), _mm256_load_ps(e + kLanes)};
}

inline void store(float* e, const Vec& v)
{
    _mm256_store_ps(e, v.re);
    _mm256_store_ps(e + kLanes, v.im);
}

inline Vec add(const Vec& a, const Vec& b)
{
    return {_mm256_add_ps(a.re, b.re), _mm256_add_ps(a.im, b.im)};
}

inline Vec sub(const Vec& a, const Vec& b)
{
    return {_mm256_sub_ps(a.re, b.re), _mm256_sub_ps(a.im, b.im)};
}

/// v (cos - i sin) with cos and sin of twiddle row w, entry r (1 .. 3).
inline Vec twiddle(const Vec& v, const float* w, int r)
{
    const __m256 c = _mm256_broadcast_ss(w + 2 * (r - 1));
    const __m256 s = _mm256_broadcast_ss(w + 2 * (r - 1) + 1);
    return {_mm256_add_ps(_mm256_mul_ps(v.re, c), _mm256_mul_ps(v.im, s)),
            _mm256_sub_ps(_mm256_mul_ps(v.im, c), _mm256_mul_ps(v.re, s))};
}

/// The four outputs of a radix-4 butterfly before the twiddles: z_r = sum of a_m (-i)^(r m).
inline void butterfly(const Vec a[4], Vec z[4])
{
    const Vec t0 = add(a[0], a[2]);
    const Vec t1 = sub(a[0], a[2]);
    const Vec t2 = add(a[1], a[3]);
    const Vec t3 = sub(a[1], a[3]);
    z[0] = add(t0, t2);
    z[2] = sub(t0, t2);
    z[1] = {_mm256_add_ps(t1.re, t3.im), _mm256_sub_ps(t1.im, t3.re)};
    z[3] = {_mm256_sub_ps(t1.re, t3.im), _mm256_add_ps(t1.im, t3.re)};
}

/// One stage of span `span` over the 256 elements at buf; twiddle rows from `rows`.
void stage(float* buf, int span, const float (*rows)[6])
{
    const int q = span / 4;
    for (int s = 0; s < kSide; s += span) {
        for (int n = 0; n < q; ++n) {
            float* e = buf + (s + n) * kElement;
            Vec a[4];
            for (int m = 0; m < 4; ++m) a[m] = load(e + m * q * kElement);
            Vec z[4];
            butterfly(a, z);
            store(e, z[0]);
            for (int r = 1; r < 4; ++r) store(e + r * q * kElement, twiddle(z[r], rows[n], r));
        }
    }
}

/// The last stage (span 4, no twiddles) over the 256 elements at buf, in place.
void lastStage(float* buf)
{
    for (int s = 0; s < kSide; s += 4) {
        float* e = buf + s * kElement;
        Vec a[4];
        for (int m = 0; m < 4; ++m) a[m] = load(e + m * kElement);
        Vec z[4];
        butterfly(a, z);
        for (int r = 0; r < 4; ++r) store(e + r * kElement, z[r]);
    }
}

/// The last stage with its outputs squared and added into the power sums at power.
void lastStageIntoPower(const float* buf, float* power)
{
    for (int s = 0; s < kSide; s += 4) {
        const float* e = buf + s * kElement;
        Vec a[4];
        for (int m = 0; m < 4; ++m) a[m] = load(e + m * kElement);
        Vec z[4];
        butterfly(a, z);
        for (int r = 0; r < 4; ++r) {
            float* p = power + (s + r) * kLanes;
            const __m256 sq =
                _mm256_add_ps(_mm256_mul_ps(z[r].re, z[r].re), _mm256_mul_ps(z[r].im, z[r].im));
            _mm256_store_ps(p, _mm256_add_ps(_mm256_load_ps(p), sq));
        }
    }
}

inline int32_t horizontalSum(__m256i v)
{
    __m128i s = _mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(1, 0, 3, 2)));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(2, 3, 0, 1)));
    return _mm_cvtsi128_si32(s);
}

/// Whole cache lines of the copy go out with non-temporal stores, which do not read the line
/// first; the pieces of lines at the two ends of a row are stored normally, so that no line is
/// written in part by the streaming path.
void copyAvx2(const int16_t* pixels, int32_t stride, int32_t width, int32_t rows, float* out,
              int32_t outStride)
{
    for (int32_t y = 0; y < rows; ++y) {
        const int16_t* row = pixels + static_cast<std::ptrdiff_t>(y) * stride;
        float* to = out + static_cast<std::ptrdiff_t>(y) * outStride;
        const auto at = reinterpret_cast<std::uintptr_t>(to);
        const int head = static_cast<int>(((64 - at % 64) % 64) / sizeof(float)); // 0, 4, 8 or 12
        const auto eight = [row](int32_t x) {
            return _mm256_cvtepi32_ps(
                _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x))));
        };
        const auto four = [row](int32_t x) {
            return _mm_cvtepi32_ps(
                _mm_cvtepi16_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + x))));
        };
        for (int32_t x = 0; x < head; x += 4) _mm_store_ps(to + x, four(x));
        int32_t x = head;
        for (; x + 16 <= width; x += 16) {
            _mm256_stream_ps(to + x, eight(x));
            _mm256_stream_ps(to + x + 8, eight(x + 8));
        }
        for (; x < width; x += 4) _mm_store_ps(to + x, four(x));
    }
    _mm_sfence();
}

void rowSumsAvx2(const int16_t* block, int32_t stride, RowSums& sums)
{
    // Pairs of Int16 products are summed into Int32 by madd; x^2 (up to 65025) does not fit an
    // Int16, so it is split into 256 hi + lo, both below 256. A row's sum of hi z stays below
    // 256 x 254 x 32768 < 2^31.
    __m256i xs[kSide / 16], his[kSide / 16], los[kSide / 16];
    for (int k = 0; k < kSide / 16; ++k) {
        alignas(32) int16_t x[16], hi[16], lo[16];
        for (int i = 0; i < 16; ++i) {
            const int v = 16 * k + i;
            x[i] = static_cast<int16_t>(v);
            hi[i] = static_cast<int16_t>((v * v) >> 8);
            lo[i] = static_cast<int16_t>((v * v) & 255);
        }
        xs[k] = _mm256_load_si256(reinterpret_cast<const __m256i*>(x));
        his[k] = _mm256_load_si256(reinterpret_cast<const __m256i*>(hi));
        los[k] = _mm256_load_si256(reinterpret_cast<const __m256i*>(lo));
    }
    const __m256i ones = _mm256_set1_epi16(1);
    for (int y = 0; y < kSide; ++y) {
        const int16_t* row = block + static_cast<std::ptrdiff_t>(y) * stride;
        __m256i z = _mm256_setzero_si256(), xz = z, hz = z, lz = z;
        for (int k = 0; k < kSide / 16; ++k) {
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + 16 * k));
            z = _mm256_add_epi32(z, _mm256_madd_epi16(v, ones));
            xz = _mm256_add_epi32(xz, _mm256_madd_epi16(v, xs[k]));
            hz = _mm256_add_epi32(hz, _mm256_madd_epi16(v, his[k]));
            lz = _mm256_add_epi32(lz, _mm256_madd_epi16(v, los[k]));
        }
        sums.z[y] = horizontalSum(z);
        sums.xz[y] = horizontalSum(xz);
        sums.xxz[y] = 256 * static_cast<int64_t>(horizontalSum(hz)) + horizontalSum(lz);
    }
}

/// Eight values of the surface of one row from x0 on, rounded to Single.
inline __m256 surfaceAt(const Surface& f, const Tables& t, __m256d q, __m256d b, int x0)
{
    __m128 half[2];
    for (int h = 0; h < 2; ++h) {
        const int x = x0 + 4 * h;
        const __m256d inner = _mm256_add_pd(b, _mm256_loadu_pd(f.c3x + x));
        half[h] = _mm256_cvtpd_ps(_mm256_add_pd(q, _mm256_mul_pd(_mm256_load_pd(t.x + x), inner)));
    }
    return _mm256_set_m128(half[1], half[0]);
}

/// Residual of the 16 pixels of a row from x0 on: columns x0 .. x0+7 as the real, x0+8 .. x0+15
/// as the imaginary parts.
inline Vec residual(const int16_t* row, const Surface& f, const Tables& t, __m256d q, __m256d b,
                    __m256 scale, int x0)
{
    const __m128i* p = reinterpret_cast<const __m128i*>(row + x0);
    const __m256 zr = _mm256_cvtepi32_ps(_mm256_cvtepi16_epi32(_mm_loadu_si128(p)));
    const __m256 zi = _mm256_cvtepi32_ps(_mm256_cvtepi16_epi32(_mm_loadu_si128(p + 1)));
    const __m256 fr = surfaceAt(f, t, q, b, x0);
    const __m256 fi = surfaceAt(f, t, q, b, x0 + kLanes);
    return {_mm256_mul_ps(_mm256_sub_ps(zr, fr), scale),
            _mm256_mul_ps(_mm256_sub_ps(zi, fi), scale)};
}

void columnsAvx2(const int16_t* block, int32_t stride, const Surface& f, const Tables& t,
                 const int16_t* next, Work& w)
{
    const __m256 scale = _mm256_set1_ps(f.scale);
    // The first stage (span 256) takes the rows n, n + 64, n + 128, n + 192 straight from the
    // image, so the residual is never stored.
    constexpr int kQuarter = kSide / 4;
    for (int n = 0; n < kQuarter; ++n) {
        const int16_t* rows[4];
        __m256d q[4], b[4];
        for (int m = 0; m < 4; ++m) {
            const int y = n + m * kQuarter;
            rows[m] = block + static_cast<std::ptrdiff_t>(y) * stride;
            q[m] = _mm256_set1_pd(f.q[y]);
            b[m] = _mm256_set1_pd(f.b[y]);
        }
        const float* tw = t.twiddle[kSpan256 + n];
        for (int g = 0; g < kColumnGroups; ++g) {
            Vec a[4];
            for (int m = 0; m < 4; ++m) a[m] = residual(rows[m], f, t, q[m], b[m], scale, 16 * g);
            Vec z[4];
            butterfly(a, z);
            float* e = w.columns + (g * kSide + n) * kElement;
            store(e, z[0]);
            for (int r = 1; r < 4; ++r) store(e + r * kQuarter * kElement, twiddle(z[r], tw, r));
        }
        // The next block's rows come into the cache while the transforms compute: its rows lie
        // a page or more apart, which the processor's own prefetching does not follow.
        if (next != nullptr) {
            for (int m = 0; m < 4; ++m) {
                const auto* p = reinterpret_cast<const char*>(
                    next + static_cast<std::ptrdiff_t>(n + m * kQuarter) * stride);
                for (int line = 0; line < kSide * 2; line += 64)
                    _mm_prefetch(p + line, _MM_HINT_T0);
            }
        }
    }
    for (int g = 0; g < kColumnGroups; ++g) {
        float* buf = w.columns + g * kSide * kElement;
        stage(buf, 64, t.twiddle + kSpan64);
        stage(buf, 16, t.twiddle + kSpan16);
        lastStage(buf);
    }
}

/// Splits the pairs of column group g for the eight rows of row group j and writes them, turned
/// so that the lanes run over v, as elements x = 16 g .. 16 g + 15 of the row buffer.
///
/// With C the transform of a + i b, 2 A(v) = C(v) + conj C(-v) and
/// 2 B(v) = -i (C(v) - conj C(-v)): only sums and differences, the factor 2 stays in the power.
void splitGroup(const Tables& t, const float* group, int j, float* rows)
{
    const float* at[kLanes];
    const float* mirror[kLanes];
    for (int i = 0; i < kLanes; ++i) {
        const int v = kLanes * j + 1 + i;
        at[i] = group + t.position[v] * kElement;
        mirror[i] = group + t.position[kSide - v] * kElement;
    }
    __m256 r[8];
    // 2 A.re = C.re + C'.re
    for (int i = 0; i < kLanes; ++i)
        r[i] = _mm256_add_ps(_mm256_load_ps(at[i]), _mm256_load_ps(mirror[i]));
    simd::transpose8(r);
    for (int l = 0; l < kLanes; ++l) _mm256_store_ps(rows + l * kElement, r[l]);
    // 2 A.im = C.im - C'.im
    for (int i = 0; i < kLanes; ++i) {
        r[i] = _mm256_sub_ps(_mm256_load_ps(at[i] + kLanes), _mm256_load_ps(mirror[i] + kLanes));
    }
    simd::transpose8(r);
    for (int l = 0; l < kLanes; ++l) _mm256_store_ps(rows + l * kElement + kLanes, r[l]);
    // 2 B.re = C.im + C'.im
    for (int i = 0; i < kLanes; ++i) {
        r[i] = _mm256_add_ps(_mm256_load_ps(at[i] + kLanes), _mm256_load_ps(mirror[i] + kLanes));
    }
    simd::transpose8(r);
    for (int l = 0; l < kLanes; ++l) _mm256_store_ps(rows + (kLanes + l) * kElement, r[l]);
    // 2 B.im = C'.re - C.re
    for (int i = 0; i < kLanes; ++i)
        r[i] = _mm256_sub_ps(_mm256_load_ps(mirror[i]), _mm256_load_ps(at[i]));
    simd::transpose8(r);
    for (int l = 0; l < kLanes; ++l) _mm256_store_ps(rows + (kLanes + l) * kElement + kLanes, r[l]);
}

void rowsAvx2(const Tables& t, int32_t rowGroups, Work& w)
{
    for (int j = 0; j < rowGroups; ++j) {
        for (int g = 0; g < kColumnGroups; ++g) {
            splitGroup(t, w.columns + g * kSide * kElement, j, w.rows + 16 * g * kElement);
        }
        stage(w.rows, 256, t.twiddle + kSpan256);
        stage(w.rows, 64, t.twiddle + kSpan64);
        stage(w.rows, 16, t.twiddle + kSpan16);
        lastStageIntoPower(w.rows, w.power + j * kSide * kLanes);
    }
}

} // namespace

Passes avx2Passes()
{
    return {rowSumsAvx2, columnsAvx2, rowsAvx2, copyAvx2};
}

} // namespace vantry::nps
