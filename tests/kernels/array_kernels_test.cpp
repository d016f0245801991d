// Element-wise kernels of libParvel.so, called through dlopen/dlsym.
#include "kernel_library.h"
#include "parvel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

const KernelLibrary& lib()
{
    return parvelLibrary();
}

/// Round half to even of a long double, computed independently of the library.
long long halfEven(long double y)
{
    const long double f = std::floor(y);
    const long double frac = y - f;
    auto r = static_cast<long long>(f);
    if (frac > 0.5L || (frac == 0.5L && (r % 2 != 0))) ++r;
    return r;
}

TEST(ArrayKernels, CountZeroOrNegativeTouchesNothing)
{
    std::vector<uint8_t> bytes(64, 0x5A);
    std::vector<int16_t> words(32, 1234);
    std::vector<int32_t> longs(16, 0x11223344);
    std::vector<float> singles(16, 2.5f);
    const auto bytesBefore = bytes;
    const auto wordsBefore = words;
    const auto longsBefore = longs;
    const auto singlesBefore = singles;
    std::vector<int16_t> srcWords(32, 7);
    std::vector<int32_t> srcLongs(16, 9);
    std::vector<float> srcSingles(16, 4.0f);
    std::vector<uint8_t> srcBytes(64, 3);

    for (int32_t n : {0, -1, -1000}) {
        KERNEL_ENTRY(lib(), varclr)(bytes.data(), 1, n);
        KERNEL_ENTRY(lib(), var2clr)(words.data(), 1, n);
        KERNEL_ENTRY(lib(), var4clr)(longs.data(), 1, n);
        KERNEL_ENTRY(lib(), vartrn)(bytes.data(), srcBytes.data(), n);
        KERNEL_ENTRY(lib(), var2trn)(words.data(), srcWords.data(), n);
        KERNEL_ENTRY(lib(), var4trn)(longs.data(), srcLongs.data(), n);
        KERNEL_ENTRY(lib(), var4skip)(longs.data(), 1, srcLongs.data(), 1, n);
        KERNEL_ENTRY(lib(), var4add)(singles.data(), srcSingles.data(), n);
        KERNEL_ENTRY(lib(), var4mul)(singles.data(), 3.0f, n);
        KERNEL_ENTRY(lib(), var4arymul)(singles.data(), srcSingles.data(), n);
        KERNEL_ENTRY(lib(), var2div)(words.data(), 3, n);
        KERNEL_ENTRY(lib(), varswap)(bytes.data(), n);
        KERNEL_ENTRY(lib(), var4swap)(bytes.data(), n);
        KERNEL_ENTRY(lib(), var2tosgl)(singles.data(), srcWords.data(), n);
        KERNEL_ENTRY(lib(), varsglto2)(words.data(), srcSingles.data(), n);
        KERNEL_ENTRY(lib(), var2log)(words.data(), n);
        KERNEL_ENTRY(lib(), var2lin)(words.data(), 1000, 1.0f, n);
    }
    EXPECT_EQ(bytes, bytesBefore);
    EXPECT_EQ(words, wordsBefore);
    EXPECT_EQ(longs, longsBefore);
    EXPECT_EQ(singles, singlesBefore);
}

TEST(ArrayKernels, ClearAndCopyFillExactlyNElements)
{
    std::vector<int16_t> w(6, 9);
    KERNEL_ENTRY(lib(), var2clr)(w.data(), -7, 5);
    EXPECT_EQ(w, (std::vector<int16_t>{-7, -7, -7, -7, -7, 9}));

    std::vector<int32_t> src{1, 2, 3, 4}, dst(5, 0);
    KERNEL_ENTRY(lib(), var4trn)(dst.data(), src.data(), 4);
    EXPECT_EQ(dst, (std::vector<int32_t>{1, 2, 3, 4, 0}));

    // Forward copy with dst above src repeats the first value, as callers are told.
    std::vector<int16_t> overlap{1, 2, 3, 4};
    KERNEL_ENTRY(lib(), var2trn)(overlap.data() + 1, overlap.data(), 3);
    EXPECT_EQ(overlap, (std::vector<int16_t>{1, 1, 1, 1}));
}

