// The noise spectra measured the way an operator measures them ("2D-NNPS", "2D-NPS", "1D-NNPS"
// on the scripted host) against fields whose spectrum is known: white and filtered Gaussian
// noise, shading, cosines. And the summed reading of the blocks against the line-by-line one.
#include "analysis_fixture.h"
#include "lesq2d.h"
#include "nnps.h"
#include "nnps_blocks.h"
#include "nnps_line_by_line.h"
#include "nnps_passes.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <numbers>
#include <optional>
#include <random>
#include <string>
#include <vector>

using namespace vantry;

namespace {

constexpr double kPi = std::numbers::pi;
constexpr int kN = 256;
constexpr int kBins = 25;
constexpr double kPitch = 0.1;
/// Variance of rounding a continuous value to a whole pixel value.
constexpr double kRounding = 1.0 / 12;

/// A field of doubles, x fastest, rounded to pixels only at the end.
struct Field {
    int32_t w = 0, h = 0;
    std::vector<double> z;
    double& at(int32_t x, int32_t y)
    {
        return z[static_cast<size_t>(y) * w + x];
    }
    std::vector<int16_t> pixels() const
    {
        std::vector<int16_t> p(z.size());
        for (size_t i = 0; i < z.size(); ++i) p[i] = static_cast<int16_t>(std::lround(z[i]));
        return p;
    }
};

Field whiteNoise(int32_t w, int32_t h, double mean, double sd, uint32_t seed)
{
    Field f{w, h, std::vector<double>(static_cast<size_t>(w) * h)};
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(mean, sd);
    for (double& z : f.z) z = noise(rng);
    return f;
}

/// The Gaussian kernel of standard deviation sigma pixels, radius 4 sigma (at least 2), sum 1.
std::vector<double> gaussianKernel(double sigma)
{
    const int radius = std::max(2, static_cast<int>(std::ceil(4 * sigma)));
    std::vector<double> k(2 * radius + 1);
    double sum = 0;
    for (int i = -radius; i <= radius; ++i)
        sum += k[i + radius] = std::exp(-0.5 * i * i / (sigma * sigma));
    for (double& v : k) v /= sum;
    return k;
}

/// |H(f)|^2 of a symmetric kernel at f cycles per pixel.
double gain2(const std::vector<double>& k, double f)
{
    const int radius = static_cast<int>(k.size() / 2);
    double h = 0;
    for (int i = -radius; i <= radius; ++i) h += k[i + radius] * std::cos(2 * kPi * f * i);
    return h * h;
}

/// White noise of standard deviation sd through the kernel along x, and along y too when
/// `bothAxes`; mean added afterwards.
Field filteredNoise(int32_t w, int32_t h, double mean, double sd, const std::vector<double>& k,
                    bool bothAxes, uint32_t seed)
{
    const int r = static_cast<int>(k.size() / 2);
    const int32_t wideW = w + 2 * r, wideH = h + 2 * r;
    Field white = whiteNoise(wideW, wideH, 0, sd, seed);
    Field alongX{w, wideH, std::vector<double>(static_cast<size_t>(w) * wideH)};
    for (int32_t y = 0; y < wideH; ++y)
        for (int32_t x = 0; x < w; ++x) {
            double s = 0;
            for (int i = -r; i <= r; ++i) s += k[i + r] * white.at(x + r + i, y);
            alongX.at(x, y) = s;
        }
    Field out{w, h, std::vector<double>(static_cast<size_t>(w) * h)};
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            double s = 0;
            if (bothAxes) {
                for (int i = -r; i <= r; ++i) s += k[i + r] * alongX.at(x, y + r + i);
            } else {
                s = alongX.at(x, y + r);
            }
            out.at(x, y) = mean + s;
        }
    return out;
}

