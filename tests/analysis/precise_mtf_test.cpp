// The precise edge MTF against edges whose MTF is known in closed form: noiseless edges of every
// orientation, a heavy-tailed edge, noisy edges over many seeds, the binning invariant, and one
// fixture for each refusal and warning.
#include "edge_image.h"
#include "precise_mtf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

using namespace vantry;
using edgeimage::EdgeSpec;
using edgeimage::Profile;

namespace {

constexpr double kPitch = 0.1;
constexpr double kNyquist = 0.5 / kPitch;
constexpr double kPi = std::numbers::pi;
/// Margin of image around the ROI, pixels.
constexpr int32_t kMargin = 10;

std::string text(double v)
{
    char s[32];
    std::snprintf(s, sizeof s, "%.2g", v);
    return s;
}

struct Image {
    std::vector<int16_t> pixels;
    int32_t width = 0, height = 0;
};

/// An edge image whose ROI is `across` x `along` pixels (across the edge, along it), inside a
/// margin; the edge through the ROI's centre unless the EdgeSpec places it.
EdgeSpec specFor(EdgeSpec e, int32_t across, int32_t along)
{
    const bool x = e.profile == Profile::AlongX;
    e.width = (x ? across : along) + 2 * kMargin;
    e.height = (x ? along : across) + 2 * kMargin;
    return e;
}

PreciseMtfResult measure(const Image& image, PreciseMtfOptions options = {.fmax = kNyquist, .fint = 0.1})
{
    return measurePreciseMtf(image.pixels.data(), image.width, image.height, kMargin, kMargin,
                             image.width - 2 * kMargin, image.height - 2 * kMargin, kPitch,
                             options);
}

Image imageOf(const EdgeSpec& e)
{
    return {edgeimage::edgeImage(e), e.width, e.height};
}

/// The largest |measured - truth| over the grid up to Nyquist.
double maxError(const PreciseMtfResult& r, const std::function<double(double)>& truth)
{
    double worst = 0;
    for (size_t k = 0; k < r.freq.size(); ++k) {
        if (r.freq[k] > kNyquist + 1e-9) break;
        worst = std::max(worst, std::abs(r.mtf[k] - truth(r.freq[k])));
    }
    return worst;
}

/// A mixture of two Gaussian edges (weights w and 1 - w of the contrast) with the exact pixel
/// aperture, rounded like edgeImage; the heavy tail of a real detector's LSF.
Image mixedEdge(const EdgeSpec& e, double sigma2, double weight2)
{
    const double theta = e.tiltDeg * kPi / 180;
    const double a = std::abs(std::cos(theta)), b = std::abs(std::sin(theta));
    Image image{std::vector<int16_t>(static_cast<size_t>(e.width) * e.height), e.width, e.height};
    for (int32_t y = 0; y < e.height; ++y) {
        for (int32_t x = 0; x < e.width; ++x) {
            const double u = edgeimage::edgeDistance(e, x, y);
            const double esf = (1 - weight2) * edgeimage::apertureEsf(u, e.sigmaPx, a, b) +
                               weight2 * edgeimage::apertureEsf(u, sigma2, a, b);
            image.pixels[static_cast<size_t>(y) * e.width + x] =
                static_cast<int16_t>(std::nearbyint(e.low + (e.high - e.low) * esf));
        }
    }
    return image;
}

/// Contrast of the noiseless edges: large, so that rounding to integers does not count.
constexpr double kLow = 1000, kHigh = 21000;

// ---- Noiseless Gaussian edges --------------------------------------------------------------

struct Worst {
    double mtf = 0, angle = 0;
};

TEST(PreciseMtfAccuracy, NoiselessEdgesOfEveryOrientationMatchTheAnalyticMtf)
{
    const double sigmas[] = {0.3, 0.5, 0.8};
    const double tilts[] = {2, -2, 3.5, -5, 5, 8, -8};
    Worst overall;
    for (double sigma : sigmas) {
        for (double tilt : tilts) {
            Worst cell;
            for (Profile profile : {Profile::AlongX, Profile::AlongY}) {
                for (bool rising : {true, false}) {
                    for (auto [across, along] : {std::pair{256, 128}, std::pair{160, 160}}) {
                        const EdgeSpec e =
                            specFor({.sigmaPx = sigma, .tiltDeg = tilt, .profile = profile,
                                     .rising = rising, .low = kLow, .high = kHigh},
                                    across, along);
                        const PreciseMtfResult r = measure(imageOf(e));
                        SCOPED_TRACE("sigma " + text(sigma) + " tilt " + text(tilt) +
                                     (profile == Profile::AlongX ? " along x" : " along y") +
                                     (rising ? " rising " : " falling ") +
                                     std::to_string(across) + " x " + std::to_string(along));
                        ASSERT_EQ(r.error, "");
                        EXPECT_TRUE(r.warnings.empty()) << r.warnings.front();
                        EXPECT_EQ(r.dir, profile == Profile::AlongX ? " H" : " V");
                        const double err = maxError(r, [&](double f) {
                            return edgeimage::edgeMtf(f, kPitch, sigma, tilt);
                        });
                        EXPECT_LE(err, 0.001);
                        EXPECT_NEAR(r.angleDeg, tilt, 0.02);
                        cell.mtf = std::max(cell.mtf, err);
                        cell.angle = std::max(cell.angle, std::abs(r.angleDeg - tilt));
                    }
                }
            }
            std::printf("noiseless sigma %.1f px tilt %+.1f deg: max |MTF error| %.5f, max "
                        "|angle error| %.5f deg\n",
                        sigma, tilt, cell.mtf, cell.angle);
            overall.mtf = std::max(overall.mtf, cell.mtf);
            overall.angle = std::max(overall.angle, cell.angle);
        }
    }
    RecordProperty("max_mtf_error", text(overall.mtf));
    RecordProperty("max_angle_error_deg", text(overall.angle));
}

TEST(PreciseMtfAccuracy, HeavyTailedEdgeKeepsItsLowFrequencies)
{
    // 90 % of the edge blurred by 0.3 pixel, 10 % by 2 pixels: a window cut to the central width
    // would lose the tail and raise the low frequencies by up to 0.1.
    for (double tilt : {3.0, -6.0}) {
        const EdgeSpec e = specFor(
            {.sigmaPx = 0.3, .tiltDeg = tilt, .low = kLow, .high = kHigh}, 256, 128);
        const PreciseMtfResult r = measure(mixedEdge(e, 2.0, 0.1));
        ASSERT_EQ(r.error, "");
        const double err = maxError(r, [&](double f) {
            return 0.9 * edgeimage::edgeMtf(f, kPitch, 0.3, tilt) +
                   0.1 * edgeimage::edgeMtf(f, kPitch, 2.0, tilt);
        });
        std::printf("heavy tail tilt %+.1f deg: max |MTF error| %.5f, span %.2f + %.2f px\n",
                    tilt, err, r.spanLowPx, r.spanHighPx);
        RecordProperty("heavy_tail_max_error_" + text(tilt), text(err));
        EXPECT_LE(err, 0.003);
    }
}

TEST(PreciseMtfAccuracy, OneSidedTailIsKeptOnEitherSideOfTheEdge)
{
    // A tenth of the edge 4 pixels further on and blurred by 1 pixel: the LSF reaches some 8
    // pixels on one side and 1.5 on the other, the side that rising or falling turns it to.
    // Its MTF is |0.9 M(0.3) + 0.1 M(1) exp(-2 pi i f 4 px)|.
    constexpr double kTilt = 4, kShift = 4;
    for (bool rising : {true, false}) {
        const EdgeSpec e = specFor(
            {.sigmaPx = 0.3, .tiltDeg = kTilt, .rising = rising, .low = kLow, .high = kHigh},
            256, 128);
        const double theta = kTilt * kPi / 180;
        const double a = std::cos(theta), b = std::sin(theta);
        Image image{std::vector<int16_t>(static_cast<size_t>(e.width) * e.height), e.width,
                    e.height};
        for (int32_t y = 0; y < e.height; ++y) {
            for (int32_t x = 0; x < e.width; ++x) {
                const double u = edgeimage::edgeDistance(e, x, y);
                const double esf = 0.9 * edgeimage::apertureEsf(u, 0.3, a, b) +
                                   0.1 * edgeimage::apertureEsf(u - kShift, 1.0, a, b);
                image.pixels[static_cast<size_t>(y) * e.width + x] =
                    static_cast<int16_t>(std::nearbyint(kLow + (kHigh - kLow) * esf));
            }
        }
        const PreciseMtfResult r = measure(image);
        ASSERT_EQ(r.error, "");
        const double err = maxError(r, [&](double f) {
            const double m0 = 0.9 * edgeimage::edgeMtf(f, kPitch, 0.3, kTilt);
            const double m1 = 0.1 * edgeimage::edgeMtf(f, kPitch, 1.0, kTilt);
            const double phase = 2 * kPi * f * kShift * kPitch;
            return std::hypot(m0 + m1 * std::cos(phase), m1 * std::sin(phase));
        });
        std::printf("one-sided tail, %s: max |MTF error| %.5f, span %.2f + %.2f px\n",
                    rising ? "rising" : "falling", err, r.spanLowPx, r.spanHighPx);
        RecordProperty(std::string("one_sided_tail_max_error_") + (rising ? "rising" : "falling"),
                       text(err));
        EXPECT_LE(err, 0.002);
    }
}

TEST(PreciseMtfAccuracy, NarrowRoiOf100AcrossBy40Along)
{
    // 40 lines at 3 degrees give the bins only two turns of the pixel phase: a looser 0.002.
    for (double tilt : {3.0, -5.0}) {
        for (Profile profile : {Profile::AlongX, Profile::AlongY}) {
            const EdgeSpec e = specFor({.sigmaPx = 0.5, .tiltDeg = tilt, .profile = profile,
                                        .low = kLow, .high = kHigh},
                                       100, 40);
            const PreciseMtfResult r = measure(imageOf(e));
            ASSERT_EQ(r.error, "");
            EXPECT_EQ(r.dir, profile == Profile::AlongX ? " H" : " V");
            const double err = maxError(
                r, [&](double f) { return edgeimage::edgeMtf(f, kPitch, 0.5, tilt); });
            std::printf("100 x 40 ROI %s tilt %+.1f deg: max |MTF error| %.5f, angle error "
                        "%.5f\n",
                        r.dir.c_str(), tilt, err, r.angleDeg - tilt);
            EXPECT_LE(err, 0.002);
            EXPECT_NEAR(r.angleDeg, tilt, 0.05);
        }
    }
}

// ---- Noise ------------------------------------------------------------------------------------

/// The frequency where a curve sampled on a grid first falls to 0.5, by linear interpolation.
double mtf50Of(const std::vector<double>& freq, const std::vector<double>& mtf)
{
    for (size_t k = 1; k < mtf.size(); ++k) {
        if (mtf[k] < 0.5) {
            return freq[k - 1] + (mtf[k - 1] - 0.5) / (mtf[k - 1] - mtf[k]) * (freq[k] - freq[k - 1]);
        }
    }
    return std::nan("");
}

/// The frequency where a decreasing function falls to 0.5, by bisection on [0, high].
double mtf50Of(const std::function<double(double)>& mtf, double high)
{
    double a = 0, b = high;
    for (int i = 0; i < 60; ++i) (mtf((a + b) / 2) > 0.5 ? a : b) = (a + b) / 2;
    return (a + b) / 2;
}

struct Moments {
    double mean = 0, sd = 0;
};

Moments momentsOf(const std::vector<double>& v)
{
    Moments m;
    for (double x : v) m.mean += x;
    m.mean /= static_cast<double>(v.size());
    for (double x : v) m.sd += (x - m.mean) * (x - m.mean);
    m.sd = std::sqrt(m.sd / static_cast<double>(v.size() - 1));
    return m;
}

TEST(PreciseMtfAccuracy, NoisyEdgeOverThirtySeedsIsUnbiasedWithAnHonestStandardError)
{
    constexpr double kSigma = 0.3, kTilt = 5;
    constexpr int kSeeds = 30;
    const auto truth = [](double f) { return edgeimage::edgeMtf(f, kPitch, kSigma, kTilt); };
    // 0.125, 0.25, 0.375 and 0.5 cycles/pixel on a grid of 0.025 cycles/mm.
    const size_t points[] = {50, 100, 150, 200};
    std::vector<std::vector<double>> values(4), errors(4);
    std::vector<double> mtf50, angles;
    double cnr = 0;
    for (int seed = 1; seed <= kSeeds; ++seed) {
        const EdgeSpec e = specFor({.sigmaPx = kSigma, .tiltDeg = kTilt, .low = 1000,
                                    .high = 3000, .noiseSd = 20,
                                    .seed = static_cast<uint32_t>(seed)},
                                   256, 128);
        const PreciseMtfResult r = measure(imageOf(e), {.fmax = 5, .fint = 0.025});
        ASSERT_EQ(r.error, "") << "seed " << seed;
        ASSERT_EQ(r.freq.size(), 201u);
        for (size_t i = 0; i < 4; ++i) {
            values[i].push_back(r.mtf[points[i]]);
            errors[i].push_back(r.se[points[i]]);
        }
        mtf50.push_back(mtf50Of(r.freq, r.mtf));
        angles.push_back(r.angleDeg - kTilt);
        cnr += r.cnr / kSeeds;
    }
    EXPECT_NEAR(cnr, 100, 10);
    for (size_t i = 0; i < 4; ++i) {
        const double f = 0.025 * static_cast<double>(points[i]);
        const Moments m = momentsOf(values[i]);
        const double se = momentsOf(errors[i]).mean;
        const double bias = m.mean - truth(f);
        std::printf("noise f %.3f c/px: bias %+.5f, sd %.5f, mean se %.5f, se/sd %.2f\n",
                    f * kPitch, bias, m.sd, se, se / m.sd);
        RecordProperty("noise_bias_" + text(f * kPitch), text(bias));
        RecordProperty("noise_sd_" + text(f * kPitch), text(m.sd));
        RecordProperty("noise_se_over_sd_" + text(f * kPitch), text(se / m.sd));
        EXPECT_LE(std::abs(bias), 0.003) << "at " << f << " cycles/mm";
        EXPECT_LE(m.sd, 0.006) << "at " << f << " cycles/mm";
        EXPECT_LE(se, 1.6 * m.sd) << "at " << f << " cycles/mm";
        EXPECT_GE(se, m.sd / 1.6) << "at " << f << " cycles/mm";
    }
    const double true50 = mtf50Of(truth, 2 * kNyquist);
    const Moments m50 = momentsOf(mtf50);
    const double bias50 = m50.mean / true50 - 1;
    std::printf("MTF50 %.4f cycles/mm (truth %.4f): bias %+.3f %%, sd %.3f %%\n", m50.mean,
                true50, 100 * bias50, 100 * m50.sd / true50);
    RecordProperty("mtf50_bias_percent", text(100 * bias50));
    RecordProperty("mtf50_sd_percent", text(100 * m50.sd / true50));
    EXPECT_LE(std::abs(bias50), 0.003);
    EXPECT_LT(m50.sd / true50, 0.008);
    // The slope from 128 lines: the fitted ESF places each line to about 0.015 pixel, so the
    // angle scatters by some 0.002 degree.
    const Moments angle = momentsOf(angles);
    double worstAngle = 0;
    for (double a : angles) worstAngle = std::max(worstAngle, std::abs(a));
    std::printf("angle error: mean %+.5f, sd %.5f, max %.5f deg\n", angle.mean, angle.sd,
                worstAngle);
    RecordProperty("noise_angle_sd_deg", text(angle.sd));
    EXPECT_LE(worstAngle, 0.01);
}

// ---- Binning -----------------------------------------------------------------------------------

TEST(PreciseMtfAccuracy, TwoByTwoBinningMultipliesTheMtfByTheCosinesOfTheBinnedAperture)
{
    // Summing 2 x 2 blocks widens the aperture from one pixel to two: along the normal the MTF
    // gains cos(pi f p cos theta) cos(pi f p sin theta), p the unbinned pitch.
    constexpr double kTilt = 4;
    const EdgeSpec e{.width = 532, .height = 276, .sigmaPx = 0.5, .tiltDeg = kTilt,
                     .low = 1000, .high = 7000};
    const std::vector<int16_t> fine = edgeimage::edgeImage(e);
    const int32_t w = e.width / 2, h = e.height / 2;
    std::vector<int16_t> binned(static_cast<size_t>(w) * h);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            const auto at = [&](int32_t dx, int32_t dy) {
                return fine[static_cast<size_t>(2 * y + dy) * e.width + 2 * x + dx];
            };
            binned[static_cast<size_t>(y) * w + x] =
                static_cast<int16_t>(at(0, 0) + at(1, 0) + at(0, 1) + at(1, 1));
        }
    }
    const PreciseMtfOptions grid{.fmax = 2.5, .fint = 0.1};
    const PreciseMtfResult r1 =
        measurePreciseMtf(fine.data(), e.width, e.height, 20, 20, 492, 236, kPitch, grid);
    const PreciseMtfResult r2 =
        measurePreciseMtf(binned.data(), w, h, 10, 10, 246, 118, 2 * kPitch, grid);
    ASSERT_EQ(r1.error, "");
    ASSERT_EQ(r2.error, "");
    ASSERT_EQ(r1.freq.size(), r2.freq.size());
    const double theta = kTilt * kPi / 180;
    double worst = 0;
    for (size_t k = 0; k < r1.freq.size(); ++k) {
        const double f = r1.freq[k];
        const double gain = std::cos(kPi * f * kPitch * std::cos(theta)) *
                            std::cos(kPi * f * kPitch * std::sin(theta));
        worst = std::max(worst, std::abs(r2.mtf[k] - r1.mtf[k] * gain));
    }
    std::printf("binning: max |binned - unbinned x cosines| %.5f\n", worst);
    RecordProperty("binning_max_error", text(worst));
    EXPECT_LE(worst, 0.002);
    EXPECT_NEAR(r2.angleDeg, kTilt, 0.02);
}

