#pragma once
// The per-block passes of the noise spectrum, in a portable and an AVX2 version that give
// identical bits. The driver (nnps_blocks.cpp) fits the trend of each block, runs the passes
// block after block and bins the power summed over the blocks once at the end.
//
// A block is real, so its spectrum is known from one half-plane. The passes transform the
// detrended block along y with two real columns in one complex transform (16 columns side by side
// in the eight lanes of a vector), split the pairs apart for the frequency rows v = 1 .. 128 only,
// transform those rows along x, and add |X(u, v)|^2 of every u into a running sum per position.
// Both transforms are radix-4, decimation in frequency, with their outputs left in the order of
// the reversed base-4 digits.

#include <cstdint>

namespace vantry::nps {

/// Side of a block.
constexpr int32_t kSide = 256;
/// Values side by side in one vector.
constexpr int32_t kLanes = 8;
/// Floats per element of the work arrays: eight real parts, then their eight imaginary parts.
constexpr int32_t kElement = 2 * kLanes;
/// Columns are transformed 16 at a time: x = 16 g + l is the real part of lane l of group g,
/// x = 16 g + 8 + l its imaginary part.
constexpr int32_t kColumnGroups = kSide / (2 * kLanes);
/// The frequency rows v = 1 .. 128, eight to a group: v = 8 j + 1 + l is lane l of group j.
constexpr int32_t kRowGroups = (kSide / 2) / kLanes;
/// Butterflies of the three radix-4 stages that have twiddles: spans 256, 64 and 16.
constexpr int32_t kTwiddleRows = 64 + 16 + 4;
/// First twiddle row of each of those stages.
constexpr int32_t kSpan256 = 0, kSpan64 = 64, kSpan16 = 80;

/// Exact sums of each pixel row of a block over x = 0 .. 255.
struct RowSums {
    int32_t z[kSide];   ///< sum of z
    int32_t xz[kSide];  ///< sum of x z
    int64_t xxz[kSide]; ///< sum of x^2 z
};

/// The fitted surface of one block as the passes subtract it: row y holds
/// q[y] + x (b[y] + c3x[x]), evaluated in double and rounded to Single, and the difference is
/// multiplied by scale (1 / mean, or 1 for the absolute spectrum).
struct Surface {
    double q[kSide];
    double b[kSide];
    double c3x[kSide];
    float scale = 1;
};

/// What stays the same for every block of a run.
struct Tables {
    /// Row kSpanL + n, for butterfly n of the stage of span L: cos and sin of 2 pi r n / L for
    /// r = 1, 2, 3 (forward transform: a value is multiplied by cos - i sin).
    alignas(32) float twiddle[kTwiddleRows][6];
    /// x = 0 .. 255 as doubles.
    alignas(32) double x[kSide];
    /// Where frequency f (0 .. 255) lies in a transform's output: its base-4 digits reversed.
    int16_t position[kSide];
};

/// The arrays of one block, 64-byte aligned.
struct alignas(64) Work {
    /// Column transforms: element e of group g at (g kSide + e) kElement.
    float columns[kColumnGroups * kSide * kElement];
    /// Row transforms of one row group: element x at x kElement.
    float rows[kSide * kElement];
    /// Sum over the blocks of |X|^2 with the unnormalised factor 4 of the split pairs: position p
    /// of row group j at (j kSide + p) kLanes. The driver zeroes it at the start of a run.
    float power[kRowGroups * kSide * kLanes];
};

/// Fills the row sums of the kSide x kSide Int16 block whose rows start stride values apart.
using RowSumsPass = void (*)(const int16_t* block, int32_t stride, RowSums& sums);
/// Subtracts the surface, scales, and transforms every column of the block into w.columns.
/// When next is not null, the rows of that block (same stride) are asked into the cache
/// meanwhile.
using ColumnPass = void (*)(const int16_t* block, int32_t stride, const Surface& surface,
                            const Tables& t, const int16_t* next, Work& w);
/// Writes `rows` rows of `width` Int16 pixels (a multiple of 16), stride apart, as Single to
/// out, rows outStride apart (16-byte aligned). The AVX2 pass stores whole cache lines past the
/// caches: nothing reads the copy again during the run.
using CopyPass = void (*)(const int16_t* pixels, int32_t stride, int32_t width, int32_t rows,
                          float* out, int32_t outStride);
/// Splits the column pairs for the first rowGroups row groups, transforms those rows and adds
/// their power into w.power.
using RowPass = void (*)(const Tables& t, int32_t rowGroups, Work& w);

struct Passes {
    RowSumsPass rowSums;
    ColumnPass columns;
    RowPass rows;
    CopyPass copy;
};

/// The twiddles, coordinates and output positions of a run; pi2 is the workspace's 2 pi (PI2),
/// from which its sine and cosine tables are formed.
void buildTables(Tables& t, float pi2);
/// The block mean as the block loop forms it: row sums over 256, added in Single, over 256.
float blockMean(const RowSums& s);
/// The least-squares quadratic surface of LESQ2D (same normal equations, same elimination, same
/// coefficients) from the row sums; leaves scale as it is.
void fitSurface(const RowSums& s, Surface& f);

/// Plain C++ passes, for any processor.
Passes portablePasses();
/// AVX2 passes; call only where the processor has AVX2.
Passes avx2Passes();

} // namespace vantry::nps