/// The positions (u, v), u = 1 .. nu, v = 1 .. nv, of each bin, as the method forms the bins
/// (Single arithmetic at 0.1 mm).
std::vector<std::vector<std::pair<int, int>>> binPositions(int nu, int nv)
{
    const float df = 1.0f / (static_cast<float>(kPitch) * kN), w = df * 5.12f;
    std::vector<std::vector<std::pair<int, int>>> bins(40);
    for (int u = 1; u <= nu; ++u)
        for (int v = 1; v <= nv; ++v) {
            const float fu = static_cast<float>(u) * df, fv = static_cast<float>(v) * df;
            bins[static_cast<size_t>(std::nearbyint(std::sqrt(fu * fu + fv * fv) / w))]
                .emplace_back(u, v);
        }
    return bins;
}

/// What a bin should hold for a field of expected periodogram mu(u, v) (power of position
/// (u, v), normalised as the method stores it), and its standard error over `blocks` blocks.
///
/// For (u, v) the method adds the power at (u, v), (256 - u, v) and (u, 256 - v). A real block's
/// transform has X(-u, -v) = conj X(u, v), so the last two are one and the same sample: each
/// (u, v) gives two independent samples, P(u, v) once and P(u, -v) twice. On the axes u = 128
/// and v = 128 all three are the same sample (256 - 128 = 128), and (128, 128) is real, a
/// sample with one degree of freedom instead of two (variance 2 mu^2 instead of mu^2). The
/// powers of distinct samples of Gaussian noise are independent and exponential (variance
/// mu^2), so the variance of a bin's mean is sum(weight^2 variance) / (3 n)^2 / blocks.
struct Expected {
    double value = 0, se = 0;
};

Expected expectedBin(const std::vector<std::pair<int, int>>& positions,
                     const std::function<double(int, int)>& mu, int blocks)
{
    double sum = 0, variance = 0;
    for (const auto& [u, v] : positions) {
        const double a = mu(u, v), b = mu(u, kN - v);
        sum += a + 2 * b;
        if (u == 128 && v == 128) {
            variance += 9 * 2 * a * a;
        } else if (u == 128 || v == 128) {
            variance += 9 * a * a;
        } else {
            variance += a * a + 4 * b * b;
        }
    }
    const double taken = 3.0 * static_cast<double>(positions.size());
    return {sum / taken, std::sqrt(variance / blocks) / taken};
}

/// The fraction of a white field's power at (u, v), u, v != 0, that the quadratic detrend
/// keeps: of the six surface terms only x y has a transform away from the axes, so the fit
/// removes the projection on the unit vector e = x'y' / |x'y'| (x' = x - 127.5), and
/// E|Z - <z, e> E(u, v)|^2 = sigma^2 (N^2 - |E(u, v)|^2).
double keptByDetrend(int u, int v)
{
    const auto transformOfX = [](int f) {
        std::complex<double> s = 0;
        for (int x = 0; x < kN; ++x) s += (x - 127.5) * std::polar(1.0, -2 * kPi * f * x / kN);
        return s;
    };
    double norm2 = 0;
    for (int x = 0; x < kN; ++x) norm2 += (x - 127.5) * (x - 127.5);
    const double e2 = std::norm(transformOfX(u) * transformOfX(v)) / (norm2 * norm2);
    return 1 - e2 / (static_cast<double>(kN) * kN);
}

/// Means of the blocks of the ROI (x0, y0, w, h) of a pixel image of width imageW.
std::vector<double> blockMeans(const std::vector<int16_t>& p, int32_t imageW, int32_t x0,
                               int32_t y0, int32_t w, int32_t h)
{
    std::vector<double> means;
    for (int32_t by = 0; by < h / kN; ++by)
        for (int32_t bx = 0; bx < w / kN; ++bx) {
            double s = 0;
            for (int32_t y = 0; y < kN; ++y)
                for (int32_t x = 0; x < kN; ++x)
                    s += p[static_cast<size_t>(y0 + kN * by + y) * imageW + x0 + kN * bx + x];
            means.push_back(s / (kN * kN));
        }
    return means;
}

/// The mean over blocks of 1 / mean^2: the normalisation of the NNPS.
double meanInverseSquare(const std::vector<double>& means)
{
    double s = 0;
    for (double m : means) s += 1 / (m * m);
    return s / static_cast<double>(means.size());
}

