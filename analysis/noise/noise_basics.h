#pragma once
// What the noise menu's pieces share below the menu itself: the block size and the text of a
// noise value.

#include <cstdint>
#include <string>

namespace vantry {

/// Side of the blocks a flat-field ROI is cut into.
constexpr int32_t kBlock = 256;

/// A noise value as the tables write it: with `decimals` decimals, or in exponent form
/// ("9.87E-07") when that would show a non-zero value as zero.
std::string noiseText(double value, int decimals);

} // namespace vantry
