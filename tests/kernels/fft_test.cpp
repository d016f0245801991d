// The transforms of libFourel.so and libTrifol.so, called through dlopen/dlsym.
#include "fourel.h"
#include "kernel_library.h"
#include "trifol.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <limits>
#include <random>
#include <utility>
#include <vector>

namespace {

/// The caller's tables for length n: sin and cos of 2 pi k / n for k < n/2, formed in double.
struct Tables {
    std::vector<float> sinTab, cosTab;
    explicit Tables(int n)
    {
        const int half = n / 2 > 0 ? n / 2 : 1;
        for (int k = 0; k < half; ++k) {
            const double a = 2.0 * 3.14159265358979323846 * k / n;
            sinTab.push_back(static_cast<float>(std::sin(a)));
            cosTab.push_back(static_cast<float>(std::cos(a)));
        }
    }
};

struct Signal {
    std::vector<float> re, im;
};

Signal randomSignal(int n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> d(-1000.0f, 1000.0f);
    Signal s;
    for (int i = 0; i < n; ++i) {
        s.re.push_back(d(rng));
        s.im.push_back(d(rng));
    }
    return s;
}

bool sameBits(const std::vector<float>& a, const std::vector<float>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

/// The transform exactly as written, one Single operation at a time: the reference the library
/// must match bit for bit.
void writtenAlgorithm(int n, int m, float* re, float* im, const float* sinTab, const float* cosTab, int sign)
{
    int h = n, b = 1;
    for (int stage = 0; stage < m; ++stage) {
        h /= 2;
        for (int s = 0; s < n; s += 2 * h) {
            for (int t = 0; t < h; ++t) {
                const int u = s + t, v = u + h;
                const float e = re[u] - re[v];
                const float g = im[u] - im[v];
                re[u] = re[u] + re[v];
                im[u] = im[u] + im[v];
                if (t == 0) {
                    re[v] = e;
                    im[v] = g;
                } else {
                    const int k = t * b;
                    const float sg = static_cast<float>(sign);
                    const float p1 = e * cosTab[k];
                    const float p2 = sg * g;
                    const float p3 = p2 * sinTab[k];
                    re[v] = p1 + p3;
                    const float q1 = g * cosTab[k];
                    const float q2 = sg * e;
                    const float q3 = q2 * sinTab[k];
                    im[v] = q1 - q3;
                }
            }
        }
        b *= 2;
    }
    for (int i = 0; i < n; ++i) {
        int r = 0;
        for (int bit = 0; bit < m; ++bit) r |= ((i >> bit) & 1) << (m - 1 - bit);
        if (r > i) {
            std::swap(re[i], re[r]);
            std::swap(im[i], im[r]);
        }
    }
    if (sign == -1) {
        for (int i = 0; i < n; ++i) {
            re[i] = re[i] / static_cast<float>(n);
            im[i] = im[i] / static_cast<float>(n);
        }
    }
}

const auto& fourel()
{
    return fourelLibrary();
}

TEST(Fft4, BitIdenticalToTheWrittenAlgorithmForEveryLengthAndSign)
{
    auto fft4Fn = KERNEL_ENTRY(fourel(), fft4);
    for (int m = 1; m <= 14; ++m) {
        const int n = 1 << m;
        Tables tab(n);
        for (int sign : {1, -1}) {
            Signal got = randomSignal(n, 100 + m);
            Signal want = got;
            fft4Fn(static_cast<int16_t>(n), static_cast<int16_t>(m), got.re.data(), got.im.data(),
                   tab.sinTab.data(), tab.cosTab.data(), static_cast<int16_t>(sign));
            writtenAlgorithm(n, m, want.re.data(), want.im.data(), tab.sinTab.data(), tab.cosTab.data(), sign);
            EXPECT_TRUE(sameBits(got.re, want.re) && sameBits(got.im, want.im)) << "n=" << n << " sign=" << sign;
        }
    }
}

TEST(Fft4, ReadsEachTwiddleAtItsOwnIndex)
{
    // With sin/cos tables many entries coincide or mirror each other, so a wrong index can go
    // unnoticed; tables of unrelated random values cannot hide one.
    auto fft4Fn = KERNEL_ENTRY(fourel(), fft4);
    std::mt19937 rng(31);
    std::uniform_real_distribution<float> d(-1.0f, 1.0f);
    for (int m = 1; m <= 14; ++m) {
        const int n = 1 << m;
        std::vector<float> sinTab(n / 2), cosTab(n / 2);
        for (int k = 0; k < n / 2; ++k) {
            sinTab[k] = d(rng);
            cosTab[k] = d(rng);
        }
        for (int sign : {1, -1}) {
            Signal got = randomSignal(n, 300 + m);
            Signal want = got;
            fft4Fn(static_cast<int16_t>(n), static_cast<int16_t>(m), got.re.data(), got.im.data(),
                   sinTab.data(), cosTab.data(), static_cast<int16_t>(sign));
            writtenAlgorithm(n, m, want.re.data(), want.im.data(), sinTab.data(), cosTab.data(), sign);
            EXPECT_TRUE(sameBits(got.re, want.re) && sameBits(got.im, want.im)) << "n=" << n << " sign=" << sign;
        }
    }
}

TEST(Fft4, MatchesALongDoubleDft)
{
    auto fft4Fn = KERNEL_ENTRY(fourel(), fft4);
    for (int m : {1, 3, 6, 8, 10, 12}) {
        const int n = 1 << m;
        Tables tab(n);
        Signal s = randomSignal(n, 5 + m);
        std::vector<std::complex<long double>> want(n);
        for (int k = 0; k < n; ++k) {
            std::complex<long double> acc = 0;
            for (int j = 0; j < n; ++j) {
                const long double a = -2.0L * 3.141592653589793238462643383279L * ((static_cast<long long>(k) * j) % n) / n;
                acc += std::complex<long double>(s.re[j], s.im[j]) * std::complex<long double>(std::cos(a), std::sin(a));
            }
            want[k] = acc;
        }
        fft4Fn(static_cast<int16_t>(n), static_cast<int16_t>(m), s.re.data(), s.im.data(),
               tab.sinTab.data(), tab.cosTab.data(), 1);
        // Radix-2 in Single: error grows about as log2(n) ulps of the largest magnitude
        // (values here up to 1000 * sqrt(n)); 2e-6 per stage of that scale is generous.
        const long double scale = 1000.0L * std::sqrt(static_cast<long double>(n));
        for (int k = 0; k < n; ++k) {
            ASSERT_NEAR(s.re[k], want[k].real(), 2e-6L * m * scale) << "n=" << n << " k=" << k;
            ASSERT_NEAR(s.im[k], want[k].imag(), 2e-6L * m * scale) << "n=" << n << " k=" << k;
        }
    }
}

TEST(Fft4, ForwardThenInverseReturnsTheInput)
{
    auto fft4Fn = KERNEL_ENTRY(fourel(), fft4);
    for (int m : {2, 7, 9, 14}) {
        const int n = 1 << m;
        Tables tab(n);
        const Signal original = randomSignal(n, 40 + m);
        Signal s = original;
        fft4Fn(static_cast<int16_t>(n), static_cast<int16_t>(m), s.re.data(), s.im.data(), tab.sinTab.data(), tab.cosTab.data(), 1);
        fft4Fn(static_cast<int16_t>(n), static_cast<int16_t>(m), s.re.data(), s.im.data(), tab.sinTab.data(), tab.cosTab.data(), -1);
        for (int i = 0; i < n; ++i) {
            // Single precision round trip of values up to 1000: a few ulps per stage.
            ASSERT_NEAR(s.re[i], original.re[i], 1e-4 * m) << "n=" << n << " i=" << i;
            ASSERT_NEAR(s.im[i], original.im[i], 1e-4 * m) << "n=" << n << " i=" << i;
        }
    }
}

TEST(Fft4, LengthTwoReadsNoTableEntry)
{
    auto fft4Fn = KERNEL_ENTRY(fourel(), fft4);
    float re[2] = {3.0f, 5.0f}, im[2] = {-1.0f, 4.0f};
    float poisoned[1] = {std::numeric_limits<float>::quiet_NaN()};
    fft4Fn(2, 1, re, im, poisoned, poisoned, 1);
    EXPECT_EQ(re[0], 8.0f);
    EXPECT_EQ(re[1], -2.0f);
    EXPECT_EQ(im[0], 3.0f);
    EXPECT_EQ(im[1], -5.0f);
}

TEST(Fft4, ImpulseAndCosineGiveTheirKnownSpectra)
{
    auto fft4Fn = KERNEL_ENTRY(fourel(), fft4);
    const int n = 256, m = 8;
    Tables tab(n);
    std::vector<float> re(n, 0.0f), im(n, 0.0f);
    re[0] = 1.0f;
    fft4Fn(n, m, re.data(), im.data(), tab.sinTab.data(), tab.cosTab.data(), 1);
    EXPECT_EQ(re, std::vector<float>(n, 1.0f));
    EXPECT_EQ(im, std::vector<float>(n, 0.0f));

    const int freq = 5;
    for (int i = 0; i < n; ++i) {
        re[i] = static_cast<float>(std::cos(2.0 * 3.14159265358979323846 * freq * i / n));
        im[i] = 0.0f;
    }
    fft4Fn(n, m, re.data(), im.data(), tab.sinTab.data(), tab.cosTab.data(), 1);
    for (int k = 0; k < n; ++k) {
        const double expected = (k == freq || k == n - freq) ? n / 2.0 : 0.0;
        // Single rounding of 256 terms of magnitude 1.
        EXPECT_NEAR(re[k], expected, 1e-4) << k;
        EXPECT_NEAR(im[k], 0.0, 1e-4) << k;
    }
}

TEST(Fft4, LengthThatIsNotAPowerOfTwoTouchesNothing)
{
    auto fft4Fn = KERNEL_ENTRY(fourel(), fft4);
    Tables tab(64);
    Signal s = randomSignal(64, 1);
    const Signal before = s;
    fft4Fn(48, 6, s.re.data(), s.im.data(), tab.sinTab.data(), tab.cosTab.data(), 1);
    fft4Fn(64, 0, s.re.data(), s.im.data(), tab.sinTab.data(), tab.cosTab.data(), 1);
    fft4Fn(-64, 6, s.re.data(), s.im.data(), tab.sinTab.data(), tab.cosTab.data(), 1);
    EXPECT_TRUE(sameBits(s.re, before.re) && sameBits(s.im, before.im));
}

TEST(Tfft, BitIdenticalToFft4ForEveryLengthAndSign)
{
    auto fft4Fn = KERNEL_ENTRY(fourel(), fft4);
    auto tfftFn = KERNEL_ENTRY(trifolLibrary(), tfft);
    for (int m = 1; m <= 14; ++m) {
        const int n = 1 << m;
        Tables tab(n);
        for (int sign : {1, -1}) {
            Signal a = randomSignal(n, 900 + m);
            Signal b = a;
            fft4Fn(static_cast<int16_t>(n), static_cast<int16_t>(m), a.re.data(), a.im.data(), tab.sinTab.data(), tab.cosTab.data(), static_cast<int16_t>(sign));
            tfftFn(static_cast<int16_t>(n), static_cast<int16_t>(m), b.re.data(), b.im.data(), tab.sinTab.data(), tab.cosTab.data(), static_cast<int16_t>(sign));
            EXPECT_TRUE(sameBits(a.re, b.re) && sameBits(a.im, b.im)) << "n=" << n << " sign=" << sign;
        }
    }
}

TEST(Ct2dfft, AllOnesFilterReturnsEveryPixelWithinOne)
{
    auto filterFn = KERNEL_ENTRY(fourel(), ct2dfft);
    Tables tab(512);
    std::mt19937 rng(77);
    std::uniform_int_distribution<int> d(-3000, 3000);
    std::vector<int16_t> img(512 * 512);
    for (auto& p : img) p = static_cast<int16_t>(d(rng));
    const auto original = img;
    std::vector<float> re(512 * 512), im(512 * 512), ones(512 * 512, 1.0f);
    filterFn(img.data(), re.data(), im.data(), ones.data(), tab.sinTab.data(), tab.cosTab.data());
    int changed = 0;
    for (size_t i = 0; i < img.size(); ++i) {
        ASSERT_LE(std::abs(img[i] - original[i]), 1) << i;
        changed += img[i] != original[i];
    }
    EXPECT_GT(changed, 0) << "the final + 0.5 moves many pixels up by one";
}

TEST(Ct2dfft, DcOnlyFilterLeavesTheMean)
{
    auto filterFn = KERNEL_ENTRY(fourel(), ct2dfft);
    Tables tab(512);
    std::vector<int16_t> img(512 * 512);
    for (size_t i = 0; i < img.size(); ++i) img[i] = static_cast<int16_t>(i % 2 == 0 ? 90 : 110);
    std::vector<float> re(512 * 512), im(512 * 512), dc(512 * 512, 0.0f);
    dc[0] = 1.0f;
    filterFn(img.data(), re.data(), im.data(), dc.data(), tab.sinTab.data(), tab.cosTab.data());
    for (size_t i = 0; i < img.size(); ++i) {
        ASSERT_EQ(img[i], 100) << "mean 100 plus 0.5 rounds to even: 100 at " << i;
    }
}

TEST(Fft5, FullLengthEqualsFft4AndShortInputIsZeroPadded)
{
    auto fft4Fn = KERNEL_ENTRY(fourel(), fft4);
    auto fft5Fn = KERNEL_ENTRY(fourel(), fft5);
    Tables tab(256);
    Signal a = randomSignal(256, 3);
    Signal b = a;
    fft4Fn(256, 8, a.re.data(), a.im.data(), tab.sinTab.data(), tab.cosTab.data(), 1);
    fft5Fn(256, 0, b.re.data(), b.im.data(), tab.sinTab.data(), tab.cosTab.data(), 0);
    EXPECT_TRUE(sameBits(a.re, b.re) && sameBits(a.im, b.im));

    Signal shortIn = randomSignal(100, 4);
    Signal padded = randomSignal(256, 5);
    for (int i = 0; i < 256; ++i) {
        padded.re[i] = i < 100 ? shortIn.re[i] : 0.0f;
        padded.im[i] = i < 100 ? shortIn.im[i] : 0.0f;
    }
    fft4Fn(256, 8, padded.re.data(), padded.im.data(), tab.sinTab.data(), tab.cosTab.data(), 1);
    fft5Fn(100, 0, shortIn.re.data(), shortIn.im.data(), tab.sinTab.data(), tab.cosTab.data(), 0);
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(shortIn.re[i], padded.re[i]) << i;
        ASSERT_EQ(shortIn.im[i], padded.im[i]) << i;
    }
}

TEST(Var4test, CopiesOneWord)
{
    int32_t src = -123456789, dst = 0;
    KERNEL_ENTRY(fourel(), var4test)(&dst, &src);
    EXPECT_EQ(dst, src);
}

} // namespace
