// The image file reader: raw images described by a preset, DICOM files, 8-bit BMP files, and the
// encoding conversions. Everything is read into a local image first and handed to the workspace
// only when the whole read succeeded.
#include "read_image.h"

#include "file_access.h"
#include "loaded_image.h"
#include "numtext.h"
#include "read_dicom.h"
#include "unsigned_pixels.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

namespace vantry {

constexpr int32_t kMaxSide = 32767;

std::string checkSize(int64_t width, int64_t height)
{
    if (width <= 0 || height <= 0) {
        return "the image size " + std::to_string(width) + " x " + std::to_string(height) + " is empty";
    }
    if (width > kMaxSide || height > kMaxSide) {
        return "the image size " + std::to_string(width) + " x " + std::to_string(height) +
               " has a side above 32767 pixels";
    }
    if (static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 2 > kMaxImageBytes) {
        return "the image is larger than 512 MiB";
    }
    return {};
}

ImageBuffer imageFromBytes(int32_t width, int32_t height, const uint8_t* bytes)
{
    ImageBuffer img;
    img.width = width;
    img.height = height;
    img.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    std::memcpy(img.pixels.data(), bytes, img.pixels.size() * sizeof(int16_t));
    return img;
}

namespace {

/// The name's last part (after "/" or "\") ends in "BMP" in any case.
bool isBmpName(const std::string& path)
{
    const size_t slash = path.find_last_of("/\\");
    const std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
    if (last.size() < 3) return false;
    std::string tail = last.substr(last.size() - 3);
    for (char& c : tail) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return tail == "BMP";
}

std::string readRaw(const Workspace& ws, int slot, LoadedImage& out)
{
    const int32_t width = ws.XSZ[slot], height = ws.YSZ[slot];
    if (std::string e = checkSize(width, height); !e.empty()) return e;
    if (ws.HDOFS[slot] < 0) return "the preset's header length is negative";
    const uint64_t bytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 2;
    FileRead file = readFileRange(ws.FNAME[slot], static_cast<uint64_t>(ws.HDOFS[slot]), bytes);
    if (!file.error.empty()) return file.error;
    out.image = imageFromBytes(width, height, file.bytes.data());
    out.hdofs = ws.HDOFS[slot];
    if (ws.PIXU16 != 0) return unsignedPixels(out.image, ws.PIXOFS, "the detector list entry's field u16");
    if (std::string w = wrappedPixelsWarning(out.image); !w.empty()) out.facts.warnings.push_back(w);
    if (ws.PIXOFS != 0) {
        for (int16_t& p : out.image.pixels) {
            const int32_t v = p - ws.PIXOFS;
            if (v < -32768 || v > 32767) {
                return "subtracting the pixel offset " + std::to_string(ws.PIXOFS) +
                       " gives a value outside the 16-bit range";
            }
            p = static_cast<int16_t>(v);
        }
    }
    return {};
}

uint32_t le32(const ByteBuffer& b, size_t at)
{
    return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
           static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

/// An uncompressed 8-bit BMP, rows padded to 4 bytes, bottom-up (or top-down for a negative
/// height); each byte becomes one pixel 0 .. 255.
std::string readBmp(const Workspace& ws, LoadedImage& out)
{
    FileRead file = readWholeFile(ws.FNAME[ws.CURSLOT]);
    if (!file.error.empty()) return file.error;
    const ByteBuffer& b = file.bytes;
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return "it is not a BMP file";
    const uint32_t dataOffset = le32(b, 10);
    const uint32_t infoSize = le32(b, 14);
    const auto width = static_cast<int32_t>(le32(b, 18));
    const auto rawHeight = static_cast<int32_t>(le32(b, 22));
    const int bitsPerPixel = b[28] | b[29] << 8;
    const uint32_t compression = le32(b, 30);
    if (infoSize < 40) return "its BMP header is not a Windows bitmap header";
    if (bitsPerPixel != 8) return "it is a " + std::to_string(bitsPerPixel) + "-bit BMP; only 8-bit BMPs are read";
    if (compression != 0) return "it is a compressed BMP; only uncompressed BMPs are read";
    if (rawHeight == INT32_MIN) return "its BMP height is invalid";
    const int32_t height = rawHeight < 0 ? -rawHeight : rawHeight;
    if (std::string e = checkSize(width, height); !e.empty()) return e;
    const uint64_t rowBytes = (static_cast<uint64_t>(width) + 3) / 4 * 4;
    if (dataOffset > b.size() || rowBytes * static_cast<uint64_t>(height) > b.size() - dataOffset) {
        return "the BMP file ends before its pixels do";
    }
    ImageBuffer img;
    img.width = width;
    img.height = height;
    img.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int32_t y = 0; y < height; ++y) {
        const int32_t fileRow = rawHeight < 0 ? y : height - 1 - y;
        const uint8_t* row = b.data() + dataOffset + rowBytes * static_cast<uint64_t>(fileRow);
        for (int32_t x = 0; x < width; ++x) img.at(x, y) = row[x];
    }
    out.image = std::move(img);
    out.hdofs = 0;
    return {};
}

/// The encoding conversions, on the local image; an error leaves it half converted, and the
/// caller then discards it.
std::string convert(Korvelf& k, ImageBuffer& img, int16_t logfac)
{
    const KorvelfForm& f = k.form;
    const bool toLog = f.LOGCCK.Value != 0;
    const bool linearAdjust = f.LINRCK.Value != 0;
    const double factor = leadingNumber(f.LOGBAITX.Text);
    const double gain = leadingNumber(f.VAL1TX.Text);
    const auto n = static_cast<int32_t>(img.pixels.size());

    if (!toLog && logfac > 1) {
        if (factor < 0) {
            // A negative factor can give results below -32768, which a 16-bit pixel cannot hold.
            const int16_t top = *std::max_element(img.pixels.begin(), img.pixels.end());
            const double lowest = factor * std::pow(10.0, static_cast<double>(top) / logfac);
            if (lowest < -32768.5) return "the conversion to linear gives values outside the 16-bit range";
        }
        PARVEL(k.kernels, var2lin)(img.pixels.data(), logfac, static_cast<float>(factor), n);
    }
    if (toLog && logfac == 1) {
        const double ln10 = std::log(10.0);
        for (int16_t& p : img.pixels) {
            const double v = p < 1 ? 1.0 : p;
            const auto r = roundToInt16(gain * std::log(v) / ln10);
            if (!r) return "the conversion to log with factor " + f.VAL1TX.Text + " gives values outside the 16-bit range";
            p = *r;
        }
    }
    if (linearAdjust && logfac == 1) {
        if (factor == 0.0) return "the linear adjustment factor is 0";
        const double inverse = 1.0 / factor;
        for (int16_t& p : img.pixels) {
            const auto r = roundToInt16(p * inverse);
            if (!r) return "the linear adjustment gives values outside the 16-bit range";
            p = *r;
        }
    }
    return {};
}

} // namespace

ReadOutcome READDICOM(Korvelf& k)
{
    Workspace& ws = k.ws;
    const int slot = ws.CURSLOT;
    LoadedImage loaded;
    const bool bmp = isBmpName(ws.FNAME[slot]);
    const bool dicom = !bmp && ws.DICOMF != 0;
    std::string error;
    if (!dicom && ws.PIXMM[slot] == 0.0f) {
        error = "only a DICOM file gives the pitch that the detector list entry, with a pitch of 0, asks for";
    } else {
        error = bmp ? readBmp(ws, loaded) : dicom ? readDicom(k, loaded) : readRaw(ws, slot, loaded);
    }
    if (error.empty() && !bmp) error = convert(k, loaded.image, ws.LOGFAC[slot]);
    if (!error.empty()) return {false, error};

    ws.XSZ[slot] = loaded.image.width;
    ws.YSZ[slot] = loaded.image.height;
    ws.HDOFS[slot] = loaded.hdofs;
    if (loaded.pitch > 0) ws.PIXMM[slot] = loaded.pitch;
    ws.READFACTS[slot] = loaded.facts;
    ws.WORKIMG = std::move(loaded.image);
    if (dicom) ws.PIXOFS = 0;
    if (bmp) {
        ws.VIEWXS[slot] = ws.XSZ[slot];
        ws.VIEWYS[slot] = ws.YSZ[slot];
        ws.VIEWX0[slot] = ws.VIEWY0[slot] = 0;
        k.form.WWTX[slot].Text = "256";
        k.form.WCTX[slot].Text = "128";
        ws.WW[slot] = 256;
        ws.WL[slot] = 128;
    }
    return {true, {}};
}

} // namespace vantry
