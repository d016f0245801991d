#pragma once
// Writes valid DICOM files of 16-bit grey images (implicit or explicit VR little endian, explicit
// VR big endian) and raw images, for the bundled samples and for the reader's tests.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vantry::samples {

enum class Syntax { ImplicitLittle, ExplicitLittle, ExplicitBig };

/// Writes data elements, sequences and items in one transfer syntax. Odd values are padded to an
/// even length (UI with a zero byte, others with a blank).
class ElementWriter {
public:
    explicit ElementWriter(Syntax syntax);

    void element(uint16_t group, uint16_t element, const char* vr, const std::vector<uint8_t>& value);
    void text(uint16_t group, uint16_t element, const char* vr, const std::string& value);
    void us(uint16_t group, uint16_t element, uint16_t value);
    /// A sequence of undefined length (ended with a delimiter) or of a length filled in at its end.
    void beginSequence(uint16_t group, uint16_t element, bool undefinedLength);
    void endSequence();
    void beginItem(bool undefinedLength);
    void endItem();
    /// Bytes as they are, for malformed files.
    void raw(const std::vector<uint8_t>& bytes);
    void u16(uint16_t v);
    void u32(uint32_t v);
    std::vector<uint8_t>& bytes() { return m_out; }

private:
    void tag(uint16_t group, uint16_t element);
    void open(bool undefinedLength);
    void close(uint16_t delimiter);
    Syntax m_syntax;
    std::vector<uint8_t> m_out;
    struct Open {
        size_t lengthAt;
        bool undefinedLength;
    };
    std::vector<Open> m_open;
};

struct DicomImage {
    int32_t columns = 0;
    int32_t rows = 0;
    std::vector<int16_t> pixels; ///< frames x rows x columns, row after row, top row first
    double pitchMm = 0.1;        ///< written as Pixel Spacing (0028,0030) when above 0
    Syntax syntax = Syntax::ExplicitLittle;
    std::string patientName = "SAMPLE";
    int bitsStored = 12;
    bool preamble = true; ///< 128-byte preamble, "DICM" and the meta group
    std::string imagerPixelSpacing; ///< (0018,1164) as text; not written when empty
    uint16_t pixelRepresentation = 0;
    int32_t frames = 1; ///< Number of Frames (0028,0008) is written above 1
    /// Writes elements after Patient's Name, before the acquisition and image description.
    std::function<void(ElementWriter&)> afterPatient;
    /// Writes elements after the image description and before Pixel Data: private blocks,
    /// sequences, an icon image.
    std::function<void(ElementWriter&)> beforePixelData;
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
