// The precise edge MTF: the checks of the input, the edge line and its refinement, the span the
// LSF needs, the transform with the bins' and the difference's transfer divided out, and the
// jackknife standard error.
#include "precise_mtf.h"

#include "edge_checks.h"
#include "precise_edge_fit.h"
#include "precise_esf.h"
#include "roi_outside.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace vantry {

namespace {

using namespace precise;

constexpr double kPi = std::numbers::pi;
/// The smallest ROI: pixels across the edge and lines along it.
constexpr int32_t kMinAcross = 20;
constexpr int32_t kMinAlong = 16;
/// The longest side of an image the program reads.
constexpr int32_t kMaxSide = 32767;
/// Points of the output grid at most.
constexpr double kMaxGridPoints = 100000;
/// Groups of lines of the jackknife at most.
constexpr int32_t kMaxGroups = 16;
/// Half-width, in pixels, of the window of a line's first centroid.
constexpr int32_t kCentroidHalfWindow = 4;
/// Rounds of the line's refinement from the ESF.
constexpr int kRefinements = 4;

std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", value);
    return text;
}

PreciseMtfResult refused(PreciseMtfResult result, std::string why)
{
    result.error = std::move(why);
    result.freq.clear();
    result.mtf.clear();
    result.se.clear();
    return result;
}

/// sin(x) / x, held away from the zeros where a transfer function is divided out.
double sincFloor(double x)
{
    const double s = std::abs(x) < 1e-8 ? 1.0 : std::sin(x) / x;
    return std::max(s, 0.1);
}

/// The distances from the edge line, along the normal, of the outermost pixel centres that every
/// line has on its low and its high side.
struct Room {
    double low = 0;
    double high = 0;
};

Room roomOf(const EdgeFrame& frame, const EdgeLine& line)
{
    const double cosine = 1 / std::sqrt(1 + line.b * line.b);
    const double lastT = frame.along / 2.0 - 0.5;
    const double lowest = line.a - std::abs(line.b) * lastT;
    const double highest = line.a + std::abs(line.b) * lastT;
    return {(lowest - 0.5) * cosine, (frame.across - 0.5 - highest) * cosine};
}

/// The window of the LSF: flat over the inner four fifths of either half-span, a cosine taper
/// to zero at its ends.
double lsfWindow(double m, double low, double high)
{
    const double half = m < 0 ? low : high;
    const double x = std::abs(m) / half;
    if (x <= 0.8) return 1;
    if (x >= 1) return 0;
    const double c = std::cos(kPi / 2 * (x - 0.8) / 0.2);
    return c * c;
}

/// The MTF at frequencies n * step (cycles per pixel along the normal), n = 0 .. count - 1, of
/// ESF samples: the transform of their differences at the midpoints of their mean distances,
/// windowed, divided by the transfer of the bins (a box whose variance is the mean variance of
/// the distances in a bin) and of the difference (a box of the rms step), normalised to 1 at 0.
std::vector<double> mtfOf(const EsfSamples& s, double spanLow, double spanHigh, double step,
                          int32_t count)
{
    std::vector<double> mtf(static_cast<size_t>(count), 0.0);
    const size_t n = s.distance.size();
    if (n < 2) return mtf;
    std::vector<double> weight(n - 1), re(n - 1, 1.0), im(n - 1, 0.0), turnRe(n - 1),
        turnIm(n - 1);
    double sumWidth2 = 0, sumVariance = 0;
    for (size_t j = 0; j + 1 < n; ++j) {
        const double m = (s.distance[j] + s.distance[j + 1]) / 2;
        const double width = s.distance[j + 1] - s.distance[j];
        weight[j] = (s.value[j + 1] - s.value[j]) * lsfWindow(m, spanLow, spanHigh);
        turnRe[j] = std::cos(2 * kPi * step * m);
        turnIm[j] = -std::sin(2 * kPi * step * m);
        sumWidth2 += width * width;
    }
    for (double v : s.variance) sumVariance += v;
    const double binWidth = std::sqrt(12 * sumVariance / static_cast<double>(n));
    const double stepWidth = std::sqrt(sumWidth2 / static_cast<double>(n - 1));

    double dc = 0;
    for (int32_t k = 0; k < count; ++k) {
        double sr = 0, si = 0;
        for (size_t j = 0; j + 1 < n; ++j) {
            sr += weight[j] * re[j];
            si += weight[j] * im[j];
            const double r = re[j] * turnRe[j] - im[j] * turnIm[j];
            im[j] = re[j] * turnIm[j] + im[j] * turnRe[j];
            re[j] = r;
        }
        const double modulus = std::sqrt(sr * sr + si * si);
        if (k == 0) dc = modulus;
        const double f = k * step;
        mtf[static_cast<size_t>(k)] =
            dc > 0 ? modulus / dc / (sincFloor(kPi * f * binWidth) * sincFloor(kPi * f * stepWidth))
                   : 0.0;
    }
    return mtf;
}

