#include "unsigned_pixels.h"

#include <algorithm>
#include <cstdio>

namespace vantry {
namespace {

constexpr int32_t kLargestPixel = 32767;

} // namespace

std::string unsignedPixels(ImageBuffer& img, int32_t offset, const std::string& source)
{
    const auto* u = reinterpret_cast<const uint16_t*>(img.pixels.data());
    const size_t n = img.pixels.size();
    uint16_t lo = 65535, hi = 0;
    for (size_t i = 0; i < n; ++i) {
        lo = std::min(lo, u[i]);
        hi = std::max(hi, u[i]);
    }
    if (n > 0 && hi - offset > kLargestPixel) {
        const std::string less = offset != 0 ? " less the detector list entry's offset " + std::to_string(offset) : "";
        const int32_t needed = hi - kLargestPixel;
        const std::string remedy = "a detector list entry with an offset of " + std::to_string(needed) + " or more" +
                                   (needed > kLargestPixel ? " (and the field u16, which takes offsets up to 65535)" : "") +
                                   " brings them into range";
        return "its pixels are unsigned (" + source + ") and reach " + std::to_string(hi) + less +
               ", above the limit 32767 of the program's signed 16-bit pixels; " + remedy;
    }
    if (n > 0 && lo - offset < -32768) {
        return "its smallest pixel " + std::to_string(lo) + " less the detector list entry's offset " +
               std::to_string(offset) + " falls below -32768, the limit of the program's signed 16-bit pixels";
    }
    // Every value now fits: as stored when the offset is 0, else shifted.
    if (offset != 0) {
        for (int16_t& p : img.pixels) p = static_cast<int16_t>(static_cast<uint16_t>(p) - offset);
    }
    return {};
}

std::string wrappedPixelsWarning(const ImageBuffer& img)
{
    size_t negative = 0, zero = 0;
    for (const int16_t p : img.pixels) {
        negative += p < 0;
        zero += p == 0;
    }
    const size_t n = img.pixels.size();
    if (n == 0 || zero > 0 || negative * 100 <= n || negative == n) return {};
    char text[240];
    std::snprintf(text, sizeof text,
                  "warning %.1f %% of the pixels are negative and all the others positive: unsigned 16-bit "
                  "pixels above 32767 read as signed? A detector list entry with the field u16 reads them as "
                  "unsigned",
                  100.0 * static_cast<double>(negative) / static_cast<double>(n));
    return text;
}

} // namespace vantry