// ---- Refusals and warnings, one fixture each -------------------------------------------------

/// An image of the ROI size and margin of specFor whose pixel at distance u (pixels, along the
/// edge normal of e) from the edge line is value(u), rounded.
Image profileImage(const EdgeSpec& e, const std::function<double(double)>& value)
{
    Image image{std::vector<int16_t>(static_cast<size_t>(e.width) * e.height), e.width, e.height};
    for (int32_t y = 0; y < e.height; ++y) {
        for (int32_t x = 0; x < e.width; ++x) {
            image.pixels[static_cast<size_t>(y) * e.width + x] = static_cast<int16_t>(
                std::clamp(std::nearbyint(value(edgeimage::edgeDistance(e, x, y))), -32768.0,
                           32767.0));
        }
    }
    return image;
}

bool hasWarning(const PreciseMtfResult& r, const std::string& words)
{
    return std::any_of(r.warnings.begin(), r.warnings.end(), [&](const std::string& w) {
        return w.rfind("warning ", 0) == 0 && w.find(words) != std::string::npos;
    });
}

std::string warningsOf(const PreciseMtfResult& r)
{
    std::string all;
    for (const std::string& w : r.warnings) all += w + "\n";
    return all;
}

/// A good edge: sigma 0.5 pixel, 4 degrees, CNR 100.
EdgeSpec goodEdge()
{
    return specFor({.sigmaPx = 0.5, .tiltDeg = 4, .low = 1000, .high = 3000, .noiseSd = 20}, 256,
                   128);
}