class NnpsAccuracy : public AnalysisFixture {
  protected:
    /// Runs a handler on the whole image as the ROI, stores the curve as data number d and
    /// returns the 25 stored powers.
    std::vector<double> run(const std::function<void(Vylsf&)>& handler, int d,
                            std::initializer_list<const char*> answersBefore = {})
    {
        answer(answersBefore);
        host.inputAnswers.emplace_back(std::to_string(d));
        host.messages.clear();
        freeNumber(d);
        handler(v);
        EXPECT_TRUE(host.messages.empty()) << host.messages.front();
        EXPECT_EQ(v.r.NPSNUM[d - 1], kBins);
        std::vector<double> bins(kBins + 1);
        for (int bin = 1; bin <= kBins; ++bin) {
            EXPECT_NEAR(v.r.NPSFRQ[d - 1][bin - 1], 0.2 * bin, 1e-5);
            bins[bin] = std::pow(10.0, v.r.NPSVAL[d - 1][bin - 1]);
        }
        return bins;
    }
};

/// Variance of the white test noise as the pixels hold it.
constexpr double kSd = 10;
constexpr double kWhiteVariance = kSd * kSd + kRounding;
/// 2048 x 2048: 64 blocks, three standard errors of 4.4 % in bin 1 and 1.1 % in bin 25.
constexpr int32_t kSide = 2048;
constexpr int kBlocks = (kSide / kN) * (kSide / kN);

/// The largest deviation of a curve from its expectation, in standard errors and relative, kept
/// in the test report.
void recordDeviation(const std::string& name, const std::vector<double>& measured,
                     const std::vector<Expected>& expected)
{
    double inSe = 0, relative = 0;
    for (int bin = 1; bin <= kBins; ++bin) {
        const double off = std::fabs(measured[bin] - expected[bin].value);
        inSe = std::max(inSe, off / expected[bin].se);
        relative = std::max(relative, off / expected[bin].value);
    }
    testing::Test::RecordProperty(name + "WorstSe", std::to_string(inSe));
    testing::Test::RecordProperty(name + "WorstRelative", std::to_string(relative));
}

/// Expected bins of white noise of the given variance: flat, less what the detrend takes.
std::vector<Expected> whiteBins(int nu, int nv, double level, int blocks)
{
    const auto positions = binPositions(nu, nv);
    std::vector<Expected> bins(kBins + 1);
    for (int bin = 1; bin <= kBins; ++bin) {
        const Expected kept = expectedBin(positions[bin], keptByDetrend, blocks);
        bins[bin] = {level * kept.value, level * kept.se};
    }
    return bins;
}

TEST_F(NnpsAccuracy, WhiteNoiseIsFlatAtVarianceTimesPixelAreaOverSquaredMean)
{
    const Field noise = whiteNoise(kSide, kSide, 1000, kSd, 1);
    const auto pixels = noise.pixels();
    loadWithRoi(kSide, kSide, pixels, 0, 0, kSide, kSide);
    const auto nnps = run(NNPS2D_Click, 1);
    const auto nps = run(NPS2D_Click, 2);
    const double inverseSquare = meanInverseSquare(blockMeans(pixels, kSide, 0, 0, kSide, kSide));
    const auto normalised =
        whiteBins(128, 128, kWhiteVariance * kPitch * kPitch * inverseSquare, kBlocks);
    const auto absolute = whiteBins(128, 128, kWhiteVariance * kPitch * kPitch, kBlocks);
    for (int bin = 1; bin <= kBins; ++bin) {
        // 1e-6 mm^2 and 1 but for the rounding variance (0.08 %) and what the detrend takes
        // (0.2 % of bin 1)
        EXPECT_NEAR(nnps[bin], normalised[bin].value, 3 * normalised[bin].se) << bin;
        EXPECT_NEAR(nps[bin], absolute[bin].value, 3 * absolute[bin].se) << bin;
    }
    EXPECT_NEAR(normalised[25].value, 1e-6, 0.001e-6);
    recordDeviation("nnpsWhite", nnps, normalised);
    recordDeviation("npsWhite", nps, absolute);
}

