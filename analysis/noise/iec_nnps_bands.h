#pragma once
// The bands of the IEC-style NNPS: the power of one ROI on the 7 spectrum lines beside each axis,
// the radial frequency bins they feed, and the statistics of the bins over the ROIs.

#include <cstdint>
#include <vector>

namespace vantry::iec {

constexpr int32_t kSide = 256;
constexpr int32_t kLines = 7;
constexpr int32_t kHalfRows = kSide / 2 + 1; // v = 0 .. 128

/// |X(u, v)|^2 of one ROI (unnormalised transform) on the two bands.
struct BandPower {
    /// H, frequencies along x: rows v = 1 .. 7 (line l = v - 1) at every u = 0 .. 255, where
    /// u >= 128 stands for u - 256. With its mirror (-u, -v) each holds two points of the plane.
    float h[kLines][kSide];
    /// V, frequencies along y: columns u = 1 .. 7 (m = u - 1) and u = -1 .. -7 (m = 6 + |u|) at
    /// v = 0 .. 128. With its mirror each holds two points, except on the rows v = 0 and 128,
    /// whose mirrors are in the band already.
    float v[2 * kLines][kHalfRows];
};

/// One band position that feeds a frequency bin, with the points of the plane it holds.
struct BinSample {
    int32_t index; ///< into the band's array, flattened
    int32_t bin;   ///< index into the grid, 0 for the first grid frequency
    float weight;
};

/// The positions of one band whose radial frequency sqrt(u^2 + v^2) df rounds to grid frequency
/// (bin + 1) fint, bin < bins.
std::vector<BinSample> bandSamples(bool alongY, double df, double fint, int32_t bins);

/// A band's bins with the per-ROI bin values of every ROI, in the order the ROIs are measured
/// (field by field, row by row of the grid), bins fastest.
struct BandValues {
    std::vector<BinSample> band;
    std::vector<double> weight; ///< total weight of each bin
    std::vector<double> values;

    /// The bins of one band, with room for the values of `rois` ROIs.
    BandValues(bool alongY, double df, double fint, int32_t bins, int64_t rois);
    /// Adds one ROI's band (h or v of a BandPower, flattened), scaled to NNPS units, as one more
    /// row of per-ROI bin values.
    void addRoi(const float* band, double scale);
};

/// The mean of each bin over the ROIs and its standard error. Neighbouring ROIs overlap by half,
/// so their values are correlated, the more so the wider a bin spans the spectrum; the
/// correlation at each neighbour shift is measured from the ROIs themselves (pooled over the
/// bins) and enters the variance of the mean.
void binStatistics(const BandValues& b, int32_t nx, int32_t ny, int64_t fields,
                   std::vector<double>& mean, std::vector<double>& se);

} // namespace vantry::iec
