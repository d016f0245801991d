// The V-filter and the MTF's direct transform against literal versions of the method: one full
// 4096-point inverse transform of the Gaussian-weighted spectrum per filtered sample, and a plain
// sum of cosines and sines per frequency.
#include "analysis_fixture.h"
#include "edge_image.h"
#include "esf.h"
#include "lsf.h"
#include "mtf.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

using namespace vantry;

namespace {

/// A measured value for the test report, to three digits.
std::string text(double value)
{
    char s[32];
    std::snprintf(s, sizeof s, "%.3g", value);
    return s;
}

constexpr int32_t kLength = 4096;
constexpr int16_t kBits = 12;
/// Sample -NLSF of the LSF sits at this index of the transform.
constexpr int32_t kLead = 200;

/// The V-filter as the method reads, in single precision: the forward transform of the LSF, and
/// for each sample outside the centre the spectrum weighted by exp(-(i df s)^2) on both halves,
/// inversely transformed, of which one output is kept. Returns the filtered LSF, indexed as
/// r.LSF.
std::vector<float> literalVFilter(KernelBinding& kernels, const VylsfRecord& r, float p)
{
    const float pi2 = 2.0f * (4.0f * std::atan(1.0f));
    std::vector<float> sinTab(kTrigEntries), cosTab(kTrigEntries);
    for (int32_t i = 0; i <= kLength / 2; ++i) {
        sinTab[i] = std::sin(static_cast<float>(i) * pi2 / kLength);
        cosTab[i] = std::cos(static_cast<float>(i) * pi2 / kLength);
    }
    std::vector<float> re(kTrigEntries), im(kTrigEntries);
    for (int32_t k = -r.NLSF; k <= r.NLSF; ++k) re[k + r.NLSF + kLead] = r.LSF[k + r.NBIN];
    const auto fft4 = FOUREL(kernels, fft4);
    fft4(kLength, kBits, re.data(), im.data(), sinTab.data(), cosTab.data(), 1);
    const std::vector<float> sr = re, si = im;

    std::vector<float> out = r.LSF;
    const float df = 1.0f / (r.BINW * kLength);
    const auto klo = static_cast<int32_t>(std::nearbyint(r.LSFCTR - 2));
    const auto khi = static_cast<int32_t>(std::nearbyint(r.LSFCTR + 2));
    for (int32_t k = -r.NLSF; k <= r.NLSF; ++k) {
        if (k > klo && k < khi) continue;
        const float dist = std::abs(static_cast<float>(k) - r.LSFCTR) * r.BINW;
        const float fc = std::max(1.0f / (2.0f * dist), 0.008f);
        const float s = std::sqrt(-std::log(p)) / fc;
        for (int32_t i = 0; i <= kLength / 2; ++i) {
            const float x = static_cast<float>(i) * df * s;
            const float h = std::exp(-x * x);
            re[i] = h * sr[i];
            im[i] = h * si[i];
            if (i >= 1) {
                re[kLength - i] = h * sr[kLength - i];
                im[kLength - i] = h * si[kLength - i];
            }
        }
        fft4(kLength, kBits, re.data(), im.data(), sinTab.data(), cosTab.data(), -1);
        out[k + r.NBIN] = re[k + r.NLSF + kLead];
    }
    for (int32_t k = -r.NLSF; k <= r.NLSF; ++k) out[k + r.NBIN] = std::max(out[k + r.NBIN], 0.0f);
    return out;
}

class VFilter : public AnalysisFixture {
protected:
    /// The unfiltered LSF of a noisy edge, as "ESF OK" leaves it: 300 samples across the edge at
    /// 0.1 mm, so NLSF = 450.
    void noisyEdgeLsf(double sigmaPx, double tiltDeg, double noiseSd)
    {
        const edgeimage::EdgeSpec e{
            .sigmaPx = sigmaPx, .tiltDeg = tiltDeg, .noiseSd = noiseSd, .seed = 7};
        loadWithRoi(e.width, e.height, edgeimage::edgeImage(e), 10, 10, 300, 128);
        answer({ScriptedHost::kAcceptDefault, "0"});
        DSPESF(v);
        ESFOK(v);
        ASSERT_TRUE(host.messages.empty()) << host.messages.front();
        ASSERT_EQ(v.r.NLSF, 450);
    }