TEST_F(NnpsAccuracy, QuadraticShadingChangesNoBin)
{
    const Field noise = whiteNoise(kSide, kSide, 1000, kSd, 2);
    Field shaded = noise;
    for (int32_t y = 0; y < kSide; ++y)
        for (int32_t x = 0; x < kSide; ++x) {
            const double X = (x - kSide / 2.0) / kSide, Y = (y - kSide / 2.0) / kSide;
            shaded.at(x, y) += 400 * X * X - 300 * X * Y + 250 * Y * Y + 150 * X - 60 * Y;
        }
    loadWithRoi(kSide, kSide, noise.pixels(), 0, 0, kSide, kSide);
    const auto flatNps = run(NPS2D_Click, 1);
    const auto pixels = shaded.pixels();
    loadWithRoi(kSide, kSide, pixels, 0, 0, kSide, kSide);
    const auto nnps = run(NNPS2D_Click, 2);
    const auto nps = run(NPS2D_Click, 3);
    // The block means now run from about 960 to 1130; each block is normalised by its own.
    const double inverseSquare = meanInverseSquare(blockMeans(pixels, kSide, 0, 0, kSide, kSide));
    const auto normalised =
        whiteBins(128, 128, kWhiteVariance * kPitch * kPitch * inverseSquare, kBlocks);
    const auto absolute = whiteBins(128, 128, kWhiteVariance * kPitch * kPitch, kBlocks);
    for (int bin = 1; bin <= kBins; ++bin) {
        EXPECT_NEAR(nnps[bin], normalised[bin].value, 3 * normalised[bin].se) << bin;
        EXPECT_NEAR(nps[bin], absolute[bin].value, 3 * absolute[bin].se) << bin;
        // The fit takes the shading out exactly; what differs is the rounding to whole values,
        // drawn anew (variance 1/12 before and after, nearly independent). A sample's power then
        // moves by 2 Re(N conj(R2 - R1)), of relative deviation sqrt(2 (2 / 12) / sd^2), and the
        // bin by that over the square root of its independent samples.
        const double relativeSe = absolute[bin].se / absolute[bin].value;
        EXPECT_NEAR(nps[bin], flatNps[bin],
                    3 * std::sqrt(2 * (2 * kRounding) / (kSd * kSd)) * relativeSe * flatNps[bin])
            << bin;
    }
    recordDeviation("nnpsShaded", nnps, normalised);
}

TEST_F(NnpsAccuracy, CosinesLandInTheirBinsWithThePowerOfTheirTransform)
{
    // cos at (40, 30): radius 50 steps, bin nint(50 / 5.12) = 10, power at (40, 30) and
    // (216, 226), one of them taken. cos at (60, -45): radius 75, bin 15, power at (60, 211) and
    // (196, 45), both taken.
    constexpr int32_t kSize = 1024;
    constexpr int kCosBlocks = 16;
    constexpr double kAmplitude = 10;
    Field f = whiteNoise(kSize, kSize, 1000, kSd, 9);
    for (int32_t y = 0; y < kSize; ++y)
        for (int32_t x = 0; x < kSize; ++x) {
            f.at(x, y) += kAmplitude * (std::cos(2 * kPi * (40 * x + 30 * y) / kN) +
                                        std::cos(2 * kPi * (60 * x - 45 * y) / kN));
        }
    const auto pixels = f.pixels();
    loadWithRoi(kSize, kSize, pixels, 0, 0, kSize, kSize);
    const auto nnps = run(NNPS2D_Click, 1);
    const double inverseSquare = meanInverseSquare(blockMeans(pixels, kSize, 0, 0, kSize, kSize));
    const double level = kWhiteVariance * kPitch * kPitch * inverseSquare;
    const auto white = whiteBins(128, 128, level, kCosBlocks);
    const auto positions = binPositions(128, 128);
    // |X|^2 s / m^2 with X = a N^2 / 2 and s = pitch^2 / N^2
    const double cosine = kAmplitude * kAmplitude * kN * kN / 4 * kPitch * kPitch * inverseSquare;
    for (int bin = 1; bin <= kBins; ++bin) {
        const int taken = bin == 10 ? 1 : bin == 15 ? 2 : 0;
        const double samples = 3.0 * static_cast<double>(positions[bin].size());
        // The noise at the cosine's position adds 2 Re(C conj N) of deviation
        // sqrt(2 |C|^2 E|N|^2), the same sample in both positions of bin 15.
        const double cross = taken * std::sqrt(2 * cosine * level / kCosBlocks) / samples;
        const double expected = white[bin].value + taken * cosine / samples;
        EXPECT_NEAR(nnps[bin], expected, 3 * std::hypot(white[bin].se, cross)) << bin;
    }
    EXPECT_GT(nnps[10], 10 * white[10].value) << "the cosine stands well above the noise";
}

