#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vantry {

/// A 16-bit image with bounds (0 .. width-1, 0 .. height-1): x fastest in memory, top row first.
struct ImageBuffer {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<int16_t> pixels;

    /// Pixel (x, y); the caller keeps x and y inside the bounds.
    int16_t& at(int32_t x, int32_t y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
    int16_t at(int32_t x, int32_t y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
    bool empty() const { return pixels.empty(); }
};

} // namespace vantry