/// Empty bins in [first, last], and whether two of them are neighbours.
struct EmptyBins {
    int32_t count = 0;
    int32_t total = 0;
    bool adjacent = false;
};

EmptyBins emptyBins(const FineBins& bins, int32_t first, int32_t last)
{
    EmptyBins e;
    bool previous = false;
    for (int32_t j = std::max(first, 0); j <= std::min(last, bins.bins - 1); ++j) {
        double n = 0;
        for (int32_t g = 0; g < bins.groups; ++g)
            n += bins.count[static_cast<size_t>(g) * static_cast<size_t>(bins.bins) +
                            static_cast<size_t>(j)];
        const bool empty = n < 1;
        e.count += empty;
        e.adjacent = e.adjacent || (empty && previous);
        previous = empty;
        ++e.total;
    }
    return e;
}

/// The intercept of the line of slope b through the mean of the used positions.
double interceptAt(const std::vector<double>& positions, const std::vector<uint8_t>& used,
                   double b)
{
    const int32_t along = static_cast<int32_t>(positions.size());
    double sum = 0, n = 0;
    for (int32_t q = 0; q < along; ++q) {
        if (!used[static_cast<size_t>(q)]) continue;
        sum += positions[static_cast<size_t>(q)] - b * lineCentre(q, along);
        n += 1;
    }
    return n > 0 ? sum / n : 0.0;
}

double angleOf(const EdgeLine& line)
{
    return -std::atan(line.b) * 180 / kPi;
}

std::string tiltRefusal(const EdgeLine& line, const EmptyBins& e)
{
    return "The edge's tilt of " + number(angleOf(line)) +
           " degrees cannot fill the eighth-pixel bins of the ESF (" + std::to_string(e.count) +
           " of " + std::to_string(e.total) +
           " bins near the edge are empty): the tilt is too small or too close to a simple "
           "fraction such as 0 or 45 degrees; tilt the edge by 2 to 10 degrees.";
}

/// What the ESF over the whole room tells: the ESF itself and how far the LSF reaches.
struct Survey {
    Room room;
    UniformEsf esf;
    Reach reach;
    double need = 3;  ///< half-span the LSF needs, in pixels along the normal
    double noise = 0; ///< of one pixel, from the scatter within the bins
    EmptyBins empty;
};

Survey survey(const EdgeFrame& frame, const LineFit& fit)
{
    Survey s;
    s.room = roomOf(frame, fit.line);
    if (s.room.low < 1 || s.room.high < 1) return s;
    const FineBins bins = binPixels(frame, fit.line, fit.used, -s.room.low, s.room.high, 1);
    const EsfSamples samples = esfSamples(bins, 0, bins.bins - 1, -1);
    s.esf = uniformEsf(samples, bins, 0, bins.bins - 1);
    s.noise = pixelNoise(bins);
    s.reach = lsfReach(s.esf, s.noise / std::sqrt(std::max(1.0, samples.meanCount)));
    s.need = std::max(3.0, 1.5 * std::max(s.reach.low, s.reach.high) + 1.5);
    // The bins the LSF will use, for the test of the tilt.
    const int32_t centre = static_cast<int32_t>(std::lround(-bins.start / kBinWidth));
    const double used = std::min(s.need, std::min(s.room.low, s.room.high));
    const int32_t half = static_cast<int32_t>(std::ceil(used / kBinWidth));
    s.empty = emptyBins(bins, centre - half, centre + half - 1);
    return s;
}

bool tiltFillsBins(const EmptyBins& e)
{
    return !e.adjacent && e.count * 10 <= e.total;
}

} // namespace

