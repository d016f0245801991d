// The scaled bitmap transfer li2bmp of libParvel.so against a plain per-pixel reading of its
// definition, and its edge cases.
#include "kernel_library.h"
#include "parvel.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>

namespace {

using Li2bmp = decltype(&li2bmp);

Li2bmp li2bmpEntry()
{
    return KERNEL_ENTRY(parvelLibrary(), li2bmp);
}

/// Display table over -32768 .. 32767 indexed by pixel value (the pointer handed on points at 0).
struct Lut {
    std::vector<uint8_t> table = std::vector<uint8_t>(65536);
    uint8_t* atZero() { return table.data() + 32768; }
};

Lut hashLut()
{
    Lut lut;
    for (int v = -32768; v < 32768; ++v) lut.table[v + 32768] = static_cast<uint8_t>((v * 2654435761u) >> 24);
    return lut;
}

struct Axis {
    int index;
    int weight;
};

/// Source position of destination index i as defined: scale formed as Single, position in
/// double, weight in 1/2048ths; a position on or past the last pixel stays there with weight 0.
Axis axisOf(int i, int sourceSide, int destSide)
{
    const float scale = destSide > 1 ? static_cast<float>(double(sourceSide - 1) / (destSide - 1)) : 0.0f;
    const double t = i * static_cast<double>(scale);
    const int index = static_cast<int>(t);
    if (index >= sourceSide - 1) return {sourceSide - 1, 0};
    return {index, static_cast<int>((t - index) * 2048)};
}

/// Plain per-pixel transfer, padding left as it was.
void referenceTransfer(std::vector<uint8_t>& dst, const std::vector<int16_t>& img, int stride,
                       int sw, int sh, int x0, int y0, int dw, int dh, const uint8_t* lut)
{
    const int rowBytes = (dw + 3) / 4 * 4;
    auto pixel = [&](int x, int y) { return static_cast<int>(img[static_cast<size_t>(y) * stride + x]); };
    for (int y = 0; y < dh; ++y) {
        const Axis ay = axisOf(y, sh, dh);
        for (int x = 0; x < dw; ++x) {
            const Axis ax = axisOf(x, sw, dw);
            const int p = x0 + ax.index;
            const int r0 = y0 + ay.index;
            auto blendRow = [&](int r) {
                const int right = ax.weight == 0 ? 0 : pixel(p + 1, r) * ax.weight;
                return (pixel(p, r) * (2048 - ax.weight) + right) / 2048;
            };
            const int top = blendRow(r0);
            const int bottom = ay.weight == 0 ? 0 : blendRow(r0 + 1);
            const int v = (top * (2048 - ay.weight) + bottom * ay.weight) / 2048;
            dst[static_cast<size_t>(dh - 1 - y) * rowBytes + x] = lut[v];
        }
    }
}

std::vector<int16_t> randomImage(int w, int h, unsigned seed, int lo = -32768, int hi = 32767)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> d(lo, hi);
    std::vector<int16_t> img(static_cast<size_t>(w) * h);
    for (auto& p : img) p = static_cast<int16_t>(d(rng));
    return img;
}

TEST(Li2bmp, MatchesThePlainDefinitionForReductionsAndEnlargements)
{
    Lut lut = hashLut();
    const int imgW = 300, imgH = 220;
    const auto img = randomImage(imgW, imgH, 7);
    struct Case {
        int sw, sh, x0, y0, dw, dh;
    };
    for (const Case& c : {Case{300, 220, 0, 0, 73, 51}, Case{100, 80, 17, 9, 333, 257},
                          Case{299, 219, 1, 1, 300, 220}, Case{64, 64, 236, 156, 128, 127},
                          Case{5, 3, 100, 100, 1000, 7}, Case{250, 200, 50, 20, 2, 2},
                          Case{37, 41, 263, 179, 37, 41}, Case{2, 2, 298, 218, 9, 9}}) {
        const int rowBytes = (c.dw + 3) / 4 * 4;
        std::vector<uint8_t> got(static_cast<size_t>(rowBytes) * c.dh, 0xCD);
        auto want = got;
        li2bmpEntry()(got.data(), const_cast<int16_t*>(img.data()), imgW, 0, c.sw, c.sh, c.x0, c.y0,
                      c.dw, c.dh, lut.atZero());
        referenceTransfer(want, img, imgW, c.sw, c.sh, c.x0, c.y0, c.dw, c.dh, lut.atZero());
        EXPECT_EQ(got, want) << c.sw << "x" << c.sh << " -> " << c.dw << "x" << c.dh;
    }
}