TEST_F(NnpsAccuracy, AbsoluteSpectrumIsNormalisedOneTimesSquaredMeanForBlocksOfEqualMean)
{
    // One block, and two blocks the second of which is the first mirrored: same pixels, same mean,
    // another spectrum.
    Field f = whiteNoise(2 * kN, kN, 1500, 20, 4);
    for (int32_t y = 0; y < kN; ++y)
        for (int32_t x = 0; x < kN; ++x) f.at(2 * kN - 1 - x, y) = f.at(x, y);
    const auto pixels = f.pixels();
    for (const int16_t width : {int16_t{kN}, int16_t{2 * kN}}) {
        loadWithRoi(2 * kN, kN, pixels, 0, 0, width, kN);
        const double mean = blockMeans(pixels, 2 * kN, 0, 0, kN, kN)[0];
        const auto nnps = run(NNPS2D_Click, 1);
        const auto nps = run(NPS2D_Click, 2);
        for (int bin = 1; bin <= kBins; ++bin) {
            // Single arithmetic: the block mean of the method is within 1e-6 of the exact one,
            // and dividing by it rounds every value by 6e-8 relative
            EXPECT_NEAR(nps[bin] / nnps[bin], mean * mean, 1e-5 * mean * mean)
                << width << " bin " << bin;
        }
    }
}

/// Gaussian blur of 0.5 pixel.
const std::vector<double>& kernel()
{
    static const std::vector<double> k = gaussianKernel(0.5);
    return k;
}

/// Bins of filtered noise: white noise of variance `white` through the kernel (along y only
/// when `bothAxes`) and then rounded, times pitch^2 inverseSquare, averaged over the bins' own
/// positions.
///
/// The expected periodogram of a block is this spectrum smoothed by the Fejer kernel of 256
/// points, less the part the detrend takes. For this kernel the smoothed spectrum (sum over the
/// lags d of the autocovariance times 256 - |d|) differs from |H|^2 by at most 0.3 % in any bin
/// of the radial curve and 0.34 % in the band along the rows, and the detrend takes 0.2 % of
/// bin 1 of white noise: the 5 % allowance covers both many times.
std::vector<Expected> filteredBins(int nu, int nv, double white, bool bothAxes,
                                   double inverseSquare, int blocks)
{
    const auto positions = binPositions(nu, nv);
    const auto mu = [&](int u, int v) {
        const double g = gain2(kernel(), u / static_cast<double>(kN)) *
                         (bothAxes ? gain2(kernel(), v / static_cast<double>(kN)) : 1.0);
        return (white * g + kRounding) * kPitch * kPitch * inverseSquare;
    };
    std::vector<Expected> bins(kBins + 1);
    for (int bin = 1; bin <= kBins; ++bin) bins[bin] = expectedBin(positions[bin], mu, blocks);
    return bins;
}