TEST(PreciseMtfRefusals, UntiltedAnd45DegreeEdgesCannotFillTheBins)
{
    for (double tilt : {0.0, 45.0, -45.0, 0.2}) {
        EdgeSpec e = goodEdge();
        e.tiltDeg = tilt;
        const PreciseMtfResult r = measure(imageOf(e));
        EXPECT_NE(r.error.find("tilt"), std::string::npos) << tilt << ": " << r.error;
        EXPECT_NE(r.error.find("2 to 10 degrees"), std::string::npos) << r.error;
        EXPECT_TRUE(r.mtf.empty());
    }
    // Just beyond the smallest tilt the 128 lines can use, the edge is measured.
    EdgeSpec e = goodEdge();
    e.tiltDeg = 1.5;
    EXPECT_EQ(measure(imageOf(e)).error, "");
}

TEST(PreciseMtfRefusals, FlatFieldIsNoEdgeWhateverItsDefects)
{
    EdgeSpec e = goodEdge();
    e.high = e.low;
    Image flat = imageOf(e);
    const auto refusedAsNoEdge = [](const Image& image) {
        const PreciseMtfResult r = measure(image);
        return r.error.rfind("There is no edge in the ROI", 0) == 0 && r.mtf.empty();
    };
    EXPECT_TRUE(refusedAsNoEdge(flat));
    // A hot pixel at one end, a hot row across the ROI and a dead column at one end.
    Image hotPixel = flat;
    hotPixel.pixels[static_cast<size_t>(60) * flat.width + 14] = 30000;
    EXPECT_TRUE(refusedAsNoEdge(hotPixel));
    Image hotRow = flat;
    for (int32_t x = 0; x < flat.width; ++x) hotRow.pixels[static_cast<size_t>(70) * flat.width + x] = 20000;
    EXPECT_TRUE(refusedAsNoEdge(hotRow));
    Image deadColumn = flat;
    for (int32_t y = 0; y < flat.height; ++y) deadColumn.pixels[static_cast<size_t>(y) * flat.width + flat.width - 15] = 0;
    EXPECT_TRUE(refusedAsNoEdge(deadColumn));
}

