// The IEC-style NNPS against fields whose spectrum is known from physics: an ideal photon
// counter, the same counter behind an offset and gain or a logarithm, noise correlated along the
// rows, shading, stripes on an axis, a plane wave; and the ROI grid it averages over.
#include "iec_nnps.h"

#include <algorithm>
#include <cstdio>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include <gtest/gtest.h>

using namespace vantry;

namespace {

constexpr double kPitch = 0.1;
constexpr double kQ = 29653; // RQA5, 1 / (mm^2 uGy)
constexpr double kPi = std::numbers::pi;

struct Image {
    int32_t w = 0, h = 0;
    std::vector<int16_t> px;
    FlatField field() const { return {px.data(), w, h}; }
};

/// Poisson counts of q K a^2 per pixel, passed through `detector`.
template <class Detector>
Image counter(int32_t w, int32_t h, double kerma, uint64_t seed, Detector detector)
{
    std::mt19937_64 rng(seed);
    std::poisson_distribution<int> counts(kQ * kerma * kPitch * kPitch);
    Image im{w, h, std::vector<int16_t>(static_cast<size_t>(w) * h)};
    for (auto& p : im.px) p = static_cast<int16_t>(std::lround(detector(counts(rng))));
    return im;
}

Image idealCounter(int32_t side, double kerma, uint64_t seed)
{
    return counter(side, side, kerma, seed, [](int n) { return static_cast<double>(n); });
}

IecNnpsResult measure(const Image& im, const IecNnpsOptions& o = {})
{
    return measureIecNnps({im.field()}, IecArea{0, 0, im.w, im.h}, kPitch, o);
}

/// Counts as uGy: the ideal counter's own conversion function.
ConversionFunction countsToKerma()
{
    return {ConversionFunction::Model::Linear, kQ * kPitch * kPitch, 0};
}

/// Both directions against `expected(k, alongY)`: as noise allows, at most 2 % of the bins beyond
/// 3 standard errors and none beyond 5, and the mean over the bins within 1.5 %.
template <class Expected>
void expectBins(const IecNnpsResult& r, Expected expected, const char* what)
{
    ASSERT_TRUE(r.error.empty()) << r.error;
    ASSERT_FALSE(r.freq.empty());
    size_t beyond3 = 0, checks = 0;
    double ratio = 0;
    for (size_t k = 0; k < r.freq.size(); ++k) {
        for (bool alongY : {false, true}) {
            const double value = alongY ? r.nnpsV[k] : r.nnpsH[k];
            const double se = alongY ? r.seV[k] : r.seH[k];
            const double truth = expected(k, alongY);
            EXPECT_NEAR(value, truth, 5 * se) << what << (alongY ? " V at " : " H at ") << r.freq[k];
            beyond3 += std::fabs(value - truth) > 3 * se;
            ratio += value / truth;
            ++checks;
        }
    }
    EXPECT_LE(beyond3, checks / 50) << what;
    EXPECT_NEAR(ratio / static_cast<double>(checks), 1, 0.015) << what;
}

} // namespace

TEST(IecNnps, IdealPhotonCounterGivesOneOverQKInEveryBinAtTwoKerma)
{
    for (double kerma : {1.0, 8.0}) {
        const Image im = idealCounter(1024, kerma, 11);
        IecNnpsOptions o;
        o.conversion = countsToKerma();
        const IecNnpsResult r = measure(im, o);
        expectBins(r, [&](size_t, bool) { return 1 / (kQ * kerma); }, "ideal counter");
        EXPECT_NEAR(r.meanSignal, kerma, 0.01 * kerma);
        // 0.05 cycles/mm steps up to the Nyquist frequency of 0.1 mm pixels.
        ASSERT_EQ(r.freq.size(), 100u);
        EXPECT_DOUBLE_EQ(r.freq.front(), 0.05);
        EXPECT_NEAR(r.freq.back(), 5.0, 1e-12);
    }
}

