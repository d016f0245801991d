#pragma once
// Finding DICOM data elements in a file held whole in FILEBUF, by scanning forward from TAGPOS
// for the four bytes of the tag. TAGPOS only moves forward, so elements are asked for in file
// order. No byte outside FILEBUF is ever read: a position whose bytes would pass the end counts as
// no match.

#include "workspace.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vantry {

/// Transfer modes: how element headers and values are laid out.
enum TransferMode : int16_t {
    kImplicitLittle = 0,
    kExplicitLittle = 1,
    kExplicitBig = 2,
    kUnknownMode = 3,
};

/// Tag as the first four bytes of a little-endian element header read as an Int32: the group in
/// the low and the element in the high 16 bits. dicomTag(0x0028, 0x0010) == 0x00100028.
constexpr int32_t dicomTag(uint16_t group, uint16_t element)
{
    return static_cast<int32_t>(static_cast<uint32_t>(element) << 16 | group);
}

/// Positions searched from TAGPOS (2 bytes apart) by each lookup.
constexpr int32_t kTextSearchPositions = 2048;
constexpr int32_t kNumberSearchPositions = 170000;
constexpr int32_t kPixelSearchPositions = 32786;
/// No pixel data is accepted beyond this byte.
constexpr int32_t kPixelDataLimit = 800000;

/// Text value of the element: "" when the tag is not found or its length is 0 or less.
std::string TAGCGET(Workspace& ws, int32_t tag, int16_t mode);
/// Numeric value: the Int16 or Int32 value for lengths 2 and 4, the length itself above 1023,
/// else 0.
float TAGVGET(Workspace& ws, int32_t tag, int16_t mode);
/// Length in bytes of the pixel data, with TAGPOS on its first byte; 0 when not found. Only an
/// occurrence followed by a plain length above 65535 (and the VR "OW" in explicit modes) counts.
float TAGIMG(Workspace& ws, int32_t tag, int16_t mode);

/// The transfer mode from (0002,0010), or from (0008,0016) when that gives none.
int16_t transferMode(Workspace& ws);

/// Numeric value of `tag` searched from the start of the file, leaving TAGPOS as it was; nullopt
/// when absent.
std::optional<float> lookAheadNumber(Workspace& ws, int32_t tag, int16_t mode);

} // namespace vantry
