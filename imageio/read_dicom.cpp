#include "read_dicom.h"

#include "dicom_layout.h"
#include "file_access.h"
#include "numtext.h"
#include "unsigned_pixels.h"

#include <algorithm>
#include <cmath>

namespace vantry {
namespace {

/// "row\column" spacing in mm as one pitch; the reason when it is not one positive number.
std::string spacingPitch(const std::string& name, const std::string& text, float& pitch)
{
    const size_t split = text.find('\\');
    const auto row = wholeDecimal(withoutPadding(text.substr(0, split)));
    const auto column = split == std::string::npos ? row : wholeDecimal(withoutPadding(text.substr(split + 1)));
    const std::string said = "its " + name + " is \"" + text + "\"";
    if (!row || !column) return said + ", which is not a pair of numbers of mm";
    if (!(*row > 0) || !(*column > 0)) return said + ": " + (*row < 0 || *column < 0 ? "negative" : "zero");
    // The analyses take one pitch for both directions.
    if (std::fabs(*row - *column) > 1e-6 * std::max(*row, *column)) return said + ": its pixels are not square";
    pitch = static_cast<float>(*row);
    if (!(pitch > 0) || !std::isfinite(pitch)) return said + ", which is not a usable pitch";
    return {};
}

/// The pitch from the file for a detector list entry with a pitch of 0: Imager Pixel Spacing,
/// else Pixel Spacing.
std::string pitchFromFile(const DicomLayout& l, LoadedImage& out)
{
    if (l.imagerPixelSpacing && !l.imagerPixelSpacing->empty()) {
        out.facts.pitchFrom = "imager-pixel-spacing";
        return spacingPitch("Imager Pixel Spacing (0018,1164)", *l.imagerPixelSpacing, out.pitch);
    }
    if (l.pixelSpacing && !l.pixelSpacing->empty()) {
        out.facts.pitchFrom = "pixel-spacing";
        return spacingPitch("Pixel Spacing (0028,0030)", *l.pixelSpacing, out.pitch);
    }
    return "it gives no pixel spacing, neither Imager Pixel Spacing (0018,1164) nor Pixel Spacing "
           "(0028,0030), and the detector list entry, with a pitch of 0, takes the pitch from the file";
}

} // namespace

std::string readDicom(Korvelf& k, LoadedImage& out)
{
    Workspace& ws = k.ws;
    const int slot = ws.CURSLOT;
    FileRead file = readWholeFile(ws.FNAME[slot]);
    if (!file.error.empty()) return file.error;
    ws.FILEBUF = std::move(file.bytes);
    struct EraseBuffer {
        Workspace& ws;
        ~EraseBuffer()
        {
            ByteBuffer().swap(ws.FILEBUF);
            ws.TAGHIDDEN.clear();
        }
    } erase{ws};

    const DataSetWalk walk = walkDataSet(ws.FILEBUF.data(), ws.FILEBUF.size());
    ReadFacts& facts = out.facts;
    facts.transferSyntax = walk.transferSyntax;
    facts.rescaleSlope = walk.rescaleSlope;
    facts.rescaleIntercept = walk.rescaleIntercept;
    facts.presentationIntent = walk.presentationIntent;
    if (walk.presentationIntent == "FOR PRESENTATION") {
        facts.warnings.push_back("warning the image is FOR PRESENTATION (Presentation Intent Type (0008,0068)): "
                                 "processed for viewing; detector measurements want the FOR PROCESSING image");
    }
    // A size the walk saw written wrongly is refused, not left to the element search.
    if (!walk.refusal.empty()) return walk.refusal;
    DicomLayout l;
    if (walk.reachedPixelData) {
        facts.elementsFrom = "walk";
        if (std::string e = layoutFromWalk(walk, l); !e.empty()) return e;
    } else {
        facts.elementsFrom = "search";
        facts.walkStop = walk.stop;
        for (const auto& [first, end] : walk.steppedValues) {
            ws.TAGHIDDEN.emplace_back(static_cast<int64_t>(first), static_cast<int64_t>(end));
        }
        if (std::string e = layoutFromSearch(ws, l); !e.empty()) {
            return e + "; the data set could not be walked either: " + walk.stop;
        }
    }
    facts.frames = l.frames;
    facts.imagerPixelSpacing = l.imagerPixelSpacing;
    facts.pixelSpacing = l.pixelSpacing;
    facts.pixelRepresentation = l.pixelRepresentation;
    if (ws.PIXMM[slot] == 0.0f) {
        if (std::string e = pitchFromFile(l, out); !e.empty()) return e;
    }

    out.image = imageFromBytes(l.width, l.height, ws.FILEBUF.data() + l.offset);
    out.hdofs = static_cast<int32_t>(std::min<uint64_t>(l.offset, INT32_MAX));
    if (l.bigEndian) {
        PARVEL(k.kernels, varswap)(reinterpret_cast<uint8_t*>(out.image.pixels.data()),
                                   static_cast<int32_t>(out.image.pixels.size()));
    }
    if (l.pixelRepresentation == 0) return unsignedPixels(out.image, ws.PIXOFS, "Pixel Representation 0");
    return {};
}

} // namespace vantry
