#pragma once
// Figures of merit of a stored MTF curve.

#include <cstdint>
#include <optional>

namespace vantry {

struct MtfSummary {
    std::optional<float> mtf50;   ///< cycles/mm where the MTF first falls to 0.5
    std::optional<float> mtf10;   ///< cycles/mm where it first falls to 0.1
    std::optional<float> nyquist; ///< the MTF at 1 / (2 pitch), when the curve reaches it
};

/// The figures of a curve of `n` points (frequency, MTF), linearly interpolated between the
/// points: a level the curve stays above is not reached (nullopt), and so is a Nyquist frequency
/// beyond its last point.
MtfSummary summarizeMtf(const float* freq, const float* mtf, int32_t n, float pitchMm);

} // namespace vantry
