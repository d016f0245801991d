#pragma once
// The workspace record: the state both windows share for the whole process.

#include "byte_buffer.h"
#include "image_buffer.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vantry {

/// Slots 0 and 1 are the two views, slot 3 the preset last chosen in the chooser; slot 2 unused.
constexpr int kSlots = 4;
constexpr int kViews = 2;
constexpr int kPresetSlot = 3;

/// Display look-up table of one view: a grey level for every pixel value -32768 .. 65535,
/// entry v at position v + kDlutZero.
constexpr int32_t kDlutEntries = 98304;
constexpr int32_t kDlutZero = 32768;

/// Length of the shared sine and cosine tables.
constexpr int kTrigEntries = 8192;

/// What the read of a view's file found besides its pixels: for the caption and the command line.
struct ReadFacts {
    std::string elementsFrom;   ///< DICOM: "walk" or "search"; empty for raw and BMP files
    std::string walkStop;       ///< DICOM read by the search: why the walk did not reach the pixels
    std::string transferSyntax; ///< DICOM: (0002,0010); empty when the file has none
    int32_t frames = 1;         ///< frames in the file; the first is read
    std::string pitchFrom = "preset"; ///< "preset", "imager-pixel-spacing" or "pixel-spacing"
    /// The file's spacing values as text, "row\\column" in mm; nullopt when absent.
    std::optional<std::string> imagerPixelSpacing, pixelSpacing;
    std::optional<uint16_t> pixelRepresentation; ///< 0 unsigned, 1 signed; nullopt when absent
    /// DICOM, as the walk found them: Rescale Slope and Intercept, Presentation Intent Type.
    std::optional<std::string> rescaleSlope, rescaleIntercept, presentationIntent;
    std::vector<std::string> warnings; ///< doubts about the pixels read, each "warning ..."
};

struct Workspace {
    int16_t CURSLOT = 0; ///< the view that reading, display and measurement act on: 0 or 1

    // Per slot (0, 1 views; 3 preset)
    std::array<int32_t, kSlots> XSZ{};        ///< image width in pixels
    std::array<int32_t, kSlots> YSZ{};        ///< image height in rows
    std::array<int32_t, kSlots> HDOFS{};      ///< byte offset of the first pixel in the file
    std::array<float, kSlots> PIXMM{};        ///< pixel pitch in mm
    std::array<int16_t, kSlots> LOGFAC{};     ///< 1 linear, above 1 logarithmic factor
    std::array<std::string, kSlots> PRESETNAME; ///< first field of the chosen list entry

    // Per view
    std::array<int16_t, kViews> PRESETIDX{};  ///< chooser entry current when the image was read
    std::array<std::string, kViews> FNAME;    ///< full path of the file read into the view
    std::array<int16_t, kViews> LOADED{};     ///< 1 once an image has been read into the view
    std::array<int16_t, kViews> WW{};         ///< window width
    std::array<int16_t, kViews> WL{};         ///< window level
    std::array<int32_t, kViews> VIEWX0{};     ///< top-left image column of the shown region
    std::array<int32_t, kViews> VIEWY0{};     ///< top-left image row of the shown region
    std::array<int32_t, kViews> VIEWXS{};     ///< width in image pixels of the shown region
    std::array<int32_t, kViews> VIEWYS{};     ///< height in image pixels of the shown region
    std::array<float, kViews> MAGF{};         ///< magnification, 1.0 = the whole image
    std::array<ReadFacts, kViews> READFACTS;  ///< what the read of the view's file found

    // Flags of the current read
    int16_t DICOMF = 0; ///< 1 = the next file is read as DICOM
    int32_t PIXOFS = 0; ///< constant subtracted from every raw pixel
    uint8_t PIXU16 = 0; ///< 1 when the preset's raw pixels are unsigned (its field "u16")
    int32_t TAGPOS = 0; ///< byte position of the DICOM element search in FILEBUF
    /// Byte spans [first, end) of FILEBUF holding values the data set walk stepped over: a tag the
    /// element search finds inside one is a value's bytes, not an element, and is passed by.
    std::vector<std::pair<int64_t, int64_t>> TAGHIDDEN;

    // Window and display polarity
    int16_t POSI = 0;  ///< 1 positive display, 0 negative
    int16_t WSYNC = 0; ///< 1 = a dragged window is copied to the other view

    // Pixel buffers
    std::array<ImageBuffer, kViews> IMG; ///< the image of each view as read and converted
    ImageBuffer WORKIMG;                 ///< the image most recently read, after conversions
    ImageBuffer COPYIMG;                 ///< copy of WORKIMG, scratch for the transforms
    ByteBuffer FILEBUF;                  ///< a DICOM file while it is parsed
    std::vector<uint8_t> BMPBUF;         ///< BMP pixel bytes while a BMP is read

    // Shared tables
    float PI = 0.0f;
    float PI2 = 0.0f;
    int32_t NFFT = 0;
    int32_t NFFTBIT = 0;
    std::vector<float> SINTB = std::vector<float>(kTrigEntries);
    std::vector<float> COSTB = std::vector<float>(kTrigEntries);
    /// DLUT[view][v + kDlutZero] is the grey level of pixel value v.
    std::array<std::vector<uint8_t>, kViews> DLUT{std::vector<uint8_t>(kDlutEntries),
                                                  std::vector<uint8_t>(kDlutEntries)};

    std::string VERSTR;

    /// Above 0 while an analysis loop runs that yields to the event loop: the workspace then
    /// refuses reads, drops, transforms and ROI changes, which would pull the image or the ROI
    /// from under the loop (see analysis_busy.h).
    int32_t ANALYSING = 0;

    /// The program's folder: the list file and the kernel libraries are looked for there.
    std::filesystem::path programFolder;
};

} // namespace vantry
