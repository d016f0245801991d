#pragma once
// The geometry of the precise edge method: the ROI seen across and along the edge, the edge's
// position in each line and the straight line through those positions.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vantry::precise {

/// The ROI's pixels with p across the edge (along the profile axis) and q along it:
/// value(p, q) = values[p + across * q]. Pixel p covers [p, p + 1), its centre is at p + 0.5.
struct EdgeFrame {
    std::vector<float> values;
    int32_t across = 0;
    int32_t along = 0;
    bool profileAlongX = true;

    float at(int32_t p, int32_t q) const
    {
        return values[static_cast<size_t>(p) + static_cast<size_t>(across) * static_cast<size_t>(q)];
    }
};

/// Whether the edge profile runs along x: the lines of the ROI change more from end to end along
/// x than along y. The ROI lies inside the image.
bool profileRunsAlongX(const int16_t* pixels, int32_t width, int32_t roiX, int32_t roiY,
                       int32_t roiW, int32_t roiH);

/// The ROI's pixels in the frame of the profile axis.
EdgeFrame edgeFrame(const int16_t* pixels, int32_t width, int32_t roiX, int32_t roiY,
                    int32_t roiW, int32_t roiH, bool profileAlongX);

/// The values of the first or the last `columns` pixels of every line.
std::vector<double> endBlock(const EdgeFrame& frame, int32_t columns, bool last);

/// floor(v) held to [low, high] (low for NaN): an index from a distance that may be anything.
inline int32_t heldIndex(double v, int32_t low, int32_t high)
{
    if (!(v > low)) return low;
    if (!(v < high)) return high;
    return static_cast<int32_t>(v);
}

/// A straight edge p = a + b t, with t = q + 0.5 - along / 2 the line's centre from the ROI's
/// middle.
struct EdgeLine {
    double a = 0;
    double b = 0;
};

/// t of line q.
inline double lineCentre(int32_t q, int32_t along)
{
    return q + 0.5 - along / 2.0;
}

/// The edge's position in every line of a frame rising from below midLevel to above it: the
/// centroid of the line's first differences within halfWindow pixels of it, iterated until the
/// window is centred; NaN where the line has no rise there.
std::vector<double> lineCentroids(const EdgeFrame& frame, double midLevel, double contrast,
                                  int32_t halfWindow);

/// A straight line through the per-line positions, refitted without the lines further from it
/// than four robust standard deviations of the residuals (and than `tolerance` pixels).
struct LineFit {
    EdgeLine line;
    std::vector<uint8_t> used; ///< per line, 1 when it lies on the line
    int32_t count = 0;         ///< lines used
};
LineFit fitEdgeLine(const std::vector<double>& positions, double tolerance);

/// An ESF sampled at equal steps along the edge normal: value i at start + (i + 0.5) * step
/// pixels from the edge line.
struct UniformEsf {
    std::vector<double> values;
    double start = 0;
    double step = 0;
};

/// The edge's position in every used line re-estimated by sliding the ESF along the line's
/// pixels within halfSpan pixels (along the normal) of the line: the least-squares shift of one
/// Gauss-Newton step from the current line. NaN for lines not used.
std::vector<double> refinedPositions(const EdgeFrame& frame, const EdgeLine& line,
                                     const std::vector<uint8_t>& used, const UniformEsf& esf,
                                     double halfSpan);

} // namespace vantry::precise