TEST_F(NnpsAccuracy, CorrelatedNoiseFollowsTheSquaredTransferOfItsKernel)
{
    constexpr double kWhiteSd = 20;
    const Field f = filteredNoise(kSide, kSide, 1000, kWhiteSd, kernel(), true, 6);
    const auto pixels = f.pixels();
    loadWithRoi(kSide, kSide, pixels, 0, 0, kSide, kSide);
    const auto nnps = run(NNPS2D_Click, 1);
    const double inverseSquare = meanInverseSquare(blockMeans(pixels, kSide, 0, 0, kSide, kSide));
    const auto expected = filteredBins(128, 128, kWhiteSd * kWhiteSd, true, inverseSquare, kBlocks);
    for (int bin = 1; bin <= kBins; ++bin) {
        EXPECT_NEAR(nnps[bin], expected[bin].value,
                    0.05 * expected[bin].value + 3 * expected[bin].se)
            << bin;
    }
    EXPECT_LT(expected[25].value, 0.3 * expected[1].value) << "the kernel shapes the curve";
    recordDeviation("nnpsCorrelated", nnps, expected);
}

TEST_F(NnpsAccuracy, BandsOfIsotropicNoiseAgreeWithTheRadialCurve)
{
    const Field noise = whiteNoise(kSide, kSide, 1000, kSd, 7);
    const auto pixels = noise.pixels();
    loadWithRoi(kSide, kSide, pixels, 0, 0, kSide, kSide);
    const auto radial = run(NNPS2D_Click, 1);
    const auto h = run(NNPS1D_Click, 2, {"0", "7"});
    const auto vertical = run(NNPS1D_Click, 3, {"1", "7"});
    const double level = kWhiteVariance * kPitch * kPitch *
                         meanInverseSquare(blockMeans(pixels, kSide, 0, 0, kSide, kSide));
    const auto radialBins = whiteBins(128, 128, level, kBlocks);
    const auto hBins = whiteBins(128, 7, level, kBlocks);
    const auto vBins = whiteBins(7, 128, level, kBlocks);
    for (int bin = 1; bin <= kBins; ++bin) {
        EXPECT_NEAR(h[bin], hBins[bin].value, 3 * hBins[bin].se) << bin;
        EXPECT_NEAR(vertical[bin], vBins[bin].value, 3 * vBins[bin].se) << bin;
        // The band's samples are part of the radial bin: the two deviate together, and the
        // sum of the variances over-states the variance of the difference.
        EXPECT_NEAR(h[bin], radial[bin], 3 * std::hypot(hBins[bin].se, radialBins[bin].se)) << bin;
        EXPECT_NEAR(vertical[bin], radial[bin], 3 * std::hypot(vBins[bin].se, radialBins[bin].se))
            << bin;
    }
    recordDeviation("nnpsH", h, hBins);
    recordDeviation("nnpsV", vertical, vBins);
}

TEST_F(NnpsAccuracy, NoiseCorrelatedAlongTheRowsSeparatesTheBands)
{
    constexpr double kWhiteSd = 20;
    const Field f = filteredNoise(kSide, kSide, 1000, kWhiteSd, kernel(), false, 8);
    const auto pixels = f.pixels();
    loadWithRoi(kSide, kSide, pixels, 0, 0, kSide, kSide);
    const auto h = run(NNPS1D_Click, 1, {"0", "7"});
    const auto vertical = run(NNPS1D_Click, 2, {"1", "7"});
    const double inverseSquare = meanInverseSquare(blockMeans(pixels, kSide, 0, 0, kSide, kSide));
    const auto hBins = filteredBins(128, 7, kWhiteSd * kWhiteSd, false, inverseSquare, kBlocks);
    const auto vBins = filteredBins(7, 128, kWhiteSd * kWhiteSd, false, inverseSquare, kBlocks);
    for (int bin = 1; bin <= kBins; ++bin) {
        EXPECT_NEAR(h[bin], hBins[bin].value, 0.05 * hBins[bin].value + 3 * hBins[bin].se) << bin;
        EXPECT_NEAR(vertical[bin], vBins[bin].value, 0.05 * vBins[bin].value + 3 * vBins[bin].se)
            << bin;
    }
    // Along the rows the kernel passes a third of the power at Nyquist; across them it passes all.
    EXPECT_LT(hBins[25].value, 0.4 * vBins[25].value);
    EXPECT_LT(h[25], 0.5 * vertical[25]);
    recordDeviation("nnpsRowsH", h, hBins);
    recordDeviation("nnpsRowsV", vertical, vBins);
}