TEST(Li2bmp, WideDestinationsCrossTheColumnStrips)
{
    Lut lut = hashLut();
    const auto img = randomImage(1500, 40, 11);
    const int dw = 5003, dh = 9;
    std::vector<uint8_t> got(static_cast<size_t>(5004) * dh, 0xCD);
    auto want = got;
    li2bmpEntry()(got.data(), const_cast<int16_t*>(img.data()), 1500, 0, 1500, 40, 0, 0, dw, dh, lut.atZero());
    referenceTransfer(want, img, 1500, 1500, 40, 0, 0, dw, dh, lut.atZero());
    EXPECT_EQ(got, want);
}

TEST(Li2bmp, ReductionsMatchThePlainDefinitionAcrossStripsAndRowSteps)
{
    // A reduction blends each destination row from two source rows used only by it; rows whose
    // source rows are shared with the next one, or whose weight is 0, are formed another way.
    Lut lut = hashLut();
    const int imgW = 9000, imgH = 90;
    const auto img = randomImage(imgW, imgH, 19);
    struct Case {
        int sw, sh, dw, dh;
    };
    for (const Case& c : {Case{8999, 90, 2101, 20}, Case{9000, 89, 2049, 23},
                          Case{8192, 81, 4097, 11}, Case{6000, 61, 1499, 31},
                          Case{9000, 90, 901, 60}}) {
        const int rowBytes = (c.dw + 3) / 4 * 4;
        std::vector<uint8_t> got(static_cast<size_t>(rowBytes) * c.dh, 0xCD);
        auto want = got;
        const int x0 = imgW - c.sw, y0 = imgH - c.sh;
        li2bmpEntry()(got.data(), const_cast<int16_t*>(img.data()), imgW, 0, c.sw, c.sh, x0, y0,
                      c.dw, c.dh, lut.atZero());
        referenceTransfer(want, img, imgW, c.sw, c.sh, x0, y0, c.dw, c.dh, lut.atZero());
        EXPECT_EQ(got, want) << c.sw << "x" << c.sh << " -> " << c.dw << "x" << c.dh;
    }
}

TEST(Li2bmp, SameSizeIsTheLutImageUpsideDownWithUntouchedPadding)
{
    Lut lut = hashLut();
    const int w = 5, h = 3; // rows of 5 bytes padded to 8
    const auto img = randomImage(w, h, 3);
    std::vector<uint8_t> dst(8 * h, 0xAB);
    li2bmpEntry()(dst.data(), const_cast<int16_t*>(img.data()), w, 0, w, h, 0, 0, w, h, lut.atZero());
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            EXPECT_EQ(dst[(h - 1 - y) * 8 + x], lut.atZero()[img[y * w + x]]) << x << "," << y;
        }
        for (int x = w; x < 8; ++x) EXPECT_EQ(dst[y * 8 + x], 0xAB) << "padding written at row " << y;
    }
}

/// Table mapping each value to its low byte, so the output shows the blended value itself.
Lut lowByteLut()
{
    Lut lut;
    for (int v = -32768; v < 32768; ++v) lut.table[v + 32768] = static_cast<uint8_t>(v & 0xFF);
    return lut;
}

TEST(Li2bmp, DoubleWidthMinusOneGivesTheTruncatedAverageOfNeighbours)
{
    Lut lut = lowByteLut();
    const std::vector<int16_t> img{10, 21, 40, 7};
    std::vector<uint8_t> dst(8, 0);
    li2bmpEntry()(dst.data(), const_cast<int16_t*>(img.data()), 4, 0, 4, 1, 0, 0, 7, 1, lut.atZero());
    EXPECT_EQ(dst[0], 10);
    EXPECT_EQ(dst[1], 15) << "(10 + 21) / 2 = 15.5 truncated";
    EXPECT_EQ(dst[2], 21);
    EXPECT_EQ(dst[3], 30);
    EXPECT_EQ(dst[5], 23) << "(40 + 7) / 2 = 23.5 truncated";
    EXPECT_EQ(dst[6], 7);
}

