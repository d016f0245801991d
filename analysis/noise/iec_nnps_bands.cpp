#include "iec_nnps_bands.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

namespace vantry::iec {

std::vector<BinSample> bandSamples(bool alongY, double df, double fint, int32_t bins)
{
    std::vector<BinSample> out;
    const auto add = [&](int32_t index, int32_t u, int32_t v, float weight) {
        const double f = std::hypot(static_cast<double>(u), static_cast<double>(v)) * df;
        const auto k = static_cast<int32_t>(std::floor(f / fint + 0.5)) - 1;
        if (k >= 0 && k < bins) out.push_back({index, k, weight});
    };
    if (alongY) {
        for (int32_t m = 0; m < 2 * kLines; ++m) {
            const int32_t u = m < kLines ? m + 1 : -(m - kLines + 1);
            for (int32_t v = 0; v < kHalfRows; ++v) {
                add(m * kHalfRows + v, u, v, v == 0 || v == kSide / 2 ? 1.0f : 2.0f);
            }
        }
    } else {
        for (int32_t l = 0; l < kLines; ++l) {
            for (int32_t u = 0; u < kSide; ++u) add(l * kSide + u, u < kSide / 2 ? u : u - kSide, l + 1, 2.0f);
        }
    }
    return out;
}

BandValues::BandValues(bool alongY, double df, double fint, int32_t bins, int64_t rois)
    : band(bandSamples(alongY, df, fint, bins)), weight(static_cast<size_t>(bins), 0.0)
{
    values.reserve(static_cast<size_t>(rois) * weight.size());
    for (const BinSample& s : band) weight[static_cast<size_t>(s.bin)] += s.weight;
}

void BandValues::addRoi(const float* power, double scale)
{
    const size_t bins = weight.size();
    const size_t first = values.size();
    values.resize(first + bins, 0.0);
    double* row = values.data() + first;
    for (const BinSample& s : band) row[s.bin] += s.weight * static_cast<double>(power[s.index]);
    for (size_t k = 0; k < bins; ++k) {
        if (weight[k] > 0) row[k] *= scale / weight[k];
    }
}

void binStatistics(const BandValues& b, int32_t nx, int32_t ny, int64_t fields,
                   std::vector<double>& mean, std::vector<double>& se)
{
    const size_t bins = b.weight.size();
    const size_t perField = static_cast<size_t>(nx) * static_cast<size_t>(ny);
    const size_t rois = perField * static_cast<size_t>(fields);
    mean.assign(bins, 0);
    se.assign(bins, 0);
    const auto at = [&](size_t field, int32_t rx, int32_t ry, size_t k) {
        return b.values[(field * perField + static_cast<size_t>(ry) * nx + rx) * bins + k];
    };
    for (size_t r = 0; r < rois; ++r) {
        for (size_t k = 0; k < bins; ++k) mean[k] += b.values[r * bins + k];
    }
    for (double& m : mean) m /= static_cast<double>(rois);
    std::vector<double> var(bins, 0);
    for (size_t r = 0; r < rois; ++r) {
        for (size_t k = 0; k < bins; ++k) {
            const double d = b.values[r * bins + k] - mean[k];
            var[k] += d * d;
        }
    }
    if (rois < 2) {
        // One ROI: periodogram values are exponential, one distinct value per two weights.
        for (size_t k = 0; k < bins; ++k) {
            se[k] = b.weight[k] > 0 ? mean[k] / std::sqrt(b.weight[k] / 2) : 0;
        }
        return;
    }
    for (double& v : var) v /= static_cast<double>(rois - 1);
    // Shifts of one ROI step: right, down, down-right, down-left.
    constexpr std::array<std::array<int32_t, 2>, 4> shifts = {{{1, 0}, {0, 1}, {1, 1}, {-1, 1}}};
    std::array<double, shifts.size()> measured{}; // pooled correlation as the ROIs show it
    std::array<double, shifts.size()> pairs{};
    for (size_t s = 0; s < shifts.size(); ++s) {
        const auto& shift = shifts[s];
        size_t used = 0;
        for (size_t k = 0; k < bins; ++k) {
            if (!(var[k] > 0)) continue;
            double cov = 0;
            int64_t n = 0;
            for (size_t field = 0; field < static_cast<size_t>(fields); ++field) {
                for (int32_t ry = 0; ry + shift[1] < ny; ++ry) {
                    for (int32_t rx = std::max(0, -shift[0]); rx < nx && rx + shift[0] < nx; ++rx) {
                        cov += (at(field, rx, ry, k) - mean[k]) *
                               (at(field, rx + shift[0], ry + shift[1], k) - mean[k]);
                        ++n;
                    }
                }
            }
            if (n == 0) break;
            pairs[s] = static_cast<double>(n);
            measured[s] += cov / static_cast<double>(n) / var[k];
            ++used;
        }
        if (used > 0) measured[s] /= static_cast<double>(used);
    }
    // Variance of the mean = sigma^2 F / M with F = 1 + 2 sum(pairs rho) / M. Removing the sample
    // mean biases the variance by (M - F) / (M - 1) and each covariance by -F / M, which for a few
    // dozen ROIs is no small part of rho: undo both, by a few rounds of substitution.
    const auto m = static_cast<double>(rois);
    double factor = 1;
    for (int round = 0; round < 20; ++round) {
        double sum = 0;
        for (size_t s = 0; s < shifts.size(); ++s) {
            const double rho = measured[s] * (m - factor) / (m - 1) + factor / m;
            sum += pairs[s] * std::clamp(rho, 0.0, 1.0);
        }
        factor = std::min(1 + 2 * sum / m, m / 2);
    }
    const double unbiased = (m - 1) / (m - factor);
    for (size_t k = 0; k < bins; ++k) {
        se[k] = std::sqrt(var[k] * unbiased * factor / m);
    }
}

} // namespace vantry::iec
