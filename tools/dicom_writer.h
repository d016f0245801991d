#pragma once
// Writes minimal, valid DICOM files of 16-bit grey images (implicit or explicit VR little endian)
// and raw images, for the bundled samples and for the reader's tests.

#include <cstdint>
#include <string>
#include <vector>

namespace vantry::samples {

enum class Syntax { ImplicitLittle, ExplicitLittle };

struct DicomImage {
    int32_t columns = 0;
    int32_t rows = 0;
    std::vector<int16_t> pixels; ///< row after row, top row first
    double pitchMm = 0.1;
    Syntax syntax = Syntax::ExplicitLittle;
    std::string patientName = "SAMPLE";
    int bitsStored = 12;
    bool preamble = true; ///< 128-byte preamble, "DICM" and the meta group
};

/// The bytes of a DICOM file holding the image.
std::vector<uint8_t> dicomBytes(const DicomImage& image);

/// The bytes of a raw file: `header` zero bytes, then the pixels little-endian.
std::vector<uint8_t> rawBytes(const std::vector<int16_t>& pixels, int32_t header);

/// A slightly tilted, blurred edge from `low` to `high` with Gaussian noise of `noise` (fixed seed).
std::vector<int16_t> tiltedEdge(int32_t width, int32_t height, double tiltDeg, double blurPx,
                                double low, double high, double noise, uint64_t seed);

/// A flat field of mean `mean` with white Gaussian noise of `noise` (fixed seed).
std::vector<int16_t> flatField(int32_t width, int32_t height, double mean, double noise, uint64_t seed);

/// Writes bytes to a file; false on failure.
bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes);

} // namespace vantry::samples