TEST(Li2bmp, NegativeBlendsTruncateTowardZero)
{
    Lut lut;
    for (int v = -32768; v < 32768; ++v) lut.table[v + 32768] = static_cast<uint8_t>(v + 100);
    const std::vector<int16_t> img{-3, -4};
    std::vector<uint8_t> dst(4, 0);
    li2bmpEntry()(dst.data(), const_cast<int16_t*>(img.data()), 2, 0, 2, 1, 0, 0, 3, 1, lut.atZero());
    EXPECT_EQ(dst[1], 97) << "-3.5 becomes -3, not -4";

    // The same vertically: rows -3 and -4, three destination rows.
    std::vector<uint8_t> col(4 * 3, 0);
    li2bmpEntry()(col.data(), const_cast<int16_t*>(img.data()), 1, 0, 1, 2, 0, 0, 1, 3, lut.atZero());
    EXPECT_EQ(col[4], 97);
}

TEST(Li2bmp, DestinationSideOfOneUsesTheFirstPixel)
{
    Lut lut = lowByteLut();
    const std::vector<int16_t> img{1, 2, 3, 4, 5, 6};
    std::vector<uint8_t> dst(4 * 2, 0xEE);
    li2bmpEntry()(dst.data(), const_cast<int16_t*>(img.data()), 3, 0, 3, 2, 0, 0, 1, 2, lut.atZero());
    EXPECT_EQ(dst[4], 1);
    EXPECT_EQ(dst[0], 4);
    std::vector<uint8_t> row(4, 0xEE);
    li2bmpEntry()(row.data(), const_cast<int16_t*>(img.data()), 3, 0, 3, 2, 0, 0, 3, 1, lut.atZero());
    EXPECT_EQ(row, (std::vector<uint8_t>{1, 2, 3, 0xEE}));
}

TEST(Li2bmp, NeverReadsPastTheRegionWhenTheSingleScaleRoundsUp)
{
    // A wide region whose last column is the last pixel of the image; the pixel beyond it, had it
    // been read, would show in the last destination column.
    const int sw = 32000;
    int dw = 0;
    for (int d = 2; d < 4000 && dw == 0; ++d) {
        const float scale = static_cast<float>(double(sw - 1) / (d - 1));
        const double t = (d - 1) * static_cast<double>(scale);
        if (static_cast<int>((t - (sw - 1)) * 2048) > 0) dw = d;
    }
    ASSERT_NE(dw, 0) << "no destination width rounds past the region; the test would prove nothing";

    std::vector<int16_t> img(sw + 1, 0);
    img[sw] = 30000; // just outside the region
    Lut lut = lowByteLut();
    std::vector<uint8_t> dst((dw + 3) / 4 * 4, 0xEE);
    li2bmpEntry()(dst.data(), img.data(), sw + 1, 0, sw, 1, 0, 0, dw, 1, lut.atZero());
    EXPECT_EQ(dst[dw - 1], 0) << "dw=" << dw;
}

TEST(Li2bmp, EmptySizesTouchNothing)
{
    Lut lut = hashLut();
    const std::vector<int16_t> img{1, 2, 3, 4};
    std::vector<uint8_t> dst(16, 0x77);
    for (auto [sw, sh, dw, dh] : {std::array{0, 2, 2, 2}, std::array{2, 0, 2, 2},
                                  std::array{2, 2, 0, 2}, std::array{2, 2, 2, -1}}) {
        li2bmpEntry()(dst.data(), const_cast<int16_t*>(img.data()), 2, 0, sw, sh, 0, 0, dw, dh, lut.atZero());
    }
    EXPECT_EQ(dst, std::vector<uint8_t>(16, 0x77));
}

} // namespace