TEST(PreciseMtfRefusals, HotPixelInAPlateauDoesNotRefuseAGoodEdge)
{
    const EdgeSpec e = goodEdge();
    Image image = imageOf(e);
    image.pixels[static_cast<size_t>(50) * e.width + 20] = 30000;
    const PreciseMtfResult r = measure(image);
    ASSERT_EQ(r.error, "");
    EXPECT_LE(maxError(r, [&](double f) { return edgeimage::edgeMtf(f, kPitch, 0.5, 4); }), 0.03);
}

TEST(PreciseMtfRefusals, LinesOffTheEdgeLineAreLeftOut)
{
    // Three lines whose edge lies 6 pixels off (a scratch in the edge): the line through the
    // others is fitted again without them, and their pixels stay out of the ESF.
    const EdgeSpec e = specFor({.sigmaPx = 0.5, .tiltDeg = 4, .low = kLow, .high = kHigh}, 256, 128);
    Image image = imageOf(e);
    EdgeSpec moved = e;
    moved.edgeX = e.width / 2.0 + 6;
    const Image off = imageOf(moved);
    for (int32_t y : {kMargin + 30, kMargin + 31, kMargin + 90}) {
        std::copy_n(off.pixels.begin() + static_cast<std::ptrdiff_t>(y) * e.width, e.width,
                    image.pixels.begin() + static_cast<std::ptrdiff_t>(y) * e.width);
    }
    const PreciseMtfResult r = measure(image);
    ASSERT_EQ(r.error, "");
    EXPECT_NEAR(r.angleDeg, 4, 0.02);
    EXPECT_LE(maxError(r, [](double f) { return edgeimage::edgeMtf(f, kPitch, 0.5, 4); }), 0.001);
}

