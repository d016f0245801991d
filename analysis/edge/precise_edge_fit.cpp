// The edge's orientation from the pixels, its position in each line and the robust straight line
// through the positions.
#include "precise_edge_fit.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vantry::precise {

namespace {

/// |mean of the last k - mean of the first k| of n values at pixel(i), summed over lines.
template <typename Pixel>
double netChange(int32_t lines, int32_t n, Pixel pixel)
{
    const int32_t k = std::max(1, n / 8);
    double total = 0;
    for (int32_t line = 0; line < lines; ++line) {
        double first = 0, last = 0;
        for (int32_t i = 0; i < k; ++i) {
            first += pixel(line, i);
            last += pixel(line, n - 1 - i);
        }
        total += std::abs(last - first) / k;
    }
    return total;
}

double medianOf(std::vector<double> v)
{
    const size_t half = v.size() / 2;
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(half), v.end());
    return v[half];
}

} // namespace

bool profileRunsAlongX(const int16_t* pixels, int32_t width, int32_t roiX, int32_t roiY,
                       int32_t roiW, int32_t roiH)
{
    const auto at = [&](int32_t x, int32_t y) {
        return static_cast<double>(
            pixels[static_cast<size_t>(roiX + x) + static_cast<size_t>(width) * (roiY + y)]);
    };
    // A straight edge makes every line across it change by the contrast, and only the few lines
    // along it that its tilt carries across it.
    const double rows = netChange(roiH, roiW, [&](int32_t y, int32_t x) { return at(x, y); });
    const double columns = netChange(roiW, roiH, [&](int32_t x, int32_t y) { return at(x, y); });
    return rows >= columns;
}

EdgeFrame edgeFrame(const int16_t* pixels, int32_t width, int32_t roiX, int32_t roiY,
                    int32_t roiW, int32_t roiH, bool profileAlongX)
{
    EdgeFrame f;
    f.profileAlongX = profileAlongX;
    f.across = profileAlongX ? roiW : roiH;
    f.along = profileAlongX ? roiH : roiW;
    f.values.resize(static_cast<size_t>(f.across) * static_cast<size_t>(f.along));
    for (int32_t q = 0; q < f.along; ++q) {
        float* line = f.values.data() + static_cast<size_t>(f.across) * q;
        for (int32_t p = 0; p < f.across; ++p) {
            const int32_t x = roiX + (profileAlongX ? p : q);
            const int32_t y = roiY + (profileAlongX ? q : p);
            line[p] = pixels[static_cast<size_t>(x) + static_cast<size_t>(width) * y];
        }
    }
    return f;
}

std::vector<double> endBlock(const EdgeFrame& frame, int32_t columns, bool last)
{
    std::vector<double> values;
    values.reserve(static_cast<size_t>(columns) * frame.along);
    const int32_t first = last ? frame.across - columns : 0;
    for (int32_t q = 0; q < frame.along; ++q) {
        for (int32_t p = first; p < first + columns; ++p) values.push_back(frame.at(p, q));
    }
    return values;
}

std::vector<double> lineCentroids(const EdgeFrame& frame, double midLevel, double contrast,
                                  int32_t halfWindow)
{
    const double none = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> positions(static_cast<size_t>(frame.along), none);
    const int32_t lastDifference = frame.across - 2;
    for (int32_t q = 0; q < frame.along; ++q) {
        // The start: where the line crosses the middle level, counted as the pixels below it
        // (exact for a clean step, and one hot or cold pixel moves it by one).
        int32_t below = 0;
        for (int32_t p = 0; p < frame.across; ++p) below += frame.at(p, q) < midLevel;
        double centre = below;
        bool found = false;
        // A broad edge rises little within the window: the window widens until it holds a
        // quarter of the contrast.
        for (int64_t half = halfWindow; !found && half <= 2 * static_cast<int64_t>(frame.across);
             half *= 2) {
            centre = below;
            for (int iteration = 0; iteration < 12; ++iteration) {
                // The difference k, value(k + 1) - value(k), sits at position k + 1.
                const int32_t middle = static_cast<int32_t>(std::lround(centre));
                const int32_t from = static_cast<int32_t>(std::max<int64_t>(0, middle - half - 1));
                const int32_t to =
                    static_cast<int32_t>(std::min<int64_t>(lastDifference, middle + half - 1));
                double sum = 0, moment = 0;
                for (int32_t k = from; k <= to; ++k) {
                    const double d = static_cast<double>(frame.at(k + 1, q)) - frame.at(k, q);
                    sum += d;
                    moment += d * (k + 1);
                }
                if (!(sum > 0.25 * contrast)) {
                    found = false;
                    break;
                }
                const double next = moment / sum;
                found = true;
                const bool settled = std::lround(next) == middle;
                centre = next;
                if (settled) break;
            }
        }
        if (found) positions[static_cast<size_t>(q)] = centre;
    }
    return positions;
}

