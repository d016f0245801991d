// The checks both MTF methods make on an edge: robust plateau levels, the "no edge" refusal and
// the warnings that keep a curve but say why it may be doubtful.
#include "edge_checks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace vantry {

namespace {

/// A number with a few significant digits, for the texts.
std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", value);
    return text;
}

/// The median of values (reordered), 0 for none.
double medianOf(std::vector<double>& values)
{
    if (values.empty()) return 0;
    const size_t half = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(half),
                     values.end());
    const double upper = values[half];
    if (values.size() % 2 == 1) return upper;
    const double lower = *std::max_element(values.begin(),
                                           values.begin() + static_cast<std::ptrdiff_t>(half));
    return (lower + upper) / 2;
}

double mean(const std::vector<double>& v, size_t first, size_t count)
{
    double sum = 0;
    for (size_t i = first; i < first + count; ++i) sum += v[i];
    return sum / static_cast<double>(count);
}

/// The change of the straight line fitted to v[first .. first + count) over those samples, and
/// its standard error for samples of standard deviation `noise`.
struct EndChange {
    double change = 0;
    double standardError = 0;
};

EndChange endChange(const std::vector<double>& v, size_t first, size_t count, double noise)
{
    const double n = static_cast<double>(count);
    const double centre = (n - 1) / 2;
    double sxy = 0, sxx = 0;
    for (size_t i = 0; i < count; ++i) {
        const double x = static_cast<double>(i) - centre;
        sxy += x * v[first + i];
        sxx += x * x;
    }
    const double slope = sxy / sxx;
    return {slope * (n - 1), noise / std::sqrt(sxx) * (n - 1)};
}

} // namespace

RobustLevel robustLevel(std::vector<double> values)
{
    RobustLevel level;
    if (values.empty()) return level;
    level.median = medianOf(values);
    for (double& v : values) v = std::abs(v - level.median);
    level.spread = 1.4826 * medianOf(values);
    return level;
}

std::string noEdgeRefusal(const RobustLevel& low, const RobustLevel& high)
{
    const double difference = std::abs(high.median - low.median);
    const double spread = (low.spread + high.spread) / 2;
    if (difference > spread) return {};
    return "There is no edge in the ROI: the medians of the two ends, " + number(low.median) +
           " and " + number(high.median) + ", differ by " + number(difference) +
           ", no more than the spread of their pixels (" + number(spread) +
           ", 1.4826 x the median absolute deviation). Place the ROI across the edge.";
}

double contrastToNoise(const RobustLevel& low, const RobustLevel& high)
{
    const double difference = std::abs(high.median - low.median);
    const double spread = (low.spread + high.spread) / 2;
    if (spread > 0) return difference / spread;
    return difference > 0 ? std::numeric_limits<double>::infinity() : 0.0;
}

std::string lowCnrWarning(double cnr)
{
    if (!(cnr < kMinEdgeCnr)) return {};
    return "warning the contrast-to-noise ratio is " + number(cnr) + ", under " +
           number(kMinEdgeCnr) +
           ": the MTF is noisy; use a higher dose or a longer ROI along the edge";
}

std::string clippedWarning(const int16_t* values, size_t count)
{
    if (values == nullptr) return {};
    size_t top = 0, bottom = 0;
    for (size_t i = 0; i < count; ++i) {
        top += values[i] == std::numeric_limits<int16_t>::max();
        bottom += values[i] == std::numeric_limits<int16_t>::min();
    }
    if (top + bottom == 0) return {};
    return "warning " + std::to_string(top + bottom) + " of " + std::to_string(count) +
           " pixels in the ROI lie at the top or the bottom of the 16-bit range (" +
           std::to_string(top) + " at 32767, " + std::to_string(bottom) +
           " at -32768): the edge is clipped and its MTF distorted; lower the dose or the gain";
}

std::string overshootWarning(const std::vector<double>& freq, const std::vector<double>& mtf,
                             double nyquist)
{
    const size_t n = std::min(freq.size(), mtf.size());
    size_t worst = n;
    for (size_t i = 0; i < n; ++i) {
        if (freq[i] < nyquist / 2 && mtf[i] > kMaxLowFrequencyMtf &&
            (worst == n || mtf[i] > mtf[worst]))
            worst = i;
    }
    if (worst == n) return {};
    return "warning the MTF reaches " + number(mtf[worst]) + " at " + number(freq[worst]) +
           " cycles/mm, above " + number(kMaxLowFrequencyMtf) +
           " below half the Nyquist frequency (" + number(nyquist / 2) +
           " cycles/mm), which no detector does: check the image for edge enhancement and the "
           "ROI for a second edge or an object";
}