TEST(PreciseMtfRefusals, EdgeTooNearTheRoiEndSaysHowManySamplesItNeeds)
{
    // An edge blurred by 3 pixels reaches some 10 pixels: where it comes within 3 pixels of the
    // ROI's left end (its tilt moves it 4.4 pixels either way over the 128 lines) it leaves too
    // little on that side, though the ROI is wide enough.
    EdgeSpec e = goodEdge();
    e.sigmaPx = 3;
    const double sway = 64 * std::tan(e.tiltDeg * kPi / 180);
    e.edgeX = kMargin + 3 + sway;
    const PreciseMtfResult r = measure(imageOf(e));
    EXPECT_NE(r.error.find("too near the ROI's end"), std::string::npos) << r.error;
    EXPECT_NE(r.error.find("samples"), std::string::npos) << r.error;
    // 20 pixels in is enough.
    e.edgeX = kMargin + 20 + sway;
    EXPECT_EQ(measure(imageOf(e)).error, "");
}

TEST(PreciseMtfRefusals, BadInputIsRefusedWithAMessage)
{
    const Image image = imageOf(goodEdge());
    const int32_t w = image.width, h = image.height;
    const auto refusal = [&](int32_t x, int32_t y, int32_t rw, int32_t rh, double pitch,
                             PreciseMtfOptions o = {}) {
        return measurePreciseMtf(image.pixels.data(), w, h, x, y, rw, rh, pitch, o).error;
    };
    // The ROI outside the image, by one pixel on each side, or empty.
    for (auto [x, y, rw, rh] : {std::array{-1, 0, 100, 100}, std::array{0, -1, 100, 100},
                                std::array{w - 99, 0, 100, 100}, std::array{0, h - 99, 100, 100},
                                std::array{0, 0, 0, 100}, std::array{0, 0, 100, -5},
                                std::array{2147483600, 0, 100, 100}}) {
        EXPECT_NE(refusal(x, y, rw, rh, kPitch).find("reaches outside the image"), std::string::npos)
            << x << " " << y << " " << rw << " " << rh;
    }
    EXPECT_EQ(refusal(0, 0, w, h, kPitch), "") << "the whole image is a valid ROI";
    for (double pitch : {0.0, -0.1, std::nan(""), HUGE_VAL})
        EXPECT_NE(refusal(10, 10, 256, 128, pitch).find("pitch"), std::string::npos);
    for (PreciseMtfOptions o : {PreciseMtfOptions{.fmax = 3, .fint = 0},
                                PreciseMtfOptions{.fmax = 3, .fint = -0.1},
                                PreciseMtfOptions{.fmax = std::nan(""), .fint = 0.1},
                                PreciseMtfOptions{.fmax = 10000.1, .fint = 0.1}})
        EXPECT_NE(refusal(10, 10, 256, 128, kPitch, o).find("grid"), std::string::npos);
    // 100000 points is the largest grid.
    EXPECT_EQ(refusal(10, 10, 256, 128, kPitch, {.fmax = 9999.9, .fint = 0.1}), "");
    EXPECT_EQ(measurePreciseMtf(nullptr, w, h, 0, 0, 10, 10, kPitch, {}).error.empty(), false);
    // Too small: says what it needs.
    const std::string small = refusal(10, 10, 19, 128, kPitch);
    EXPECT_NE(small.find("20 pixels across"), std::string::npos) << small;
    EXPECT_NE(refusal(10, 10, 256, 15, kPitch).find("too small"), std::string::npos);
    EXPECT_EQ(refusal(108, 50, 60, 16, kPitch), "") << "16 lines of 60 pixels are enough";
    const std::vector<int16_t> wide(32768 * 16, 1000);
    EXPECT_NE(measurePreciseMtf(wide.data(), 32768, 16, 0, 0, 32768, 16, kPitch, {})
                  .error.find("side above 32767"),
              std::string::npos);
}