LineFit fitEdgeLine(const std::vector<double>& positions, double tolerance)
{
    const int32_t along = static_cast<int32_t>(positions.size());
    LineFit fit;
    fit.used.assign(positions.size(), 0);
    for (size_t q = 0; q < positions.size(); ++q) fit.used[q] = std::isfinite(positions[q]);
    for (int round = 0; round < 4; ++round) {
        double n = 0, st = 0, sp = 0;
        for (int32_t q = 0; q < along; ++q) {
            if (!fit.used[static_cast<size_t>(q)]) continue;
            n += 1;
            st += lineCentre(q, along);
            sp += positions[static_cast<size_t>(q)];
        }
        fit.count = static_cast<int32_t>(n);
        if (n < 2) return fit;
        const double tMean = st / n, pMean = sp / n;
        double stt = 0, stp = 0;
        for (int32_t q = 0; q < along; ++q) {
            if (!fit.used[static_cast<size_t>(q)]) continue;
            const double t = lineCentre(q, along) - tMean;
            stt += t * t;
            stp += t * (positions[static_cast<size_t>(q)] - pMean);
        }
        fit.line.b = stt > 0 ? stp / stt : 0;
        fit.line.a = pMean - fit.line.b * tMean;
        if (round == 3) break;

        std::vector<double> residuals;
        for (int32_t q = 0; q < along; ++q) {
            if (!fit.used[static_cast<size_t>(q)]) continue;
            residuals.push_back(std::abs(positions[static_cast<size_t>(q)] - fit.line.a -
                                         fit.line.b * lineCentre(q, along)));
        }
        const double limit = std::max(tolerance, 4 * 1.4826 * medianOf(residuals));
        bool changed = false;
        for (int32_t q = 0; q < along; ++q) {
            if (!fit.used[static_cast<size_t>(q)]) continue;
            const double r = positions[static_cast<size_t>(q)] - fit.line.a -
                             fit.line.b * lineCentre(q, along);
            if (std::abs(r) > limit) {
                fit.used[static_cast<size_t>(q)] = 0;
                changed = true;
            }
        }
        if (!changed) break;
    }
    return fit;
}

} // namespace vantry::precise

namespace vantry::precise {

std::vector<double> refinedPositions(const EdgeFrame& frame, const EdgeLine& line,
                                     const std::vector<uint8_t>& used, const UniformEsf& esf,
                                     double halfSpan)
{
    const double none = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> positions(static_cast<size_t>(frame.along), none);
    const int32_t n = static_cast<int32_t>(esf.values.size());
    if (n < 3) return positions;
    const double cosine = 1 / std::sqrt(1 + line.b * line.b);
    for (int32_t q = 0; q < frame.along; ++q) {
        if (!used[static_cast<size_t>(q)]) continue;
        const double x = line.a + line.b * lineCentre(q, frame.along);
        const int32_t from = heldIndex(x - halfSpan / cosine - 1, 0, frame.across - 1);
        const int32_t to = heldIndex(x + halfSpan / cosine + 1, 0, frame.across - 1);
        double sumRs = 0, sumSs = 0;
        for (int32_t p = from; p <= to; ++p) {
            const double u = (p + 0.5 - x) * cosine;
            if (std::abs(u) > halfSpan) continue;
            // Linear interpolation of the ESF and of its central differences.
            const double index = (u - esf.start) / esf.step - 0.5;
            if (!(index >= 1 && index < n - 2)) continue;
            const int32_t i = static_cast<int32_t>(index);
            const double w = index - i;
            const double* e = esf.values.data() + i;
            const double value = e[0] + w * (e[1] - e[0]);
            const double slope0 = (e[1] - e[-1]) / (2 * esf.step);
            const double slope1 = (e[2] - e[0]) / (2 * esf.step);
            const double slope = slope0 + w * (slope1 - slope0);
            sumRs += (frame.at(p, q) - value) * slope;
            sumSs += slope * slope;
        }
        if (sumSs > 0) positions[static_cast<size_t>(q)] = x - sumRs / sumSs / cosine;
    }
    return positions;
}

} // namespace vantry::precise