std::string truncationWarning(const std::vector<double>& esf, double noise)
{
    const size_t n = esf.size();
    if (n < 20) return {};
    const size_t tenth = n / 10;
    const double contrast = std::abs(mean(esf, n - tenth, tenth) - mean(esf, 0, tenth));
    if (!(contrast > 0)) return {};
    // The noise test is made at three standard errors of the fitted change, so that a levelled
    // but noisy end is not taken for a cut one.
    const EndChange low = endChange(esf, 0, tenth, noise);
    const EndChange high = endChange(esf, n - tenth, tenth, noise);
    const auto cut = [contrast](const EndChange& e) {
        return std::abs(e.change) > 0.01 * contrast && std::abs(e.change) > 3 * e.standardError;
    };
    const bool lowCut = cut(low), highCut = cut(high);
    if (!lowCut && !highCut) return {};
    const double worst = std::max(lowCut ? std::abs(low.change) : 0.0,
                                  highCut ? std::abs(high.change) : 0.0);
    const std::string where = lowCut && highCut ? "both ends" : lowCut ? "the low end" : "the high end";
    return "warning the ESF has not levelled off at " + where +
           " of the span the LSF uses: it still moves by " + number(100 * worst / contrast) +
           " % of the contrast over the outer tenth, so the LSF is cut and the low frequencies "
           "are biased; widen the ROI across the edge or centre the edge in it";
}

std::string stepShapeWarning(const std::vector<double>& esf, double perPixel)
{
    // The profile averaged over whole pixels, so that noise between samples does not count as
    // rises and falls.
    const double samplesPerPixel = std::max(perPixel, 1.0);
    const size_t group = static_cast<size_t>(std::lround(samplesPerPixel));
    std::vector<double> pixels;
    for (size_t i = 0; i + group <= esf.size(); i += group) pixels.push_back(mean(esf, i, group));
    if (pixels.size() < 3) return {};
    const double first = pixels.front(), last = pixels.back();
    const double net = std::abs(last - first);
    if (!(net > 0)) return {};

    // The rises and falls, a reversal counting only when it exceeds a tenth of the net change
    // (noise makes smaller ones everywhere).
    const double threshold = 0.1 * net;
    double total = 0, anchor = first, extreme = first;
    int direction = 0;
    for (double v : pixels) {
        if (direction == 0) {
            if (std::abs(v - anchor) > threshold) {
                direction = v > anchor ? 1 : -1;
                extreme = v;
            }
        } else if (direction * (v - extreme) > 0) {
            extreme = v;
        } else if (std::abs(v - extreme) > threshold) {
            total += std::abs(extreme - anchor);
            anchor = extreme;
            extreme = v;
            direction = -direction;
        }
    }
    total += std::abs(extreme - anchor);
    if (total > 1.5 * net) {
        return "warning the ESF has no one dominant step: it rises and falls by " +
               number(total) + " in all for a net change of " + number(net) +
               " (two edges or a bar in the ROI); place the ROI over one straight edge";
    }

    // The middle 80 % of the rise: from the first crossing of its 10 % level to the last
    // crossing of its 90 % level, interpolated between pixels.
    const double sign = last > first ? 1 : -1;
    std::vector<double> up(pixels.size());
    for (size_t i = 0; i < pixels.size(); ++i) up[i] = sign * (pixels[i] - first) / net;
    double start = 0, end = static_cast<double>(up.size() - 1);
    for (size_t i = 1; i < up.size(); ++i) {
        if (up[i] >= 0.1) {
            start = static_cast<double>(i) - (up[i] - 0.1) / std::max(up[i] - up[i - 1], 1e-12);
            break;
        }
    }
    for (size_t i = up.size() - 1; i-- > 0;) {
        if (up[i] <= 0.9) {
            end = static_cast<double>(i) + (0.9 - up[i]) / std::max(up[i + 1] - up[i], 1e-12);
            break;
        }
    }
    const double rise = std::max(0.0, end - start);
    const double profile = static_cast<double>(esf.size()) / samplesPerPixel;
    if (rise <= profile / 3) return {};
    return "warning the ESF has no one dominant step: the middle 80 % of its rise spans " +
           number(rise) + " pixels, more than a third of the " + number(profile) +
           "-pixel profile (a ramp rather than an edge); place the ROI across a sharp edge";
}

} // namespace vantry