TEST(IecNnps, OffsetGainAndLogDetectorsLinearisedGiveTheCountersNnps)
{
    const double kerma = 4;
    const double quantum = 1 / (kQ * kerma);
    const auto offsetGain = [](int n) { return 100 + 2.0 * n; };
    const Image affine = counter(1024, 1024, kerma, 5, offsetGain);
    IecNnpsOptions o;
    o.conversion = {ConversionFunction::Model::Linear, 2 * kQ * kPitch * kPitch, 100};
    expectBins(measure(affine, o), [&](size_t, bool) { return quantum; }, "offset and gain");

    // Without the conversion the offset inflates the mean: the NNPS falls by (m / (m + 100))^2.
    const IecNnpsResult raw = measure(affine);
    const double m = 2 * kQ * kerma * kPitch * kPitch;
    const double biased = quantum * std::pow(m / (m + 100), 2);
    expectBins(raw, [&](size_t, bool) { return biased; }, "offset unlinearised");
    double ratio = 0;
    for (size_t k = 0; k < raw.freq.size(); ++k) ratio += raw.nnpsH[k] / quantum / static_cast<double>(raw.freq.size());
    EXPECT_LT(ratio, 0.95);

    const double perCount = 1 / (kQ * kPitch * kPitch);
    const auto logarithmic = [&](int n) { return 3000 + 1000 * std::log(std::max(n, 1) * perCount); };
    const Image logImage = counter(1024, 1024, kerma, 6, logarithmic);
    o.conversion = {ConversionFunction::Model::Log, 1000, 3000};
    expectBins(measure(logImage, o), [&](size_t, bool) { return quantum; }, "log detector");
}

TEST(IecNnps, NoiseCorrelatedAlongRowsFollowsTheUnwindowedPeriodogram)
{
    // z(x) = e(x) + b e(x - 1): autocorrelation 1 + b^2 at lag 0 and b at lag 1, so a 256-sample
    // unwindowed periodogram expects 1 + b^2 + 2 b (1 - 1/256) cos(2 pi u / 256).
    const double b = 0.8, sigma = 20, mean = 2000;
    const int32_t side = 1024;
    std::mt19937_64 rng(21);
    std::normal_distribution<double> e(0, sigma);
    Image im{side, side, std::vector<int16_t>(static_cast<size_t>(side) * side)};
    for (int32_t y = 0; y < side; ++y) {
        double previous = e(rng);
        for (int32_t x = 0; x < side; ++x) {
            const double now = e(rng);
            im.px[static_cast<size_t>(y) * side + x] = static_cast<int16_t>(std::lround(mean + now + b * previous));
            previous = now;
        }
    }
    const IecNnpsResult r = measure(im);
    ASSERT_TRUE(r.error.empty()) << r.error;
    const double df = 1 / (256 * kPitch);
    const auto periodogram = [&](double u) {
        return 1 + b * b + 2 * b * (1 - 1.0 / 256) * std::cos(2 * kPi * u / 256);
    };
    const double unit = sigma * sigma * kPitch * kPitch / (mean * mean);
    // H: the expectation averaged over the band's positions of each bin, written out here.
    for (size_t k = 0; k < r.freq.size(); ++k) {
        double sum = 0, n = 0;
        for (int v = 1; v <= 7; ++v) {
            for (int u = -128; u < 128; ++u) {
                const double f = std::hypot(u, v) * df;
                if (std::fabs(f - r.freq[k]) <= 0.025 + 1e-12 && f < r.freq[k] + 0.025) {
                    sum += periodogram(u);
                    n += 1;
                }
            }
        }
        const double expected = unit * (sum / n + 1.0 / 12 / (sigma * sigma));
        EXPECT_NEAR(r.nnpsH[k], expected, 0.05 * expected + 4 * r.seH[k]) << "H at " << r.freq[k];
    }
    // V: frequencies along y see white noise, filtered only by the band's u = 1 .. 7.
    double bandMean = 0;
    for (int u = 1; u <= 7; ++u) bandMean += periodogram(u) / 7;
    const double flat = unit * (bandMean + 1.0 / 12 / (sigma * sigma));
    for (size_t k = 1; k < r.freq.size(); ++k) {
        EXPECT_NEAR(r.nnpsV[k], flat, 0.05 * flat + 4 * r.seV[k]) << "V at " << r.freq[k];
    }
}

