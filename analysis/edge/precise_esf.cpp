// The fine bins of the projected pixels, the ESF they give with or without one group of lines,
// and how far the LSF reaches.
#include "precise_esf.h"

#include <algorithm>
#include <cmath>

namespace vantry::precise {

FineBins binPixels(const EdgeFrame& frame, const EdgeLine& line,
                   const std::vector<uint8_t>& used, double low, double high, int32_t groups)
{
    FineBins bins;
    bins.start = std::floor(low / kBinWidth) * kBinWidth;
    bins.bins = std::max(0, static_cast<int32_t>(std::ceil((high - bins.start) / kBinWidth)));
    bins.groups = std::max(1, groups);
    const size_t size = static_cast<size_t>(bins.bins) * static_cast<size_t>(bins.groups);
    bins.count.assign(size, 0);
    bins.sumValue.assign(size, 0);
    bins.sumValue2.assign(size, 0);
    bins.sumDistance.assign(size, 0);
    bins.sumDistance2.assign(size, 0);
    const double cosine = 1 / std::sqrt(1 + line.b * line.b);
    for (int32_t q = 0; q < frame.along; ++q) {
        if (!used[static_cast<size_t>(q)]) continue;
        const size_t offset = static_cast<size_t>(groupOfLine(q, frame.along, bins.groups)) *
                              static_cast<size_t>(bins.bins);
        const double x = line.a + line.b * lineCentre(q, frame.along);
        // Only the pixels whose distance can fall in [low, high).
        const int32_t from = heldIndex(x + low / cosine - 2, 0, frame.across - 1);
        const int32_t to = heldIndex(x + high / cosine + 1, 0, frame.across - 1);
        for (int32_t p = from; p <= to; ++p) {
            const double u = (p + 0.5 - x) * cosine;
            if (!(u >= low && u < high)) continue;
            const double index = (u - bins.start) / kBinWidth;
            if (!(index >= 0 && index < bins.bins)) continue;
            const int32_t bin = static_cast<int32_t>(index);
            const size_t k = offset + static_cast<size_t>(bin);
            bins.count[k] += 1;
            const double v = frame.at(p, q);
            bins.sumValue[k] += v;
            bins.sumValue2[k] += v * v;
            bins.sumDistance[k] += u;
            bins.sumDistance2[k] += u * u;
        }
    }
    return bins;
}

double pixelNoise(const FineBins& bins)
{
    std::vector<double> deviations;
    for (int32_t j = 0; j < bins.bins; ++j) {
        double n = 0, v = 0, vv = 0;
        for (int32_t g = 0; g < bins.groups; ++g) {
            const size_t k = static_cast<size_t>(g) * static_cast<size_t>(bins.bins) +
                             static_cast<size_t>(j);
            n += bins.count[k];
            v += bins.sumValue[k];
            vv += bins.sumValue2[k];
        }
        if (n < 4) continue;
        const double mean = v / n;
        deviations.push_back(std::sqrt(std::max(0.0, (vv - n * mean * mean) / (n - 1))));
    }
    if (deviations.empty()) return 0;
    const size_t half = deviations.size() / 2;
    std::nth_element(deviations.begin(), deviations.begin() + static_cast<std::ptrdiff_t>(half),
                     deviations.end());
    return deviations[half];
}

EsfSamples esfSamples(const FineBins& bins, int32_t first, int32_t last, int32_t leaveOut)
{
    EsfSamples s;
    first = std::max(first, 0);
    last = std::min(last, bins.bins - 1);
    double pixels = 0;
    for (int32_t j = first; j <= last; ++j) {
        double n = 0, v = 0, u = 0, uu = 0;
        for (int32_t g = 0; g < bins.groups; ++g) {
            if (g == leaveOut) continue;
            const size_t k = static_cast<size_t>(g) * static_cast<size_t>(bins.bins) +
                             static_cast<size_t>(j);
            n += bins.count[k];
            v += bins.sumValue[k];
            u += bins.sumDistance[k];
            uu += bins.sumDistance2[k];
        }
        if (n < 1) continue;
        const double mean = u / n;
        s.distance.push_back(mean);
        s.value.push_back(v / n);
        s.variance.push_back(std::max(0.0, uu / n - mean * mean));
        s.bin.push_back(j);
        pixels += n;
    }
    s.meanCount = s.bin.empty() ? 0 : pixels / static_cast<double>(s.bin.size());
    return s;
}

UniformEsf uniformEsf(const EsfSamples& samples, const FineBins& bins, int32_t first,
                      int32_t last)
{
    UniformEsf esf;
    esf.step = kBinWidth;
    esf.start = bins.start + first * kBinWidth;
    if (samples.distance.empty() || last < first) return esf;
    esf.values.resize(static_cast<size_t>(last - first + 1));
    const size_t n = samples.distance.size();
    size_t k = 0;
    for (size_t i = 0; i < esf.values.size(); ++i) {
        const double u = esf.start + (static_cast<double>(i) + 0.5) * kBinWidth;
        while (k + 1 < n && samples.distance[k + 1] <= u) ++k;
        if (u <= samples.distance.front()) {
            esf.values[i] = samples.value.front();
        } else if (k + 1 >= n) {
            esf.values[i] = samples.value.back();
        } else {
            const double w = (u - samples.distance[k]) /
                             (samples.distance[k + 1] - samples.distance[k]);
            esf.values[i] = samples.value[k] + w * (samples.value[k + 1] - samples.value[k]);
        }
    }
    return esf;
}

Reach lsfReach(const UniformEsf& esf, double sampleNoise)
{
    const int32_t n = static_cast<int32_t>(esf.values.size());
    const double lowEnd = esf.start, highEnd = esf.start + n * esf.step;
    Reach reach{std::max(0.0, -lowEnd), std::max(0.0, highEnd)};
    const int32_t pixel = static_cast<int32_t>(std::lround(1 / esf.step));
    const auto centre = [&](int32_t i) { return esf.start + (i + 0.5) * esf.step; };
    // The bins on either side of the edge line.
    int32_t middle = 0;
    while (middle < n && centre(middle) < 0) ++middle;
    if (middle == 0 || middle == n) return reach;

    std::vector<double> prefix(static_cast<size_t>(n) + 1, 0);
    for (int32_t i = 0; i < n; ++i)
        prefix[static_cast<size_t>(i) + 1] = prefix[static_cast<size_t>(i)] + esf.values[static_cast<size_t>(i)];
    const auto meanOf = [&](int32_t from, int32_t to) {
        from = std::max(0, from);
        to = std::min(n - 1, to);
        return (prefix[static_cast<size_t>(to) + 1] - prefix[static_cast<size_t>(from)]) / (to - from + 1);
    };
    // The end levels: the outer tenth of either side, at least a pixel where the side has one.
    const int32_t lowCount = std::min(middle, std::max(pixel, middle / 10));
    const int32_t highCount = std::min(n - middle, std::max(pixel, (n - middle) / 10));
    const double low = meanOf(0, lowCount - 1), high = meanOf(n - highCount, n - 1);
    if (!(high > low)) return reach;

    // The threshold: the given fraction of the contrast, or four standard deviations of the
    // noise of the two-pixel mean against the end level when that is more.
    const double averagedNoise = sampleNoise / std::sqrt(2.0 * pixel + 1);
    const double endNoise = sampleNoise / std::sqrt(std::min(lowCount, highCount));
    const double threshold =
        std::max(kReachFraction,
                 4 * std::sqrt(averagedNoise * averagedNoise + endNoise * endNoise) / (high - low));

    // From the edge outwards, the first place where the ESF averaged over two pixels comes
    // within the threshold of its end level. The averaging spreads the ESF by a pixel either
    // way: that pixel is taken off again.
    for (int32_t i = middle - 1; i >= 0; --i) {
        if (std::abs(meanOf(i - pixel, i + pixel) - low) / (high - low) <= threshold) {
            reach.low = std::max(0.0, -centre(i) - 1);
            break;
        }
    }
    for (int32_t i = middle; i < n; ++i) {
        if (std::abs(high - meanOf(i - pixel, i + pixel)) / (high - low) <= threshold) {
            reach.high = std::max(0.0, centre(i) - 1);
            break;
        }
    }
    return reach;
}

} // namespace vantry::precise
