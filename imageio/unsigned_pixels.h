#pragma once
// Unsigned 16-bit pixels (a DICOM file's Pixel Representation 0, a raw file of a "u16" detector
// entry) into the program's signed pixels, less the entry's offset.

#include "image_buffer.h"

#include <cstdint>
#include <string>

namespace vantry {

/// Reinterprets every pixel of img as unsigned and subtracts offset. `source` says why the
/// pixels are unsigned ("Pixel Representation 0"). The reason, naming the largest (or smallest)
/// value and the offset that would fit, when a value still falls outside -32768 .. 32767; the
/// image is then left as it was.
std::string unsignedPixels(ImageBuffer& img, int32_t offset, const std::string& source);

/// Raw pixels read as signed that look unsigned: more than 1 % of them negative while all the
/// others are positive (values above 32767 wrap to negative). A warning line, or an empty text.
std::string wrappedPixelsWarning(const ImageBuffer& img);

} // namespace vantry
