// The AVX2 and the portable paths of the kernels give the same bytes. These call the paths
// directly, since the exported entry points choose one by the processor.
#include "cpu_features.h"
#include "fft4_impl.h"
#include "li2bmp_passes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

void requireAvx2()
{
    if (!vantry_kernels::cpuHasAvx2()) GTEST_SKIP() << "this processor has no AVX2";
}

TEST(VectorPaths, Li2bmpAvx2MatchesPortableByteForByte)
{
    requireAvx2();
    std::mt19937 rng(2024);
    std::vector<uint8_t> lut(65536);
    for (auto& v : lut) v = static_cast<uint8_t>(rng());
    const int w = 700, h = 300;
    std::vector<int16_t> img(static_cast<size_t>(w) * h);
    std::uniform_int_distribution<int> value(-32768, 32767);
    for (auto& p : img) p = static_cast<int16_t>(value(rng));

    std::uniform_int_distribution<int> side(1, 1200);
    for (int trial = 0; trial < 200; ++trial) {
        const int sw = 1 + static_cast<int>(rng() % w), sh = 1 + static_cast<int>(rng() % h);
        const int x0 = static_cast<int>(rng() % (w - sw + 1)), y0 = static_cast<int>(rng() % (h - sh + 1));
        const int dw = side(rng), dh = 1 + side(rng) % 300;
        const size_t bytes = static_cast<size_t>((dw + 3) / 4 * 4) * dh;
        std::vector<uint8_t> portable(bytes, 0x11), avx2(bytes, 0x11);
        parvel::li2bmpWith(parvel::li2bmpPortablePasses(), portable.data(), img.data(), w, sw, sh, x0, y0, dw, dh, lut.data() + 32768);
        parvel::li2bmpWith(parvel::li2bmpAvx2Passes(), avx2.data(), img.data(), w, sw, sh, x0, y0, dw, dh, lut.data() + 32768);
        ASSERT_EQ(portable, avx2) << sw << "x" << sh << "+" << x0 << "+" << y0 << " -> " << dw << "x" << dh;
    }
}

// The AVX2 passes fetch the neighbour pairs of a group of 8 columns with 16-byte loads where the
// columns lie close enough together (up to about 2 and 6 times reductions) and one at a time
// beyond; a load may not pass the region's right edge. The regions here end at the right edge of
// an image allocated to the byte (the last rows too), so a load past them is an overflow the
// sanitizer build reports, and the widths step through the group limits.
TEST(VectorPaths, Li2bmpAvx2MatchesPortableAtColumnGroupLimitsAndTheRightEdge)
{
    requireAvx2();
    std::mt19937 rng(77);
    std::vector<uint8_t> lut(65536);
    for (auto& v : lut) v = static_cast<uint8_t>(rng());
    const int w = 1300, h = 64;
    std::vector<int16_t> img(static_cast<size_t>(w) * h);
    std::uniform_int_distribution<int> value(-32768, 32767);
    for (auto& p : img) p = static_cast<int16_t>(value(rng));

    struct Case {
        int sw, dw;
    };
    const Case cases[] = {{1300, 433},  {1300, 650},  {1300, 651},  {1300, 649}, {1300, 1000},
                          {1300, 1513}, {1300, 217},  {1300, 218},  {1300, 216}, {1300, 186},
                          {1300, 163},  {1300, 130},  {1300, 1299}, {1300, 2600}, {1300, 3001},
                          {40, 2100},   {17, 16},     {24, 21},     {9, 8}};
    for (const Case& c : cases) {
        for (const auto& [sh, dh] : {std::pair{64, 13}, std::pair{64, 64}, std::pair{17, 40}}) {
            const int x0 = w - c.sw, y0 = h - sh;
            const size_t bytes = static_cast<size_t>((c.dw + 3) / 4 * 4) * dh;
            std::vector<uint8_t> portable(bytes, 0x5A), avx2(bytes, 0x5A);
            parvel::li2bmpWith(parvel::li2bmpPortablePasses(), portable.data(), img.data(), w, c.sw,
                               sh, x0, y0, c.dw, dh, lut.data() + 32768);
            parvel::li2bmpWith(parvel::li2bmpAvx2Passes(), avx2.data(), img.data(), w, c.sw, sh, x0,
                               y0, c.dw, dh, lut.data() + 32768);
            ASSERT_EQ(portable, avx2) << c.sw << "x" << sh << " -> " << c.dw << "x" << dh;
        }
    }
}

TEST(VectorPaths, Fft4Avx2MatchesPlainBitForBit)
{
    requireAvx2();
    for (int m = 6; m <= 14; ++m) {
        const int n = 1 << m;
        std::vector<float> sinTab(n / 2), cosTab(n / 2);
        for (int k = 0; k < n / 2; ++k) {
            sinTab[k] = static_cast<float>(std::sin(2.0 * 3.14159265358979323846 * k / n));
            cosTab[k] = static_cast<float>(std::cos(2.0 * 3.14159265358979323846 * k / n));
        }
        std::mt19937 rng(m);
        // Wide dynamic range, with signed zeros and tiny values, where a changed order would show.
        std::uniform_real_distribution<float> mant(-1.0f, 1.0f);
        std::uniform_int_distribution<int> expo(-140, 40);
        for (int sign : {1, -1}) {
            std::vector<float> re(n), im(n);
            for (int i = 0; i < n; ++i) {
                re[i] = i % 97 == 0 ? -0.0f : std::ldexp(mant(rng), expo(rng));
                im[i] = std::ldexp(mant(rng), expo(rng));
            }
            auto re2 = re, im2 = im;
            fourel::fft4Plain(n, m, re.data(), im.data(), sinTab.data(), cosTab.data(), sign);
            fourel::fft4Avx2(n, m, re2.data(), im2.data(), sinTab.data(), cosTab.data(), sign);
            ASSERT_EQ(std::memcmp(re.data(), re2.data(), n * sizeof(float)), 0) << "n=" << n << " sign=" << sign;
            ASSERT_EQ(std::memcmp(im.data(), im2.data(), n * sizeof(float)), 0) << "n=" << n << " sign=" << sign;
        }
    }
}

} // namespace