// ---------------------------------------------------------------------------------------------
// The summed reading against the line-by-line reading

class NnpsReadings : public NnpsAccuracy {
  protected:
    /// NPSBIN[0 .. 25] of one reading (nullopt: the line-by-line reference) for the current ROI
    /// and band.
    std::vector<float> bins(std::optional<NpsReading> reading, int raw)
    {
        std::fill(v.r.NPSBIN.begin(), v.r.NPSBIN.end(), 0.0f);
        std::fill(v.r.NPSSUM.begin(), v.r.NPSSUM.end(), 0.0f);
        v.r.NBINS = kBins;
        const std::string why = reading ? radinpsWith(v, raw, *reading) : radinpsLineByLine(v, raw);
        EXPECT_EQ(why, "");
        return {v.r.NPSBIN.begin(), v.r.NPSBIN.begin() + kBins + 1};
    }

    /// A 1024 x 768 image with the ROI of 3 x 2 blocks at (128, 256) in it.
    void load(const Field& f)
    {
        loadWithRoi(f.w, f.h, f.pixels(), 128, 256, 3 * kN, 2 * kN);
    }
};

TEST_F(NnpsReadings, SummedEqualsLineByLineOnNoiseAndShadedNoise)
{
    Field noise = whiteNoise(1024, 768, 1000, 10, 11);
    Field shaded = noise;
    for (int32_t y = 0; y < shaded.h; ++y)
        for (int32_t x = 0; x < shaded.w; ++x) {
            const double X = (x - 512.0) / 1024, Y = (y - 384.0) / 768;
            shaded.at(x, y) += 900 * X * X - 400 * X * Y + 300 * Y * Y + 200 * X;
        }
    struct Band {
        int16_t u, v;
        const char* name;
    };
    float worst = 0;
    for (const Field* f : {&noise, &shaded}) {
        load(*f);
        for (const Band band : {Band{128, 128, "2D"}, Band{128, 7, "H 7"}, Band{5, 128, "V 5"}}) {
            for (const int raw : {0, 1}) {
                v.r.NPSU = band.u;
                v.r.NPSV = band.v;
                const auto reference = bins(std::nullopt, raw);
                const std::vector<float> roiCopy = v.r.ROIDAT;
                const std::vector<int32_t> counts = v.r.NPSCNT;
                const std::vector<float> sums(v.r.NPSSUM.begin(), v.r.NPSSUM.begin() + kBins + 1);
                std::fill(v.r.ROIDAT.begin(), v.r.ROIDAT.end(), 0.0f);
                const auto summed = bins(NpsReading::Summed, raw);
                const std::string what = std::string(f == &noise ? "noise " : "shaded ") +
                                         band.name + (raw == 1 ? " NPS" : " NNPS");
                for (int bin = 0; bin <= kBins; ++bin) {
                    worst = std::max(worst, std::fabs(summed[bin] / reference[bin] - 1.0f));
                    // the accuracy asked of the summed reading
                    EXPECT_NEAR(summed[bin], reference[bin], 1e-5 * reference[bin])
                        << what << " bin " << bin;
                    EXPECT_NEAR(v.r.NPSSUM[bin], sums[bin], 1e-5 * sums[bin])
                        << what << " bin " << bin;
                }
                EXPECT_EQ(v.r.NPSCNT, counts) << what;
                EXPECT_EQ(v.r.ROIDAT, roiCopy) << what;
            }
        }
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.2e", static_cast<double>(worst));
    RecordProperty("worstRelativeDifference", text);
}

TEST_F(NnpsReadings, AvxPassesGiveThePortableBits)
{
    if (!npsSummedUsesAvx2()) GTEST_SKIP() << "this processor runs the portable passes only";
    Field f = whiteNoise(1024, 768, 1000, 10, 12);
    for (int32_t y = 0; y < f.h; ++y)
        for (int32_t x = 0; x < f.w; ++x) f.at(x, y) += 0.001 * (x - 300.0) * (y - 200.0);
    load(f);
    for (const int16_t band : {int16_t{128}, int16_t{9}}) {
        v.r.NPSU = 128;
        v.r.NPSV = band;
        const auto portable = bins(NpsReading::SummedPortable, 0);
        const auto avx = bins(NpsReading::Summed, 0);
        EXPECT_EQ(std::memcmp(portable.data(), avx.data(), portable.size() * sizeof(float)), 0)
            << band;
    }
}

TEST_F(NnpsReadings, BothReadingsRefuseExactQuadraticBlocksAndZeroMeans)
{
    // Whole-valued quadratic surfaces: the fit reproduces them to the last bit, no power is left.
    std::vector<int16_t> surface(kN * kN);
    for (int y = 0; y < kN; ++y)
        for (int x = 0; x < kN; ++x)
            surface[static_cast<size_t>(y) * kN + x] =
                static_cast<int16_t>(10000 + x * (x - 255) / 2 + (x - 128) * (y - 128) - 3 * y);
    // Values +-7 in pairs that cancel: a block mean of 0.
    std::vector<int16_t> zeroMean(kN * kN);
    for (size_t i = 0; i < zeroMean.size(); i += 2) {
        zeroMean[i] = static_cast<int16_t>(i % 7 + 1);
        zeroMean[i + 1] = static_cast<int16_t>(-(zeroMean[i]));
    }
    for (const auto* pixels : {&surface, &zeroMean}) {
        loadWithRoi(kN, kN, *pixels, 0, 0, kN, kN);
        v.r.NPSU = v.r.NPSV = 128;
        const std::string reference = radinpsLineByLine(v, 0);
        EXPECT_NE(reference, "");
        EXPECT_EQ(radinpsWith(v, 0, NpsReading::Summed), reference);
        EXPECT_EQ(radinpsWith(v, 0, NpsReading::SummedPortable), reference);
    }
}

TEST(NnpsSurface, RowSumFitIsTheSurfaceOfLesq2d)
{
    std::mt19937 rng(5);
    std::normal_distribution<double> noise(0, 30);
    std::vector<int16_t> block(kN * kN);
    std::vector<float> a(kN * kN), lesq(kN * kN);
    for (int y = 0; y < kN; ++y)
        for (int x = 0; x < kN; ++x) {
            const double z =
                3000 + 4.0 * x - 2.5 * y + 0.03 * x * x - 0.02 * x * y + 0.01 * y * y + noise(rng);
            block[static_cast<size_t>(y) * kN + x] = static_cast<int16_t>(std::lround(z));
            a[static_cast<size_t>(y) * kN + x] = block[static_cast<size_t>(y) * kN + x];
        }
    LESQ2D(a.data(), lesq.data(), kN);
    nps::RowSums sums{};
    nps::portablePasses().rowSums(block.data(), kN, sums);
    nps::RowSums vectorSums{};
    if (npsSummedUsesAvx2()) {
        nps::avx2Passes().rowSums(block.data(), kN, vectorSums);
        EXPECT_EQ(std::memcmp(&sums, &vectorSums, sizeof sums), 0);
    }
    const auto f = std::make_unique<nps::Surface>();
    nps::fitSurface(sums, *f);
    int differing = 0;
    for (int y = 0; y < kN; ++y)
        for (int x = 0; x < kN; ++x) {
            const auto fit = static_cast<float>(f->q[y] + x * (f->b[y] + f->c3x[x]));
            const float reference = lesq[static_cast<size_t>(y) * kN + x];
            // Same coefficients, evaluated in another order in double: the Single rounding can
            // differ only where the double value lies within 1e-12 of a rounding boundary.
            EXPECT_LE(std::fabs(fit - reference), std::nextafter(reference, 1e9f) - reference)
                << x << ", " << y;
            differing += fit != reference;
        }
    EXPECT_LE(differing, 2);
}

} // namespace
