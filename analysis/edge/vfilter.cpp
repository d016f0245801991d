#include "lsf.h"

#include "analysis_busy.h"
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <string>

namespace vantry {
namespace {

constexpr int32_t kLength = 4096;
constexpr int32_t kBits = 12;
constexpr int32_t kHalf = kLength / 2;
/// Sample -NLSF sits at this index of the transform.
constexpr int32_t kLead = 200;
/// Spectrum bins whose Gaussian weight is below this add nothing a single-precision LSF can hold.
constexpr double kNegligibleWeight = 1e-13;

/// cos and sin of 2 pi i / 4096.
struct Twiddles {
    std::array<double, kLength> cos, sin;
    Twiddles()
    {
        for (int32_t i = 0; i < kLength; ++i) {
            cos[i] = std::cos(2 * std::numbers::pi * i / kLength);
            sin[i] = std::sin(2 * std::numbers::pi * i / kLength);
        }
    }
};

const Twiddles& twiddles()
{
    static const Twiddles t;
    return t;
}

/// Output j of the inverse transform of the spectrum weighted by exp(-(i a)^2) on both halves.
/// foldRe and foldIm hold the two halves folded together (bins 1 .. 2047), so each term is one product;
/// the weights come from a recurrence and the sum stops where they vanish.
double filteredSample(const std::vector<float>& sr, const std::vector<double>& foldRe, const std::vector<double>& foldIm, int32_t j,
                      double a)
{
    const Twiddles& t = twiddles();
    double sum = sr[0];
    double weight = 1.0;
    const double a2 = a * a;
    double ratio = std::exp(-a2);          // weight(i + 1) / weight(i) at i = 0
    const double ratioStep = std::exp(-2 * a2);
    uint32_t index = 0;
    int32_t i = 1;
    for (; i < kHalf; ++i) {
        weight *= ratio;
        ratio *= ratioStep;
        if (weight < kNegligibleWeight) break;
        index = (index + static_cast<uint32_t>(j)) & (kLength - 1);
        sum += weight * (foldRe[i] * t.cos[index] - foldIm[i] * t.sin[index]);
    }
    if (i == kHalf) {
        weight *= ratio;
        const double sign = (j & 1) ? -1.0 : 1.0; // e^(i pi j)
        sum += weight * sr[kHalf] * sign;
    }
    return sum / kLength;
}

} // namespace

std::string VFILTER(Vylsf& v, float p)
{
    const AnalysisBusy busy(v.k.ws);
    VylsfRecord& r = v.r;
    if (2 * r.NLSF + 1 + kLead > kLength) {
        return "The LSF is too long for the V-filter: it has " + std::to_string(2 * r.NLSF + 1) +
               " samples and the filter takes at most " + std::to_string(kLength - kLead) +
               "; use a larger bin width or a shorter ROI.";
    }
    if (std::string error = CENTER(v); !error.empty()) return error;

    Workspace& ws = v.k.ws;
    ws.NFFT = kLength;
    ws.NFFTBIT = kBits;
    ws.PI = 4.0f * static_cast<float>(std::atan(1.0f));
    ws.PI2 = 2.0f * ws.PI;
    for (int32_t i = 0; i <= kHalf; ++i) {
        ws.SINTB[i] = static_cast<float>(std::sin(static_cast<double>(static_cast<float>(i) * ws.PI2 / kLength)));
        ws.COSTB[i] = static_cast<float>(std::cos(static_cast<double>(static_cast<float>(i) * ws.PI2 / kLength)));
    }
    std::fill(r.FFTRE.begin(), r.FFTRE.end(), 0.0f);
    std::fill(r.FFTIM.begin(), r.FFTIM.end(), 0.0f);
    const auto lsf = [&](int32_t k) -> float& { return r.LSF[static_cast<size_t>(k + r.NBIN)]; };
    for (int32_t k = -r.NLSF; k <= r.NLSF; ++k) r.FFTRE[static_cast<size_t>(k + r.NLSF + kLead)] = lsf(k);
    FOUREL(v.k.kernels, fft4)(kLength, kBits, r.FFTRE.data(), r.FFTIM.data(), ws.SINTB.data(),
                              ws.COSTB.data(), 1);
    const std::vector<float> SR(r.FFTRE.begin(), r.FFTRE.begin() + kLength);
    const std::vector<float> SI(r.FFTIM.begin(), r.FFTIM.begin() + kLength);
    std::vector<double> foldRe(kHalf), foldIm(kHalf);
    for (int32_t i = 1; i < kHalf; ++i) {
        foldRe[i] = static_cast<double>(SR[i]) + SR[kLength - i];
        foldIm[i] = static_cast<double>(SI[i]) - SI[kLength - i];
    }

    const float df = 1.0f / (r.BINW * static_cast<float>(kLength));
    const auto klo = static_cast<int32_t>(std::nearbyint(r.LSFCTR - 2));
    const auto khi = static_cast<int32_t>(std::nearbyint(r.LSFCTR + 2));
    const double spread = std::sqrt(-std::log(static_cast<double>(p)));
    const auto filter = [&](int32_t k) {
        const float dist = std::fabs(static_cast<float>(k) - r.LSFCTR) * r.BINW;
        const float fc = std::max(1.0f / (2.0f * dist), 0.008f);
        const double s = spread / fc;
        lsf(k) = static_cast<float>(filteredSample(SR, foldRe, foldIm, k + r.NLSF + kLead, df * s));
        v.form().Caption = "V-filter processing " + std::string(k >= 0 ? " " : "") + std::to_string(k);
        v.host().DoEvents();
    };
    for (int32_t k = -r.NLSF; k <= std::min(klo, r.NLSF); ++k) filter(k);
    for (int32_t k = std::max(khi, -r.NLSF); k <= r.NLSF; ++k) filter(k);
    for (int32_t k = -r.NLSF; k <= r.NLSF; ++k) lsf(k) = std::max(lsf(k), 0.0f);
    return {};
}

} // namespace vantry