PreciseMtfResult measurePreciseMtf(const int16_t* pixels, int32_t width, int32_t height,
                                   int32_t roiX, int32_t roiY, int32_t roiW, int32_t roiH,
                                   double pitchMm, const PreciseMtfOptions& options)
{
    PreciseMtfResult result;
    if (pixels == nullptr || width <= 0 || height <= 0)
        return refused(result, "There is no image to measure: load an image first.");
    if (roiX < 0 || roiY < 0 || roiW <= 0 || roiH <= 0 ||
        static_cast<int64_t>(roiX) + roiW > width || static_cast<int64_t>(roiY) + roiH > height) {
        return refused(result, roiOutsideMessage(roiX, roiY, roiW, roiH, width, height));
    }
    if (!std::isfinite(pitchMm) || pitchMm <= 0)
        return refused(result, "The pixel pitch " + number(pitchMm) +
                                   " mm is not a positive number: set the detector's pitch.");
    if (!std::isfinite(options.fint) || options.fint <= 0 || !std::isfinite(options.fmax) ||
        options.fmax < 0) {
        return refused(result, "The frequency grid (step " + number(options.fint) +
                                   ", last " + number(options.fmax) +
                                   " cycles/mm) is not a positive step up to a last frequency "
                                   "of 0 or more: set both again.");
    }
    const double steps = std::nearbyint(options.fmax / options.fint);
    if (!(steps + 1 <= kMaxGridPoints)) {
        return refused(result, "The frequency grid would have " + number(steps + 1) +
                                   " points, more than 100000: use a larger step or a lower "
                                   "last frequency.");
    }
    if (std::max(roiW, roiH) > kMaxSide) {
        return refused(result, "The ROI of " + std::to_string(roiW) + " x " +
                                   std::to_string(roiH) + " pixels has a side above " +
                                   std::to_string(kMaxSide) +
                                   " pixels, more than an image has: draw it smaller.");
    }
    if (std::min(roiW, roiH) < kMinAlong || std::max(roiW, roiH) < kMinAcross) {
        return refused(result, "The ROI of " + std::to_string(roiW) + " x " +
                                   std::to_string(roiH) + " pixels is too small: it needs " +
                                   std::to_string(kMinAcross) +
                                   " pixels across the edge for the edge and its plateaus and " +
                                   std::to_string(kMinAlong) +
                                   " lines along it to fit the edge line; draw it larger.");
    }

    // The orientation and the levels on either side.
    const bool alongX = profileRunsAlongX(pixels, width, roiX, roiY, roiW, roiH);
    result.dir = alongX ? " H" : " V";
    EdgeFrame frame = edgeFrame(pixels, width, roiX, roiY, roiW, roiH, alongX);
    if (frame.across < kMinAcross) {
        return refused(result, "The ROI is " + std::to_string(frame.across) +
                                   " pixels across the edge, too few: it needs " +
                                   std::to_string(kMinAcross) +
                                   " pixels across the edge for the edge and its plateaus; "
                                   "widen it across the edge.");
    }
    // The plateau blocks: a few pixels at either end, so that an edge near one end still has one
    // on its side (a dead column is a quarter of the narrowest block at most).
    const int32_t block = std::clamp(frame.across / 32, 4, 16);
    RobustLevel low = robustLevel(endBlock(frame, block, false));
    RobustLevel high = robustLevel(endBlock(frame, block, true));
    if (std::string none = noEdgeRefusal(low, high); !none.empty())
        return refused(result, std::move(none));
    result.cnr = contrastToNoise(low, high);
    if (high.median < low.median) {
        // A falling edge is measured as the rising one of the negated pixels.
        for (float& v : frame.values) v = -v;
        std::swap(low, high);
        low.median = -low.median;
        high.median = -high.median;
    }
    const double contrast = high.median - low.median;

    // The edge line from the centroids of every line, then from the ESF.
    const int32_t enoughLines = std::max(8, frame.along / 2);
    const std::vector<double> centroids =
        lineCentroids(frame, (low.median + high.median) / 2, contrast, kCentroidHalfWindow);
    LineFit fit = fitEdgeLine(centroids, 0.25);
    if (fit.count < enoughLines) {
        return refused(result, "The edge is not straight: only " + std::to_string(fit.count) +
                                   " of the " + std::to_string(frame.along) +
                                   " lines along it show a step on one straight line; place "
                                   "the ROI over one straight edge.");
    }
    result.angleDeg = angleOf(fit.line);
    Survey s = survey(frame, fit);
    const auto nearEndRefusal = [&](const Survey& v) {
        const int32_t needed = static_cast<int32_t>(std::ceil(v.need * kBinsPerPixel));
        const double room = std::max(0.0, std::min(v.room.low, v.room.high));
        return "The edge lies too near the ROI's end: its LSF needs " + std::to_string(needed) +
               " samples (" + number(v.need) +
               " pixels) on either side of the edge, and the ROI gives " +
               std::to_string(static_cast<int32_t>(std::floor(room * kBinsPerPixel))) +
               " on one side; move the ROI so that the edge lies near its middle.";
    };
    if (s.room.low < 1 || s.room.high < 1) return refused(result, nearEndRefusal(s));
    if (!tiltFillsBins(s.empty)) return refused(result, tiltRefusal(fit.line, s.empty));

    for (int round = 0; round < kRefinements; ++round) {
        const double halfSpan = std::min(s.need, std::min(s.room.low, s.room.high));
        LineFit refined = fitEdgeLine(refinedPositions(frame, fit.line, fit.used, s.esf, halfSpan),
                                      0.05);
        if (refined.count < enoughLines) break;
        // Moving every line alike moves the ESF with them and fits as well: the refinement
        // settles the slope, the centroids keep the line's place.
        refined.line.a = interceptAt(centroids, refined.used, refined.line.b);
        const double moved = std::abs(refined.line.b - fit.line.b) * frame.along +
                             std::abs(refined.line.a - fit.line.a);
        fit = std::move(refined);
        s = survey(frame, fit);
        if (s.room.low < 1 || s.room.high < 1) return refused(result, nearEndRefusal(s));
        if (moved < 1e-4) break;
    }
    result.angleDeg = angleOf(fit.line);
    if (!tiltFillsBins(s.empty)) return refused(result, tiltRefusal(fit.line, s.empty));

    // The span the LSF uses: what it needs, cut by the room on either side. An edge that fits the
    // ROI but lies too near one end of it is refused; one too broad for the ROI is measured with
    // a warning.
    const double core = std::max(s.reach.low, s.reach.high) + 0.5;
    if (std::min(s.room.low, s.room.high) < core && s.room.low + s.room.high >= 2 * s.need)
        return refused(result, nearEndRefusal(s));
    result.spanLowPx = std::min(s.need, s.room.low);
    result.spanHighPx = std::min(s.need, s.room.high);

    const int32_t groups = std::clamp(frame.along / 4, 2, kMaxGroups);
    const FineBins bins =
        binPixels(frame, fit.line, fit.used, -result.spanLowPx, result.spanHighPx, groups);
    const EmptyBins empty = emptyBins(bins, 0, bins.bins - 1);
    if (!tiltFillsBins(empty)) return refused(result, tiltRefusal(fit.line, empty));
    const EsfSamples all = esfSamples(bins, 0, bins.bins - 1, -1);

    const int32_t count = static_cast<int32_t>(steps) + 1;
    const double step = options.fint * pitchMm;
    result.freq.resize(static_cast<size_t>(count));
    for (int32_t k = 0; k < count; ++k) result.freq[static_cast<size_t>(k)] = k * options.fint;
    result.mtf = mtfOf(all, result.spanLowPx, result.spanHighPx, step, count);

    // The jackknife over groups of consecutive lines, with the same line and window.
    std::vector<std::vector<double>> replicates;
    for (int32_t g = 0; g < groups; ++g) {
        replicates.push_back(mtfOf(esfSamples(bins, 0, bins.bins - 1, g), result.spanLowPx,
                                   result.spanHighPx, step, count));
    }
    result.se.resize(static_cast<size_t>(count));
    for (size_t k = 0; k < result.se.size(); ++k) {
        double mean = 0, spread = 0;
        for (const auto& m : replicates) mean += m[k];
        mean /= groups;
        for (const auto& m : replicates) spread += (m[k] - mean) * (m[k] - mean);
        result.se[k] = std::sqrt((groups - 1.0) / groups * spread);
    }

    // The warnings.
    const auto warn = [&result](std::string w) {
        if (!w.empty()) result.warnings.push_back(std::move(w));
    };
    warn(lowCnrWarning(result.cnr));
    std::vector<int16_t> roi;
    roi.reserve(static_cast<size_t>(roiW) * static_cast<size_t>(roiH));
    for (int32_t y = roiY; y < roiY + roiH; ++y) {
        const int16_t* row = pixels + static_cast<size_t>(width) * y + roiX;
        roi.insert(roi.end(), row, row + roiW);
    }
    warn(clippedWarning(roi.data(), roi.size()));
    warn(overshootWarning(result.freq, result.mtf, 0.5 / pitchMm));
    const UniformEsf used = uniformEsf(all, bins, 0, bins.bins - 1);
    warn(truncationWarning(used.values, s.noise / std::sqrt(std::max(1.0, all.meanCount))));
    warn(stepShapeWarning(used.values, kBinsPerPixel));
    return result;
}

} // namespace vantry
