// Portable passes of the noise spectrum, the tables they share with the AVX2 passes, and the
// surface fit from the row sums. The AVX2 passes must give the same bits as these: every value
// goes through the same operations in the same order.
#include "nnps_passes.h"

#include "lesq2d.h"

#include <cmath>
#include <cstddef>

namespace vantry::nps {
namespace {

/// Element e of the 256 at buf.
float* element(float* buf, int e)
{
    return buf + e * kElement;
}

/// The radix-4 butterfly of the four elements a[0 .. 3] in place, with the twiddles of row w
/// (nullptr: all 1) on outputs 1 .. 3: z_r = (sum of a_m (-i)^(r m)) (cos - i sin)(r).
void butterfly(float* const a[4], const float* w)
{
    for (int l = 0; l < kLanes; ++l) {
        const int i = l + kLanes;
        const float t0r = a[0][l] + a[2][l], t0i = a[0][i] + a[2][i];
        const float t1r = a[0][l] - a[2][l], t1i = a[0][i] - a[2][i];
        const float t2r = a[1][l] + a[3][l], t2i = a[1][i] + a[3][i];
        const float t3r = a[1][l] - a[3][l], t3i = a[1][i] - a[3][i];
        float zr[4] = {t0r + t2r, t1r + t3i, t0r - t2r, t1r - t3i};
        float zi[4] = {t0i + t2i, t1i - t3r, t0i - t2i, t1i + t3r};
        if (w != nullptr) {
            for (int r = 1; r < 4; ++r) {
                const float c = w[2 * (r - 1)], s = w[2 * (r - 1) + 1];
                const float re = zr[r] * c + zi[r] * s;
                const float im = zi[r] * c - zr[r] * s;
                zr[r] = re;
                zi[r] = im;
            }
        }
        for (int r = 0; r < 4; ++r) {
            a[r][l] = zr[r];
            a[r][i] = zi[r];
        }
    }
}

void stage(float* buf, int span, const float (*rows)[6])
{
    const int q = span / 4;
    for (int s = 0; s < kSide; s += span) {
        for (int n = 0; n < q; ++n) {
            float* const a[4] = {element(buf, s + n), element(buf, s + n + q),
                                 element(buf, s + n + 2 * q), element(buf, s + n + 3 * q)};
            butterfly(a, span == 4 ? nullptr : rows[n]);
        }
    }
}

void rowSumsPortable(const int16_t* block, int32_t stride, RowSums& sums)
{
    for (int y = 0; y < kSide; ++y) {
        const int16_t* row = block + static_cast<std::ptrdiff_t>(y) * stride;
        int32_t z = 0, xz = 0;
        int64_t xxz = 0;
        for (int x = 0; x < kSide; ++x) {
            z += row[x];
            xz += x * row[x];
            xxz += static_cast<int64_t>(x * x) * row[x];
        }
        sums.z[y] = z;
        sums.xz[y] = xz;
        sums.xxz[y] = xxz;
    }
}

void columnsPortable(const int16_t* block, int32_t stride, const Surface& f, const Tables& t,
                     const int16_t* /*next*/, Work& w)
{
    // Residual of every column pair, already in the layout of the column groups.
    for (int y = 0; y < kSide; ++y) {
        const int16_t* row = block + static_cast<std::ptrdiff_t>(y) * stride;
        for (int x = 0; x < kSide; ++x) {
            const auto z = static_cast<float>(row[x]);
            const auto fit = static_cast<float>(f.q[y] + t.x[x] * (f.b[y] + f.c3x[x]));
            // Offsets 0 .. 7 of a group of 16 are the real parts of its lanes, 8 .. 15 the
            // imaginary parts: the offset is the place in the element.
            element(w.columns + (x / 16) * kSide * kElement, y)[x % 16] = (z - fit) * f.scale;
        }
    }
    for (int g = 0; g < kColumnGroups; ++g) {
        float* buf = w.columns + g * kSide * kElement;
        stage(buf, 256, t.twiddle + kSpan256);
        stage(buf, 64, t.twiddle + kSpan64);
        stage(buf, 16, t.twiddle + kSpan16);
        stage(buf, 4, nullptr);
    }
}

void rowsPortable(const Tables& t, int32_t rowGroups, Work& w)
{
    for (int j = 0; j < rowGroups; ++j) {
        // 2 A(v) = C(v) + conj C(-v), 2 B(v) = -i (C(v) - conj C(-v)); lanes turned to run over v.
        for (int g = 0; g < kColumnGroups; ++g) {
            const float* group = w.columns + g * kSide * kElement;
            for (int i = 0; i < kLanes; ++i) {
                const int v = kLanes * j + 1 + i;
                const float* c = group + t.position[v] * kElement;
                const float* m = group + t.position[kSide - v] * kElement;
                for (int l = 0; l < kLanes; ++l) {
                    float* a = element(w.rows, 16 * g + l);
                    float* b = element(w.rows, 16 * g + kLanes + l);
                    a[i] = c[l] + m[l];
                    a[kLanes + i] = c[kLanes + l] - m[kLanes + l];
                    b[i] = c[kLanes + l] + m[kLanes + l];
                    b[kLanes + i] = m[l] - c[l];
                }
            }
        }
        stage(w.rows, 256, t.twiddle + kSpan256);
        stage(w.rows, 64, t.twiddle + kSpan64);
        stage(w.rows, 16, t.twiddle + kSpan16);
        stage(w.rows, 4, nullptr);
        float* power = w.power + j * kSide * kLanes;
        for (int p = 0; p < kSide; ++p) {
            const float* e = element(w.rows, p);
            for (int l = 0; l < kLanes; ++l) {
                power[p * kLanes + l] =
                    power[p * kLanes + l] + (e[l] * e[l] + e[kLanes + l] * e[kLanes + l]);
            }
        }
    }
}

void copyPortable(const int16_t* pixels, int32_t stride, int32_t width, int32_t rows, float* out,
                  int32_t outStride)
{
    for (int32_t y = 0; y < rows; ++y) {
        const int16_t* row = pixels + static_cast<std::ptrdiff_t>(y) * stride;
        float* to = out + static_cast<std::ptrdiff_t>(y) * outStride;
        for (int32_t x = 0; x < width; ++x) to[x] = row[x];
    }
}

} // namespace

Passes portablePasses()
{
    return {rowSumsPortable, columnsPortable, rowsPortable, copyPortable};
}

void buildTables(Tables& t, float pi2)
{
    // Angles as the workspace's own tables form them: index times PI2 over 256 in Single.
    const auto angle = [pi2](int k) {
        return static_cast<double>(static_cast<float>(k) * pi2 / static_cast<float>(kSide));
    };
    const auto fill = [&](int row0, int span) {
        for (int n = 0; n < span / 4; ++n) {
            for (int r = 1; r < 4; ++r) {
                const double a = angle(r * n * (kSide / span));
                t.twiddle[row0 + n][2 * (r - 1)] = static_cast<float>(std::cos(a));
                t.twiddle[row0 + n][2 * (r - 1) + 1] = static_cast<float>(std::sin(a));
            }
        }
    };
    fill(kSpan256, 256);
    fill(kSpan64, 64);
    fill(kSpan16, 16);
    for (int x = 0; x < kSide; ++x) {
        t.x[x] = x;
        int reversed = 0;
        for (int d = 0, rest = x; d < 4; ++d, rest /= 4) reversed = reversed * 4 + rest % 4;
        t.position[x] = static_cast<int16_t>(reversed);
    }
}

float blockMean(const RowSums& s)
{
    // As the block loop has always formed it: Single row sums (exact for Int16 pixels), each over
    // 256, added in Single, over 256.
    float rows = 0;
    for (int y = 0; y < kSide; ++y) rows += static_cast<float>(s.z[y]) / 256.0f;
    return rows / 256.0f;
}

void fitSurface(const RowSums& s, Surface& f)
{
    // The normal equations of LESQ2D: every sum is an integer below 2^53, so they come out
    // exactly as its point-by-point double sums, and so does the elimination.
    double power[5] = {};
    for (int x = 0; x < kSide; ++x) {
        const double X = x;
        power[0] += 1;
        power[1] += X;
        power[2] += X * X;
        power[3] += X * X * X;
        power[4] += X * X * X * X;
    }
    int64_t z = 0, xz = 0, yz = 0, xxz = 0, xyz = 0, yyz = 0;
    for (int y = 0; y < kSide; ++y) {
        z += s.z[y];
        xz += s.xz[y];
        yz += static_cast<int64_t>(y) * s.z[y];
        xxz += s.xxz[y];
        xyz += static_cast<int64_t>(y) * s.xz[y];
        yyz += static_cast<int64_t>(y * y) * s.z[y];
    }
    // Basis 1, x, y, x^2, x y, y^2 as powers of x and y.
    constexpr int kPx[6] = {0, 1, 0, 2, 1, 0};
    constexpr int kPy[6] = {0, 0, 1, 0, 1, 2};
    const int64_t moments[6] = {z, xz, yz, xxz, xyz, yyz};
    double M[6][7];
    for (int r = 0; r < 6; ++r) {
        for (int c = 0; c < 6; ++c) M[r][c] = power[kPx[r] + kPx[c]] * power[kPy[r] + kPy[c]];
        M[r][6] = static_cast<double>(moments[r]);
    }
    solveSurfaceEquations(M);
    for (int y = 0; y < kSide; ++y) {
        const double Y = y;
        f.q[y] = M[0][6] + M[2][6] * Y + M[5][6] * Y * Y;
        f.b[y] = M[1][6] + M[4][6] * Y;
    }
    for (int x = 0; x < kSide; ++x) f.c3x[x] = M[3][6] * x;
}

} // namespace vantry::nps
