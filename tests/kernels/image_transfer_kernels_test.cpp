// Block average, window mapping and radial expansion kernels of libParvel.so.
#include "kernel_library.h"
#include "parvel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

const KernelLibrary& lib()
{
    return parvelLibrary();
}

TEST(BlockAverage, RoundsTheSingleSumOverTheBlock)
{
    std::vector<int16_t> img{1, 2, 3, 4, 5, 6, 7, 8, 10};
    int16_t out = 0;
    KERNEL_ENTRY(lib(), pixavei)(img.data() + 4, &out, 1, 3);
    EXPECT_EQ(out, 5) << "46 / 9 = 5.11";

    KERNEL_ENTRY(lib(), pixavei)(img.data() + 4, &out, 0, 3);
    EXPECT_EQ(out, 5) << "n = 0 copies the centre";

    // A 3x3 block inside a wider image: the stride is honoured and a negative mean rounds to
    // nearest, not down.
    std::vector<int16_t> wide(5 * 3, 1000);
    const int16_t block[9] = {-4, -5, -4, -5, -4, -5, -4, -5, -4};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) wide[r * 5 + 1 + c] = block[r * 3 + c];
    KERNEL_ENTRY(lib(), pixavei)(wide.data() + 5 + 2, &out, 1, 5);
    EXPECT_EQ(out, -4) << "-40 / 9 = -4.44";
}

TEST(WindowMapping, SingleImageClampsAndRoundsHalfToEven)
{
    // A 3x3 image with ww = 100, wl = 50: lo = 0, hi = 100.
    std::vector<float> src{100, 150, 50, 0, -10, 25, 99.9f, 0.1f, 49.8f};
    std::vector<uint8_t> dst(9, 0xEE);
    KERNEL_ENTRY(lib(), ct4trn)(dst.data(), src.data(), 100, 50, 3);
    // source row i lands in picture row 2 - i
    EXPECT_EQ(dst[6], 255);
    EXPECT_EQ(dst[7], 255);
    EXPECT_EQ(dst[8], 128) << "0.5 * 255 = 127.5 rounds to 128";
    EXPECT_EQ(dst[3], 0);
    EXPECT_EQ(dst[4], 0);
    EXPECT_EQ(dst[5], 64) << "0.25 * 255 = 63.75";
    EXPECT_EQ(dst[0], 255) << "99.9 of 100 gives 254.7 -> 255";
    EXPECT_EQ(dst[1], 0) << "0.1 * 2.55 = 0.255";
    EXPECT_EQ(dst[2], 127) << "49.8 * 2.55 = 126.99";
}

TEST(WindowMapping, Int16ImageAddsTheOffsetFirst)
{
    std::vector<int16_t> src{-1000, -950, -900, -1100};
    std::vector<uint8_t> dst(4, 0xEE);
    KERNEL_ENTRY(lib(), ct2trn)(dst.data(), src.data(), 100, 50, 1000, 2);
    EXPECT_EQ(dst[2], 0);
    EXPECT_EQ(dst[3], 128);
    EXPECT_EQ(dst[0], 255);
    EXPECT_EQ(dst[1], 0);
}

TEST(WindowMapping, OddWidthTruncatesTheHalfWidth)
{
    // ww = 3: half = 1, lo = 9, hi = 11; 10 lies halfway, 127.5 -> 128.
    std::vector<float> src{10.0f};
    std::vector<uint8_t> dst(1);
    KERNEL_ENTRY(lib(), ct4trn)(dst.data(), src.data(), 3, 10, 1);
    EXPECT_EQ(dst[0], 128);
    // ww = 1: half = 0, lo = hi: nothing lies between, no division by zero.
    src = {10.0f};
    KERNEL_ENTRY(lib(), ct4trn)(dst.data(), src.data(), 1, 10, 1);
    EXPECT_EQ(dst[0], 255);
    src = {9.99f};
    KERNEL_ENTRY(lib(), ct4trn)(dst.data(), src.data(), 1, 10, 1);
    EXPECT_EQ(dst[0], 0);
}

/// Radial table whose entry i holds i, so the plane shows which entry each position read.
std::vector<int32_t> identityTable(size_t n)
{
    std::vector<int32_t> t(n);
    for (size_t i = 0; i < n; ++i) t[i] = static_cast<int32_t>(i);
    return t;
}

long long expectedRadialIndex(int i, int j, int n, int samplesPerBin)
{
    const int fold = n / 2 + 1;
    const long double fx = i < fold ? i : n - i;
    const long double fy = j < fold ? j : n - j;
    const float r = static_cast<float>(std::sqrt(fx * fx + fy * fy));
    return std::llrint(static_cast<double>(r) * samplesPerBin);
}

TEST(RadialExpansion, PlaneReadsTheTableAtTheFoldedRadius)
{
    for (auto [n, samples] : {std::pair{512, 32}, std::pair{256, 16}}) {
        const auto last = static_cast<size_t>(std::llrint(n / 2 * std::sqrt(2.0) * samples));
        const auto table = identityTable(last + 1);
        std::vector<int32_t> plane(static_cast<size_t>(n) * n, -1);
        if (n == 512) {
            KERNEL_ENTRY(lib(), cttf512)(plane.data(), const_cast<int32_t*>(table.data()));
        } else {
            KERNEL_ENTRY(lib(), cttf256)(plane.data(), const_cast<int32_t*>(table.data()));
        }
        EXPECT_EQ(plane[0], 0);
        EXPECT_EQ(plane[(n / 2) * n + n / 2], static_cast<int32_t>(last)) << "its last entry";
        for (int j = 0; j < n; ++j) {
            for (int i = 0; i < n; ++i) {
                ASSERT_EQ(plane[j * n + i], expectedRadialIndex(i, j, n, samples))
                    << "n=" << n << " at (" << i << ", " << j << ")";
            }
        }
    }
}

TEST(RadialExpansion, HalfPlaneOfASquareMatchesTheFullPlane)
{
    const auto table = identityTable(11586);
    std::vector<int32_t> full(512 * 512);
    KERNEL_ENTRY(lib(), cttf512)(full.data(), const_cast<int32_t*>(table.data()));
    std::vector<int32_t> half(2 * 512 * 257, -1);
    KERNEL_ENTRY(lib(), cttfc)(half.data(), const_cast<int32_t*>(table.data()), 512, 512);
    for (int i = 0; i < 512; ++i) {
        for (int j = 0; j <= 256; ++j) {
            const size_t at = 2 * (static_cast<size_t>(i) * 257 + j);
            ASSERT_EQ(half[at], full[i * 512 + j]) << i << "," << j;
            ASSERT_EQ(half[at + 1], half[at]) << "real and imaginary get the same factor";
        }
    }
}

TEST(RadialExpansion, HalfPlaneRescalesRowsOfANonSquarePlane)
{
    // 256 columns, 128 rows: row frequencies count double in column units.
    const auto table = identityTable(8000);
    std::vector<int32_t> half(2 * 128 * 129, -1);
    KERNEL_ENTRY(lib(), cttfc)(half.data(), const_cast<int32_t*>(table.data()), 256, 128);
    for (int i = 0; i < 128; ++i) {
        const float d = 2.0f * static_cast<float>(i > 64 ? 128 - i : i);
        for (int j = 0; j <= 128; ++j) {
            const auto r = static_cast<float>(std::sqrt(static_cast<long double>(j) * j + d * d));
            ASSERT_EQ(half[2 * (i * 129 + j)], std::llrint(static_cast<double>(r) * 32.0)) << i << "," << j;
        }
    }
}

} // namespace