TEST(ArrayKernels, StridedCopyGathersAColumn)
{
    std::vector<int32_t> plane(512 * 4);
    for (size_t i = 0; i < plane.size(); ++i) plane[i] = static_cast<int32_t>(i);
    std::vector<int32_t> column(4, -1);
    KERNEL_ENTRY(lib(), var4skip)(column.data(), 1, plane.data() + 7, 512, 4);
    EXPECT_EQ(column, (std::vector<int32_t>{7, 519, 1031, 1543}));

    std::vector<int32_t> back(512 * 4, 0);
    KERNEL_ENTRY(lib(), var4skip)(back.data() + 3, 512, column.data(), 1, 4);
    EXPECT_EQ(back[3], 7);
    EXPECT_EQ(back[3 + 3 * 512], 1543);
    EXPECT_EQ(back[4], 0);
}

TEST(ArrayKernels, SingleArithmeticFollowsIeee)
{
    std::vector<float> a{1.5f, -2.0f, 3e38f}, b{0.25f, 4.0f, 10.0f};
    KERNEL_ENTRY(lib(), var4add)(a.data(), b.data(), 2);
    EXPECT_EQ(a[0], 1.75f);
    EXPECT_EQ(a[1], 2.0f);
    KERNEL_ENTRY(lib(), var4arymul)(a.data(), b.data(), 3);
    EXPECT_EQ(a[0], 0.4375f);
    EXPECT_TRUE(std::isinf(a[2])) << "an overflowing product becomes infinity";
    std::vector<float> c{0.1f, -3.0f};
    KERNEL_ENTRY(lib(), var4mul)(c.data(), 3.0f, 2);
    EXPECT_EQ(c[0], 0.1f * 3.0f);
    EXPECT_EQ(c[1], -9.0f);
    int32_t one = 0x3F800000, copy = 0;
    KERNEL_ENTRY(lib(), var4tst)(&copy, &one);
    EXPECT_EQ(copy, one);
}

TEST(ArrayKernels, DivisionTreatsBothOperandsAsUnsigned)
{
    std::vector<int16_t> p{-1, 7, -2, 100};
    KERNEL_ENTRY(lib(), var2div)(p.data(), 2, 4);
    EXPECT_EQ(static_cast<uint16_t>(p[0]), 0x7FFF) << "0xFFFF / 2 is 0x7FFF, not -0 or -1";
    EXPECT_EQ(p[1], 3);
    EXPECT_EQ(static_cast<uint16_t>(p[2]), 0x7FFF);
    EXPECT_EQ(p[3], 50);

    std::vector<int16_t> q{-2, 5};
    KERNEL_ENTRY(lib(), var2div)(q.data(), -1, 2); // divisor 0xFFFF
    EXPECT_EQ(q, (std::vector<int16_t>{0, 0}));

    std::vector<int16_t> keep{9, 8};
    KERNEL_ENTRY(lib(), var2div)(keep.data(), 0, 2);
    EXPECT_EQ(keep, (std::vector<int16_t>{9, 8})) << "a zero divisor leaves the data as it is";
}

