#pragma once

#include <cstdint>
#include <vector>

namespace vantry::samples {

/// The bytes of an uncompressed PNG of an 8-bit grey image (rows top-down, `width` bytes each).
std::vector<uint8_t> greyPng(int32_t width, int32_t height, const std::vector<uint8_t>& pixels);

} // namespace vantry::samples
