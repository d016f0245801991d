#pragma once
// The axes of the DQE report's charts: their ends, tick positions and tick labels. Kept apart from
// the painting (and from Qt) so that the ranges can be checked on their own.

#include <string>
#include <vector>

/// One chart axis. On a logarithmic axis the ends and ticks are decades (exponents of 10).
struct ChartAxis {
    double lo = 0, hi = 1;
    bool log = false;
    std::vector<double> ticks;       ///< ascending, within lo .. hi
    std::vector<std::string> labels; ///< one per tick
};

/// The frequency axis 0 .. end with a labelled tick every 1, 2, 2.5 or 5 times a power of ten
/// (at most 9 ticks); an end that is not finite and positive gives 0 .. 1.
ChartAxis frequencyAxis(double end);

/// A linear axis from 0 to 1, or to the largest finite value rounded up to the next 0.1 when that
/// is above 1. Non-finite values are ignored.
ChartAxis unitAxis(const std::vector<double>& values);

/// A log10 axis over the whole decades that hold the positive finite values, at least one decade;
/// 0 .. 1 decades when there are none. At most 9 decades are labelled, spread evenly.
ChartAxis decadeAxis(const std::vector<double>& values);