TEST(ArrayKernels, ByteSwapsAreTheirOwnInverse)
{
    std::vector<uint8_t> b{1, 2, 3, 4, 5, 6, 7, 8};
    KERNEL_ENTRY(lib(), varswap)(b.data(), 3);
    EXPECT_EQ(b, (std::vector<uint8_t>{2, 1, 4, 3, 6, 5, 7, 8}));
    KERNEL_ENTRY(lib(), varswap)(b.data(), 3);
    EXPECT_EQ(b, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
    KERNEL_ENTRY(lib(), var4swap)(b.data(), 1);
    EXPECT_EQ(b, (std::vector<uint8_t>{4, 3, 2, 1, 5, 6, 7, 8}));
    KERNEL_ENTRY(lib(), var4swap)(b.data(), 2);
    EXPECT_EQ(b, (std::vector<uint8_t>{1, 2, 3, 4, 8, 7, 6, 5}));
}

TEST(ArrayKernels, ConversionsBetweenInt16AndSingleRoundHalfToEven)
{
    std::vector<float> s{2.5f, 3.5f, -2.5f, 0.5f, -0.5f, 1.4999999f, 32767.4f, -32768.0f};
    std::vector<int16_t> w(s.size());
    KERNEL_ENTRY(lib(), varsglto2)(w.data(), s.data(), static_cast<int32_t>(s.size()));
    EXPECT_EQ(w, (std::vector<int16_t>{2, 4, -2, 0, 0, 1, 32767, -32768}));

    std::vector<int16_t> src{-32768, -1, 0, 32767};
    std::vector<float> out(4);
    KERNEL_ENTRY(lib(), var2tosgl)(out.data(), src.data(), 4);
    EXPECT_EQ(out, (std::vector<float>{-32768.0f, -1.0f, 0.0f, 32767.0f}));
}

TEST(ArrayKernels, LogTransformOfEveryUnsignedValueMatchesLongDouble)
{
    std::vector<int16_t> all(65536);
    for (int v = 0; v < 65536; ++v) all[v] = static_cast<int16_t>(static_cast<uint16_t>(v));
    KERNEL_ENTRY(lib(), var2log)(all.data(), 65536);
    int mismatches = 0;
    for (int v = 0; v < 65536; ++v) {
        const long long expected = v == 0 ? 0 : halfEven(1000.0L * std::log10(static_cast<long double>(v)));
        if (all[v] != expected && ++mismatches < 10) ADD_FAILURE() << "v=" << v << " got " << all[v];
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(all[4095], 3612);
    EXPECT_EQ(all[65535], 4816);
}

TEST(ArrayKernels, LogTransformKeepsZerosAndGoesOnAfterThem)
{
    std::vector<int16_t> p{0, 1, 10, 0, 100};
    KERNEL_ENTRY(lib(), var2log)(p.data(), 5);
    EXPECT_EQ(p, (std::vector<int16_t>{0, 0, 1000, 0, 2000}));
}

TEST(ArrayKernels, LinearTransformUndoesLogAndClampsAt32000)
{
    std::vector<int16_t> p{3000, 5000, 0, -3000, 4000, 4506};
    KERNEL_ENTRY(lib(), var2lin)(p.data(), 1000, 1.0f, static_cast<int32_t>(p.size()));
    EXPECT_EQ(p[0], 1000);
    EXPECT_EQ(p[1], 32000) << "100000 is clamped";
    EXPECT_EQ(p[2], 1);
    EXPECT_EQ(p[3], 0) << "negative values give small positive results, not clamped from below";
    EXPECT_EQ(p[4], 10000);
    EXPECT_EQ(p[5], 32000) << "10^4.506 = 32062 is above the clamp";

    // Over the whole useful range against an independent computation with the same Single steps.
    std::vector<int16_t> range;
    for (int v = -2000; v <= 4600; ++v) range.push_back(static_cast<int16_t>(v));
    auto out = range;
    KERNEL_ENTRY(lib(), var2lin)(out.data(), 1000, 2.5f, static_cast<int32_t>(out.size()));
    for (size_t i = 0; i < range.size(); ++i) {
        const float t = static_cast<float>(range[i] / 1000.0);
        float y = static_cast<float>(2.5 * std::pow(10.0L, static_cast<long double>(t)));
        if (y > 32000.0f) y = 32000.0f;
        ASSERT_EQ(out[i], halfEven(y)) << "v=" << range[i];
    }
}

} // namespace
