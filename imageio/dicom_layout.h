#pragma once
// Where a DICOM file's image lies and how its pixels are stored, as the data set walk finds it,
// or, for a file the walk cannot follow, as the element search finds it.

#include "dicom_walk.h"
#include "workspace.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vantry {

struct DicomLayout {
    int32_t width = 0;
    int32_t height = 0;
    uint64_t offset = 0; ///< byte of the first pixel
    uint64_t length = 0; ///< bytes of pixel data from there on, all inside the file
    bool bigEndian = false;
    std::optional<uint16_t> pixelRepresentation;
    int32_t frames = 1;
    std::optional<std::string> imagerPixelSpacing, pixelSpacing;
};

/// The layout from a walk that reached the Pixel Data; the reason when the image cannot be read
/// (compressed pixel data, not 16 bits, colour, no or a wrong size, too few pixel bytes), else an
/// empty text.
std::string layoutFromWalk(const DataSetWalk& walk, DicomLayout& layout);

/// The layout from the element search over FILEBUF (TAGPOS is moved); the reason when the image
/// cannot be read, else an empty text.
std::string layoutFromSearch(Workspace& ws, DicomLayout& layout);

/// A name for a compressed transfer syntax, or "" for one without.
std::string compressionName(const std::string& transferSyntax);

} // namespace vantry
