#pragma once
// Checks of an edge measurement that both MTF methods share: the robust "is there an edge" test,
// and the warnings that keep a curve but tell the operator why it may be doubtful. Pure
// functions on plain arrays; each warning is one line of text, empty when there is nothing to say.

#include <cstdint>
#include <string>
#include <vector>

namespace vantry {

/// The contrast below which an edge is not worth measuring: the curve is kept with a warning.
constexpr double kMinEdgeCnr = 50;
/// An MTF above this below half the Nyquist frequency is not a detector's.
constexpr double kMaxLowFrequencyMtf = 1.05;

/// Median and robust standard deviation (1.4826 x the median absolute deviation) of a set of
/// values: one hot pixel, a hot row or a dead column in a block moves neither.
struct RobustLevel {
    double median = 0;
    double spread = 0;
};
RobustLevel robustLevel(std::vector<double> values);

/// The refusal of a ROI whose two plateau blocks do not differ by more than their pixels' robust
/// spread: the text names the two medians and the spread compared, or is empty.
std::string noEdgeRefusal(const RobustLevel& low, const RobustLevel& high);

/// The contrast-to-noise ratio of two plateaus: |difference of medians| / mean robust spread
/// (infinite for noiseless plateaus).
double contrastToNoise(const RobustLevel& low, const RobustLevel& high);

/// "warning ..." when the contrast-to-noise ratio is under kMinEdgeCnr.
std::string lowCnrWarning(double cnr);

/// "warning ..." when any of the `count` pixel values lies at the top or the bottom of the 16-bit
/// range (a clipped edge).
std::string clippedWarning(const int16_t* values, size_t count);

/// "warning ..." when an MTF (frequencies in cycles/mm) exceeds kMaxLowFrequencyMtf below half the
/// Nyquist frequency.
std::string overshootWarning(const std::vector<double>& freq, const std::vector<double>& mtf,
                             double nyquist);

/// "warning ..." when the ESF, sampled at equal steps over the span the LSF uses, still changes
/// at either end: over the outer tenth of the span on either side it moves by more than 1 % of the
/// contrast and by more than its own noise (`noise` is the standard deviation of one ESF sample).
std::string truncationWarning(const std::vector<double>& esf, double noise);

/// "warning ..." when the ESF, sampled at equal steps (`perPixel` samples a pixel) over the span
/// the LSF uses, has no one dominant step: a ramp (the middle 80 % of the rise spans more than
/// a third of the profile) or two edges, a bar (the profile's total rise and fall exceed its net
/// rise by half).
std::string stepShapeWarning(const std::vector<double>& esf, double perPixel);

} // namespace vantry