    /// Runs the V-filter on the LSF on hand; the literal filter's answer for the same LSF and
    /// centre, and the unfiltered LSF's peak.
    std::pair<std::vector<float>, float> filterBesideLiteral()
    {
        VylsfRecord literal = v.r;
        EXPECT_EQ(VFILTER(v, 0.97f), "");
        literal.LSFCTR = v.r.LSFCTR;
        const float peak = *std::max_element(literal.LSF.begin(), literal.LSF.end());
        return {literalVFilter(k.kernels, literal, 0.97f), peak};
    }
};

TEST_F(VFilter, EachSampleIsOneOutputOfTheFullInverseTransform)
{
    for (const double noise : {0.0, 8.0}) {
        noisyEdgeLsf(0.6, 3, noise);
        const VylsfRecord before = v.r;
        const auto [expected, peak] = filterBesideLiteral();
        int changed = 0;
        int32_t worst = -v.r.NLSF;
        const auto at = [&](int32_t kk) { return static_cast<size_t>(kk + v.r.NBIN); };
        for (int32_t kk = -v.r.NLSF; kk <= v.r.NLSF; ++kk) {
            const double error = std::abs(v.r.LSF[at(kk)] - expected[at(kk)]);
            if (error > std::abs(v.r.LSF[at(worst)] - expected[at(worst)])) worst = kk;
            changed += v.r.LSF[at(kk)] != before.LSF[at(kk)];
        }
        // Both sum the same spectrum; the literal's single-precision transforms round to about
        // 1e-7 of the spectrum's largest term (the LSF's area, a few times its peak).
        EXPECT_NEAR(v.r.LSF[at(worst)], expected[at(worst)], 1e-6 * peak)
            << "noise " << noise << " k " << worst;
        RecordProperty(noise > 0 ? "worstNoisy" : "worstNoiseless",
                       text(std::abs(v.r.LSF[at(worst)] - expected[at(worst)])));
        // The filter must act: the noisy tails are smoothed, not passed (without noise they
        // are 0 and stay 0).
        if (noise > 0) {
            EXPECT_GT(changed, 800);
        }
    }
}

TEST_F(VFilter, CutOffFloorHoldsFarFromTheCentre)
{
    // Bins of 0.2 mm at a 1 mm pitch: an LSF of 675 bins either side, 135 mm. Beyond 62.5 mm from
    // the centre the cut-off 1 / (2 dist) would fall below 0.008 cycles/mm, where it is held.
    const edgeimage::EdgeSpec e{.sigmaPx = 0.6, .tiltDeg = 3, .noiseSd = 8, .seed = 11};
    loadWithRoi(e.width, e.height, edgeimage::edgeImage(e), 10, 10, 300, 128, 1.0f);
    v.r.BINW = 0.2f;
    answer({ScriptedHost::kAcceptDefault, "0"});
    DSPESF(v);
    ESFOK(v);
    ASSERT_TRUE(host.messages.empty()) << host.messages.front();
    ASSERT_EQ(v.r.NLSF, 675);
    const auto [expected, peak] = filterBesideLiteral();
    int farSamples = 0;
    for (int32_t kk = -v.r.NLSF; kk <= v.r.NLSF; ++kk) {
        const size_t at = static_cast<size_t>(kk + v.r.NBIN);
        EXPECT_NEAR(v.r.LSF[at], expected[at], 1e-6 * peak) << kk;
        farSamples += std::abs(kk - v.r.LSFCTR) * v.r.BINW > 62.5f;
    }
    EXPECT_GT(farSamples, 500) << "most of the tails lie past the floor";
}

TEST_F(VFilter, TheCentreSamplesKeepTheirValuesAndNoSampleIsNegative)
{
    noisyEdgeLsf(0.4, -2, 8);
    const std::vector<float> before = v.r.LSF;
    ASSERT_EQ(VFILTER(v, 0.97f), "");
    const auto klo = static_cast<int32_t>(std::nearbyint(v.r.LSFCTR - 2));
    const auto khi = static_cast<int32_t>(std::nearbyint(v.r.LSFCTR + 2));
    ASSERT_EQ(khi - klo, 4);
    for (int32_t kk = klo + 1; kk < khi; ++kk) {
        EXPECT_EQ(v.r.LSF[kk + v.r.NBIN], std::max(before[kk + v.r.NBIN], 0.0f)) << kk;
    }
    bool anyNegativeBefore = false;
    for (int32_t kk = -v.r.NLSF; kk <= v.r.NLSF; ++kk) {
        anyNegativeBefore |= before[kk + v.r.NBIN] < 0;
        EXPECT_GE(v.r.LSF[kk + v.r.NBIN], 0.0f) << kk;
    }
    EXPECT_TRUE(anyNegativeBefore) << "the noise should make some unfiltered samples negative";
}

TEST_F(VFilter, DirectTransformEqualsThePlainSumOfCosinesAndSines)
{
    noisyEdgeLsf(0.5, 4, 8);
    const int32_t count = 2 * v.r.NLSF + 1;
    ASSERT_EQ(count, 901);
    const float* lsf = &v.r.LSF[static_cast<size_t>(v.r.NBIN - v.r.NLSF)];
    const float pi2 = k.ws.PI2, binw = v.r.BINW, fint = 0.01f;
    constexpr int32_t kFrequencies = 501;
    const std::vector<double> modulus =
        lsfTransformModulus(lsf, count, pi2, binw, fint, kFrequencies);
    ASSERT_EQ(modulus.size(), static_cast<size_t>(kFrequencies));

    std::vector<double> plain(kFrequencies);
    for (int32_t n = 0; n < kFrequencies; ++n) {
        const float f = static_cast<float>(n) * fint;
        float re = 0, im = 0;
        for (int32_t m = 0; m < count; ++m) {
            const float arg = pi2 * f * static_cast<float>(m) * binw;
            re += lsf[m] * std::cos(arg);
            im += lsf[m] * std::sin(arg);
        }
        plain[n] = std::sqrt(static_cast<double>(re) * re + static_cast<double>(im) * im);
    }
    int32_t worst = 0;
    for (int32_t n = 0; n < kFrequencies; ++n) {
        if (std::abs(modulus[n] - plain[n]) > std::abs(modulus[worst] - plain[worst])) worst = n;
    }
    // The argument reaches 850 rad, where a single's rounding is 3e-5 rad: a sum that rounds it
    // differently departs by 1e-5 of A0. The float results of cos and sin and the
    // single-precision additions, done alike, leave some 1e-7.
    EXPECT_NEAR(modulus[worst], plain[worst], 1e-6 * plain[0]) << "f " << worst * fint;
    RecordProperty("worstOfA0", text(std::abs(modulus[worst] - plain[worst]) / plain[0]));
}

} // namespace