TEST(IecNnps, GlobalSurfaceRemovesShadingAndTheAxesAreLeftOut)
{
    const int32_t side = 768;
    const Image plain = idealCounter(side, 4, 31);
    const IecNnpsResult base = measure(plain);
    ASSERT_TRUE(base.error.empty()) << base.error;

    // A quadratic shading spanning 10 % of the signal, about zero over the area.
    Image shaded = plain;
    const double signal = kQ * 4 * kPitch * kPitch;
    for (int32_t y = 0; y < side; ++y) {
        for (int32_t x = 0; x < side; ++x) {
            const double u = (x - (side - 1) / 2.0) / ((side - 1) / 2.0);
            const double w = (y - (side - 1) / 2.0) / ((side - 1) / 2.0);
            auto& p = shaded.px[static_cast<size_t>(y) * side + x];
            p = static_cast<int16_t>(p + std::lround(0.05 * signal * (u * u + w * w - 2.0 / 3)));
        }
    }
    const IecNnpsResult s = measure(shaded);
    ASSERT_TRUE(s.error.empty()) << s.error;
    for (size_t k = 0; k < base.freq.size(); ++k) {
        EXPECT_NEAR(s.nnpsH[k], base.nnpsH[k], 3 * base.seH[k]) << "H at " << base.freq[k];
        EXPECT_NEAR(s.nnpsV[k], base.nnpsV[k], 3 * base.seV[k]) << "V at " << base.freq[k];
    }

    // Columns of a constant offset put power on the v = 0 line only: the H band leaves that
    // line out, the V band takes it in at its lowest frequencies.
    Image striped = plain;
    std::mt19937_64 rng(2);
    std::normal_distribution<double> offset(0, 40);
    std::vector<double> column(side);
    for (auto& c : column) c = offset(rng);
    for (int32_t y = 0; y < side; ++y) {
        for (int32_t x = 0; x < side; ++x) {
            auto& p = striped.px[static_cast<size_t>(y) * side + x];
            p = static_cast<int16_t>(p + std::lround(column[static_cast<size_t>(x)]));
        }
    }
    const IecNnpsResult c = measure(striped);
    ASSERT_TRUE(c.error.empty()) << c.error;
    for (size_t k = 0; k < base.freq.size(); ++k) {
        EXPECT_NEAR(c.nnpsH[k], base.nnpsH[k], 3 * base.seH[k]) << "H at " << base.freq[k];
    }
    EXPECT_GT(c.nnpsV[0], 10 * base.nnpsV[0]);
}

TEST(IecNnps, PlaneWaveLandsInTheBinOfItsRadialFrequency)
{
    // cos(2 pi (40 x + 3 y) / 256): all power at (u, v) = (40, 3), radial 40.11 df = 1.567
    // cycles/mm, which rounds to the grid frequency 1.55 (step 0.05). Only the H band holds it.
    const int32_t side = 512;
    Image im = idealCounter(side, 2, 8);
    for (int32_t y = 0; y < side; ++y) {
        for (int32_t x = 0; x < side; ++x) {
            auto& p = im.px[static_cast<size_t>(y) * side + x];
            p = static_cast<int16_t>(p + std::lround(30 * std::cos(2 * kPi * (40.0 * x + 3.0 * y) / 256)));
        }
    }
    const IecNnpsResult r = measure(im);
    ASSERT_TRUE(r.error.empty()) << r.error;
    const auto top = std::max_element(r.nnpsH.begin(), r.nnpsH.end()) - r.nnpsH.begin();
    EXPECT_NEAR(r.freq[static_cast<size_t>(top)], 1.55, 1e-9);
    const auto topV = std::max_element(r.nnpsV.begin(), r.nnpsV.end()) - r.nnpsV.begin();
    EXPECT_LT(r.nnpsV[static_cast<size_t>(topV)], 3 * r.nnpsV[0]);
}

TEST(IecNnps, RoiGridOverlapsByHalfAndCountsEachPixelOnce)
{
    // 700 x 600: 4 x 3 ROIs, covering 640 x 512 pixels.
    const Image im = counter(700, 600, 2, 3, [](int n) { return static_cast<double>(n); });
    IecNnpsResult r = measure(im);
    ASSERT_TRUE(r.error.empty()) << r.error;
    EXPECT_EQ(r.rois, 12);
    EXPECT_EQ(r.independentPixels, 640 * 512);
    ASSERT_FALSE(r.warnings.empty());
    EXPECT_NE(r.warnings.back().find("327680 independent pixels"), std::string::npos) << r.warnings.back();

    // Two fields add their ROIs and pixels; exactly 256 x 256 is one ROI.
    const Image one = counter(256, 256, 2, 4, [](int n) { return static_cast<double>(n); });
    r = measureIecNnps({one.field(), one.field()}, {0, 0, 256, 256}, kPitch, {});
    ASSERT_TRUE(r.error.empty()) << r.error;
    EXPECT_EQ(r.rois, 2);
    EXPECT_EQ(r.independentPixels, 2 * 65536);

    // 255 wide is no ROI; an area past the image is refused.
    EXPECT_NE(measureIecNnps({one.field()}, {0, 0, 255, 256}, kPitch, {}).error, "");
    EXPECT_NE(measureIecNnps({one.field()}, {1, 0, 256, 256}, kPitch, {}).error.find("outside"),
              std::string::npos);
}

