#pragma once
// The oversampled ESF of the precise edge method: every pixel's value at its distance from the
// edge line along the normal, averaged in fine bins, kept per group of lines for the jackknife.

#include "precise_edge_fit.h"

#include <cstdint>
#include <vector>

namespace vantry::precise {

/// Bins per pixel along the edge normal.
constexpr int32_t kBinsPerPixel = 8;
constexpr double kBinWidth = 1.0 / kBinsPerPixel;

/// Sums of the pixels in bins of kBinWidth from `start` (pixels along the normal, 0 on the edge
/// line), per group of consecutive lines: element [group * bins + bin].
struct FineBins {
    double start = 0;
    int32_t bins = 0;
    int32_t groups = 1;
    std::vector<double> count, sumValue, sumValue2, sumDistance, sumDistance2;
};

/// The group of line q when `along` lines are split into `groups` groups of consecutive lines.
inline int32_t groupOfLine(int32_t q, int32_t along, int32_t groups)
{
    return static_cast<int32_t>(static_cast<int64_t>(q) * groups / along);
}

/// Bins the pixels of the used lines whose distance from the line lies in [low, high).
FineBins binPixels(const EdgeFrame& frame, const EdgeLine& line,
                   const std::vector<uint8_t>& used, double low, double high, int32_t groups);

/// The noise of one pixel: the median over the bins holding four pixels or more of the standard
/// deviation of their values (the bins on the slope of the edge are few).
double pixelNoise(const FineBins& bins);

/// The ESF of bins [first, last] of all groups but `leaveOut` (-1: all groups), over the bins
/// that hold a pixel: each one's mean distance, mean value and the variance of its distances.
/// An isolated empty bin is thus bridged by the straight line between its neighbours.
struct EsfSamples {
    std::vector<double> distance, value, variance;
    std::vector<int32_t> bin; ///< the bin each sample comes from
    double meanCount = 0;     ///< pixels per bin that holds any
};
EsfSamples esfSamples(const FineBins& bins, int32_t first, int32_t last, int32_t leaveOut);

/// The ESF interpolated linearly to the centres of bins [first, last] (held at the end values
/// beyond the first and last samples).
UniformEsf uniformEsf(const EsfSamples& samples, const FineBins& bins, int32_t first,
                      int32_t last);

/// The share of the ESF's rise left outside the reach on either side, noise permitting: the span
/// between holds 99.9 % of the LSF's area.
constexpr double kReachFraction = 5e-4;

/// How far the LSF reaches on either side of the edge line, in pixels: from the line outwards,
/// where the ESF, averaged over two pixels, first comes within kReachFraction of the rise of its
/// end level (the mean of the outer tenth of that side), or within four standard deviations of
/// the noise of that comparison when more (`sampleNoise` is the standard deviation of one ESF
/// value). The whole side when it never does.
struct Reach {
    double low = 0;
    double high = 0;
};
Reach lsfReach(const UniformEsf& esf, double sampleNoise);

} // namespace vantry::precise
