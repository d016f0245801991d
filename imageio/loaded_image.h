#pragma once
// What a reader of one file layout hands back to READDICOM, and the checks they share.

#include "image_buffer.h"
#include "workspace.h"

#include <cstdint>
#include <string>

namespace vantry {

struct LoadedImage {
    ImageBuffer image;
    int32_t hdofs = 0;
    float pitch = 0;  ///< the pitch taken from the file; 0 keeps the preset's
    ReadFacts facts;
};

/// Refuses sizes the program cannot hold: zero, a side above 32767, or above 512 MiB of pixels;
/// the reason, or an empty text.
std::string checkSize(int64_t width, int64_t height);

/// An image of width x height pixels from little-endian bytes, which must hold them all.
ImageBuffer imageFromBytes(int32_t width, int32_t height, const uint8_t* bytes);

} // namespace vantry
