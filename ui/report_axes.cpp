#include "report_axes.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

constexpr int kMostIntervals = 8;

/// A step of 1, 2, 2.5 or 5 times 10^exponent not below `raw` (positive and finite).
struct Step {
    double value;
    double mantissa;
    int exponent;
};

Step niceStep(double raw)
{
    int exponent = static_cast<int>(std::floor(std::log10(raw)));
    const double scale = std::pow(10.0, exponent);
    const double f = scale > 0 ? raw / scale : 1;
    double mantissa = 10;
    for (double m : {1.0, 2.0, 2.5, 5.0}) {
        if (f <= m * (1 + 1e-9)) {
            mantissa = m;
            break;
        }
    }
    if (mantissa == 10) {
        mantissa = 1;
        ++exponent;
    }
    return {mantissa * std::pow(10.0, exponent), mantissa, exponent};
}

/// Tick `i` of `step`: the whole number i * mantissa scaled by the power of ten in one rounding
/// where that power is exact, so that 6 x 0.2 is the number 1.2 that its label reads.
double tickValue(int i, const Step& step)
{
    const double units = i * step.mantissa;
    if (step.exponent < 0 && step.exponent >= -22) return units / std::pow(10.0, -step.exponent);
    return units * std::pow(10.0, step.exponent);
}

/// A tick value as text: fixed decimals enough for the step, or three significant digits with an
/// exponent for steps far from 1. Independent of the C locale.
std::string tickText(double v, const Step& step)
{
    char text[64];
    std::to_chars_result r;
    if (step.exponent >= -6 && step.exponent <= 6) {
        const int decimals = std::max(0, (step.mantissa == 2.5 ? 1 : 0) - step.exponent);
        r = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, decimals);
    } else {
        r = std::to_chars(text, text + sizeof text, v, std::chars_format::general, 3);
    }
    return r.ec == std::errc() ? std::string(text, r.ptr) : std::string("?");
}

/// Ticks 0, step, 2 step, ... up to `end`.
ChartAxis linearAxis(double end)
{
    ChartAxis axis;
    axis.hi = end;
    const Step step = niceStep(end / kMostIntervals);
    const double intervals = std::floor(end / step.value * (1 + 1e-9));
    const int n = static_cast<int>(std::clamp(intervals, 0.0, 2.0 * kMostIntervals));
    for (int i = 0; i <= n; ++i) {
        const double v = std::min(tickValue(i, step), end);
        axis.ticks.push_back(v);
        axis.labels.push_back(tickText(v, step));
    }
    return axis;
}

} // namespace

ChartAxis frequencyAxis(double end)
{
    return linearAxis(std::isfinite(end) && end > 0 ? end : 1.0);
}

ChartAxis unitAxis(const std::vector<double>& values)
{
    double top = 1;
    for (double v : values) {
        if (std::isfinite(v)) top = std::max(top, v);
    }
    // Up to the next tenth, never below the largest value; beyond about 1e307 the value itself.
    const double tenths = std::ceil(top * 10);
    if (top > 1 && std::isfinite(tenths)) {
        top = (tenths - 1) / 10 >= top ? (tenths - 1) / 10 : tenths / 10;
    }
    return linearAxis(top);
}

ChartAxis decadeAxis(const std::vector<double>& values)
{
    double least = std::numeric_limits<double>::infinity();
    double most = 0;
    for (double v : values) {
        if (std::isfinite(v) && v > 0) {
            least = std::min(least, v);
            most = std::max(most, v);
        }
    }
    ChartAxis axis;
    axis.log = true;
    if (most > 0) {
        axis.lo = std::floor(std::log10(least));
        axis.hi = std::max(std::ceil(std::log10(most)), axis.lo + 1);
    }
    const int decades = static_cast<int>(axis.hi - axis.lo);
    const int every = (decades + kMostIntervals - 1) / kMostIntervals;
    for (int d = 0; d <= decades; d += every) {
        const int exponent = static_cast<int>(axis.lo) + d;
        axis.ticks.push_back(exponent);
        axis.labels.push_back("1e" + std::to_string(exponent));
    }
    return axis;
}