TEST(PreciseMtfWarnings, EachDoubtfulEdgeIsWarnedAndKeepsItsCurve)
{
    const auto check = [](const char* name, const Image& image, const std::string& words) {
        const PreciseMtfResult r = measure(image);
        EXPECT_EQ(r.error, "") << name;
        EXPECT_TRUE(hasWarning(r, words)) << name << ":\n" << warningsOf(r);
        EXPECT_EQ(r.mtf.size(), 51u) << name;
    };
    const EdgeSpec e = goodEdge();
    const double theta = e.tiltDeg * kPi / 180;
    const double a = std::cos(theta), b = std::sin(theta);
    const auto gaussianEdge = [&](double u, double sigma) {
        return edgeimage::apertureEsf(u, sigma, a, b);
    };

    // A linear ramp 60 pixels wide.
    check("ramp", profileImage(e, [](double u) { return 1000 + 2000 * std::clamp(u / 60 + 0.5, 0.0, 1.0); }),
          "no one dominant step");
    // A bar: 1000 up to 3000 and down again to 1800 six pixels further on.
    check("bar", profileImage(e, [&](double u) {
              return 1000 + 2000 * gaussianEdge(u, 0.5) - 1200 * gaussianEdge(u - 6, 0.5);
          }),
          "rises and falls");
    // Contrast 300 against noise 10: CNR 30.
    EdgeSpec noisy = e;
    noisy.high = 1300;
    noisy.noiseSd = 10;
    check("very noisy", imageOf(noisy), "contrast-to-noise ratio is");
    // The high plateau beyond the 16-bit range.
    EdgeSpec clipped = e;
    clipped.high = 40000;
    clipped.noiseSd = 0;
    check("clipped", imageOf(clipped), "16-bit range");
    // An edge blurred by 12 pixels in a ROI 48 pixels across.
    check("truncated LSF",
          imageOf(specFor({.sigmaPx = 12, .tiltDeg = 4, .low = 1000, .high = 9000}, 48, 128)),
          "not levelled off");
    // The span of the truncated edge is what every line has: the line furthest to the left
    // crosses 19.56 pixels from the ROI's end, 19.01 pixels from its first pixel centre along
    // the normal.
    const EdgeSpec broad = specFor({.sigmaPx = 12, .tiltDeg = 4, .low = 1000, .high = 9000}, 48, 128);
    const PreciseMtfResult cut = measure(imageOf(broad));
    const double room = (24 - 63.5 * std::tan(4 * kPi / 180) - 0.5) * std::cos(4 * kPi / 180);
    for (double span : {cut.spanLowPx, cut.spanHighPx}) {
        EXPECT_LE(span, room + 0.01);
        EXPECT_GE(span, room - 0.2);
    }
    // An edge with an undershoot of a fifth of its contrast two pixels wide: enhancement.
    check("overshoot", profileImage(e, [&](double u) {
              return 1000 + 2400 * gaussianEdge(u, 0.5) - 400 * gaussianEdge(u, 2.5);
          }),
          "MTF reaches");
    // None of them on the good edge, nor on a noiseless edge sharper than any detector's,
    // whose short span must still show one step.
    const PreciseMtfResult good = measure(imageOf(e));
    EXPECT_TRUE(good.warnings.empty()) << warningsOf(good);
    const EdgeSpec sharp = specFor({.sigmaPx = 0.1, .tiltDeg = 4, .low = kLow, .high = kHigh}, 256, 128);
    const PreciseMtfResult r = measure(imageOf(sharp));
    EXPECT_TRUE(r.warnings.empty()) << warningsOf(r);
    EXPECT_LE(maxError(r, [](double f) { return edgeimage::edgeMtf(f, kPitch, 0.1, 4); }), 0.001);
}

} // namespace
