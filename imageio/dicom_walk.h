#pragma once
// Walking a DICOM file's data set element by element, from the preamble (or from byte 0 for a
// file without one) to the Pixel Data of the top level. Sequences of undefined length are
// followed item by item to their delimiters, so that nothing inside a sequence (an icon image,
// a private block) is taken for an element of the image; values are only ever read inside the
// file's bytes.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>
#include <string_view>

namespace vantry {

/// Deepest nesting of undefined-length sequences the walk follows.
constexpr int kMaxSequenceDepth = 64;

/// What the walk found at the top level of the data set, up to Pixel Data (7FE0,0010).
struct DataSetWalk {
    bool reachedPixelData = false;
    std::string stop; ///< why the walk did not reach Pixel Data; empty when it did

    bool hasMetaGroup = false;
    std::string transferSyntax; ///< (0002,0010) without its padding; empty when absent
    bool explicitVr = true;
    bool bigEndian = false;
    bool compressedSyntax = false; ///< a transfer syntax of encapsulated pixel data

    std::optional<uint16_t> rows, columns, bitsAllocated, samplesPerPixel, pixelRepresentation;
    /// Why the file is refused whatever reads it: Rows or Columns written other than as a US value
    /// (a 4-byte UL of 65792 would otherwise be read by its low half, 256). Empty when none.
    std::string refusal;
    /// Text values without their padding blanks.
    std::optional<std::string> numberOfFrames, imagerPixelSpacing, pixelSpacing;
    /// Rescale Slope (0028,1053), Rescale Intercept (0028,1052), Presentation Intent Type
    /// (0008,0068), as written.
    std::optional<std::string> rescaleSlope, rescaleIntercept, presentationIntent;

    uint64_t pixelOffset = 0;          ///< first byte of the Pixel Data value
    uint64_t pixelLength = 0;          ///< its length in bytes; inside the file
    bool pixelLengthUndefined = false; ///< encapsulated pixel data: fragments follow
    /// Byte spans [first, end) of the values the walk stepped over before it stopped or reached
    /// the Pixel Data, sequences whole.
    std::vector<std::pair<uint64_t, uint64_t>> steppedValues;
};

/// Walks the file's bytes, from byte 132 when "DICM" stands at byte 128 (and from byte 0 when
/// that walk fails, for a file without a preamble whose value holds those bytes). Refuses, with a reason naming the element and its byte position:
/// an odd length, a length past the end of the file, an unknown VR, a header cut off by the
/// end of the file, something other than an item inside a sequence, sequences nested deeper
/// than kMaxSequenceDepth, a deflated or unknown transfer syntax, and a data set without Pixel
/// Data at its top level.
DataSetWalk walkDataSet(const uint8_t* data, size_t size);

/// A text value without the blanks and zero bytes that pad it at either end.
std::string withoutPadding(std::string_view text);

/// "(gggg,eeee)" in upper-case hexadecimal.
std::string tagText(uint16_t group, uint16_t element);

} // namespace vantry
