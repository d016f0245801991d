#include "dicom_layout.h"

#include "dicom_elements.h"
#include "loaded_image.h"
#include "numtext.h"

#include <algorithm>

namespace vantry {
namespace {

std::string bitsMessage(double bits) { return "it stores " + plainNumberTrimmed(bits) + " bits per pixel, not 16"; }

std::string samplesMessage(double samples)
{
    return "it has " + plainNumberTrimmed(samples) + " samples per pixel (colour), not 1";
}

/// The image of width x height pixels needs `length` bytes of pixel data at least.
std::string checkPixelBytes(const DicomLayout& l)
{
    const uint64_t needed = static_cast<uint64_t>(l.width) * static_cast<uint64_t>(l.height) * 2;
    if (l.length < needed) {
        return "its pixel data holds fewer than the " + std::to_string(needed) + " bytes of " +
               std::to_string(l.width) + " x " + std::to_string(l.height) + " pixels";
    }
    return {};
}

/// Number of Frames as a whole number of at least 1; an absent or unreadable value counts as 1,
/// as only the first frame is read.
int32_t frameCount(const std::optional<std::string>& text)
{
    if (!text) return 1;
    const auto v = wholeDecimal(*text);
    if (!v || *v < 1 || *v > 2147483647.0 || *v != static_cast<double>(static_cast<int64_t>(*v))) return 1;
    return static_cast<int32_t>(*v);
}

} // namespace

std::string compressionName(const std::string& uid)
{
    static const struct {
        const char* suffix;
        const char* name;
    } kNames[] = {
        {"4.50", "JPEG baseline"},         {"4.51", "JPEG extended"},    {"4.57", "JPEG lossless"},
        {"4.70", "JPEG lossless"},         {"4.80", "JPEG-LS lossless"}, {"4.81", "JPEG-LS near-lossless"},
        {"4.90", "JPEG 2000 lossless"},    {"4.91", "JPEG 2000"},        {"4.100", "MPEG-2"},
        {"4.102", "MPEG-4"},               {"4.201", "HTJ2K lossless"},  {"4.203", "HTJ2K"},
        {"5", "RLE lossless"},
    };
    const std::string root = "1.2.840.10008.1.2.";
    for (const auto& n : kNames) {
        if (uid == root + n.suffix) return n.name;
    }
    return "";
}

std::string layoutFromWalk(const DataSetWalk& walk, DicomLayout& l)
{
    if (walk.compressedSyntax || walk.pixelLengthUndefined) {
        const std::string name = compressionName(walk.transferSyntax);
        const std::string syntax = walk.transferSyntax.empty() ? "none given" : walk.transferSyntax;
        return "its pixel data is compressed (transfer syntax " + syntax + (name.empty() ? "" : ", " + name) +
               "); only uncompressed pixel data is read";
    }
    if (walk.bitsAllocated && *walk.bitsAllocated != 16) return bitsMessage(*walk.bitsAllocated);
    if (walk.samplesPerPixel && *walk.samplesPerPixel != 1) return samplesMessage(*walk.samplesPerPixel);
    if (!walk.rows || !walk.columns || *walk.rows == 0 || *walk.columns == 0) return "it has no Rows or no Columns";
    if (std::string e = checkSize(*walk.columns, *walk.rows); !e.empty()) return e;
    l.width = *walk.columns;
    l.height = *walk.rows;
    l.offset = walk.pixelOffset;
    l.length = walk.pixelLength;
    l.bigEndian = walk.bigEndian;
    l.pixelRepresentation = walk.pixelRepresentation;
    l.frames = frameCount(walk.numberOfFrames);
    l.imagerPixelSpacing = walk.imagerPixelSpacing;
    l.pixelSpacing = walk.pixelSpacing;
    return checkPixelBytes(l);
}

std::string layoutFromSearch(Workspace& ws, DicomLayout& l)
{
    ws.TAGPOS = 0;
    const int16_t mode = transferMode(ws);
    if (mode == kUnknownMode) return "its transfer syntax is none of implicit or explicit VR little endian";
    if (mode == kExplicitBig) return "it is explicit VR big endian, which the element search does not take";

    // Checked without moving the search position, so the lookups below keep their order.
    const auto bitsAllocated = lookAheadNumber(ws, dicomTag(0x0028, 0x0100), mode);
    if (bitsAllocated && *bitsAllocated != 16.0f) return bitsMessage(*bitsAllocated);
    const auto samples = lookAheadNumber(ws, dicomTag(0x0028, 0x0002), mode);
    if (samples && *samples != 1.0f) return samplesMessage(*samples);

    TAGCGET(ws, dicomTag(0x0018, 0x0060), mode);
    TAGCGET(ws, dicomTag(0x0018, 0x1152), mode);
    const float rows = TAGVGET(ws, dicomTag(0x0028, 0x0010), mode);
    const float columns = TAGVGET(ws, dicomTag(0x0028, 0x0011), mode);
    const std::string spacing = TAGCGET(ws, dicomTag(0x0028, 0x0030), mode);
    TAGVGET(ws, dicomTag(0x0028, 0x0101), mode);
    TAGCGET(ws, dicomTag(0x0028, 0x1050), mode);
    TAGCGET(ws, dicomTag(0x0028, 0x1051), mode);
    const float pixelBytes = TAGIMG(ws, dicomTag(0x7FE0, 0x0010), mode);

    if (rows == 0.0f || columns == 0.0f) return "it has no Rows or no Columns";
    // Rows and Columns are unsigned 16-bit values, which the element reader hands over signed.
    const auto unsigned16 = [](float v) {
        return static_cast<int64_t>(v) + (v < 0.0f && v >= -32768.0f ? 65536 : 0);
    };
    const int64_t height = unsigned16(rows);
    const int64_t width = unsigned16(columns);
    if (std::string e = checkSize(width, height); !e.empty()) return e;
    if (pixelBytes == 0.0f) return "its pixel data was not found";
    l.width = static_cast<int32_t>(width);
    l.height = static_cast<int32_t>(height);
    l.offset = static_cast<uint64_t>(ws.TAGPOS);
    // The length as a Single loses digits above 2^24; the exact one lies just before the value.
    const ByteBuffer& b = ws.FILEBUF;
    const uint64_t at = l.offset - 4;
    const uint32_t exact = static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
                           static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
    l.length = exact;
    if (std::string e = checkPixelBytes(l); !e.empty()) return e;
    if (l.offset > b.size()) return "the file ends before its pixel data does";
    const uint64_t inFile = b.size() - l.offset;
    if (inFile < static_cast<uint64_t>(l.width) * static_cast<uint64_t>(l.height) * 2) {
        return "the file ends before its pixel data does";
    }
    l.length = std::min<uint64_t>(l.length, inFile);
    // The search reads the text of (0028,0030) on its way; Imager Pixel Spacing it does not see.
    if (!spacing.empty()) l.pixelSpacing = withoutPadding(spacing);
    return {};
}

} // namespace vantry