TEST(IecNnps, DefaultAreaIsTheCentral125MmSquare)
{
    const IecArea big = defaultIecArea(3000, 2000, 0.1);
    EXPECT_EQ(big.w, 1250);
    EXPECT_EQ(big.h, 1250);
    EXPECT_EQ(big.x, 875);
    EXPECT_EQ(big.y, 375);
    const IecArea small = defaultIecArea(1024, 3000, 0.1);
    EXPECT_EQ(small.w, 1024);
    EXPECT_EQ(small.x, 0);
    EXPECT_EQ(small.h, 1250);
}

TEST(IecNnps, DarkFrameAndBadConversionAreRefused)
{
    std::mt19937_64 rng(1);
    std::normal_distribution<double> noise(0, 10);
    Image dark{512, 512, std::vector<int16_t>(512 * 512)};
    for (auto& p : dark.px) p = static_cast<int16_t>(std::lround(noise(rng)));
    EXPECT_NE(measure(dark).error.find("not clearly above zero"), std::string::npos);

    const Image flat = idealCounter(512, 2, 9);
    IecNnpsOptions o;
    o.conversion = {ConversionFunction::Model::Log, 1, 0}; // exp(593) overflows
    EXPECT_NE(measure(flat, o).error.find("not finite"), std::string::npos);
}

TEST(IecNnps, StandardErrorsMatchTheSpreadOverSeeds)
{
    constexpr int kSeeds = 10;
    std::vector<IecNnpsResult> runs;
    for (int s = 0; s < kSeeds; ++s) runs.push_back(measure(idealCounter(768, 2, 100 + s)));
    std::vector<double> ratios;
    for (size_t k = 0; k < runs[0].freq.size(); ++k) {
        for (bool alongY : {false, true}) {
            double sum = 0, squares = 0, se = 0;
            for (const auto& r : runs) {
                const double v = alongY ? r.nnpsV[k] : r.nnpsH[k];
                sum += v;
                squares += v * v;
                se += (alongY ? r.seV[k] : r.seH[k]) / kSeeds;
            }
            const double spread = std::sqrt((squares - sum * sum / kSeeds) / (kSeeds - 1));
            ratios.push_back(se / spread);
        }
    }
    std::sort(ratios.begin(), ratios.end());
    const double median = ratios[ratios.size() / 2];
    EXPECT_GT(median, 1 / 1.5);
    EXPECT_LT(median, 1.5);
}

TEST(IecNnps, PassesAndFftwReadTheSameSpectrumAndErrors)
{
    // Shading, an offset and a plane wave, so that the surface and both bands carry weight.
    const int32_t w = 700, h = 520;
    Image im = counter(w, h, 3, 40, [](int n) { return 500.0 + n; });
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            auto& p = im.px[static_cast<size_t>(y) * w + x];
            p = static_cast<int16_t>(p + std::lround(1e-4 * (x - 300.0) * (y - 200.0) + 20 * std::cos(0.3 * x + 0.02 * y)));
        }
    }
    IecNnpsOptions o;
    o.conversion = {ConversionFunction::Model::Linear, 1, 500};
    const IecNnpsResult passes = measureIecNnps({im.field()}, {10, 4, 680, 510}, kPitch, o);
    o.reading = IecReading::Fftw;
    const IecNnpsResult fftw = measureIecNnps({im.field()}, {10, 4, 680, 510}, kPitch, o);
    ASSERT_TRUE(passes.error.empty()) << passes.error;
    ASSERT_EQ(passes.freq.size(), fftw.freq.size());
    for (size_t k = 0; k < fftw.freq.size(); ++k) {
        EXPECT_NEAR(passes.nnpsH[k], fftw.nnpsH[k], 2e-5 * fftw.nnpsH[k]) << fftw.freq[k];
        EXPECT_NEAR(passes.nnpsV[k], fftw.nnpsV[k], 2e-5 * fftw.nnpsV[k]) << fftw.freq[k];
        EXPECT_NEAR(passes.seH[k], fftw.seH[k], 1e-3 * fftw.seH[k]) << fftw.freq[k];
        EXPECT_NEAR(passes.seV[k], fftw.seV[k], 1e-3 * fftw.seV[k]) << fftw.freq[k];
    }
}
