#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantry::samples {

/// Writes an 8-bit grey image (rows top-down, `width` bytes each) as an uncompressed PNG.
bool writeGreyPng(const std::string& path, int32_t width, int32_t height, const std::vector<uint8_t>& pixels);

} // namespace vantry::samples
