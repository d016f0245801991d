// Builds a valid DICOM file from the input (size, transfer syntax, pixels, text values), reads it
// and checks that the reader gives back exactly the size and pixels that were written.
#include "dicom_writer.h"
#include "fuzz_workspace.h"

#include <algorithm>

using namespace vantry::samples;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzWorkspace fw;
    if (size < 6) return 0;
    DicomImage image;
    image.columns = 2 + (data[0] | data[1] << 8) % 399;
    // At least 65536 bytes of pixels (shorter pixel data is never taken for the image), and at
    // most 32767 rows.
    const int32_t minRows = (32768 + image.columns - 1) / image.columns;
    image.rows = minRows + data[2] % 40;
    image.syntax = (data[3] & 1) != 0 ? Syntax::ExplicitLittle : Syntax::ImplicitLittle;
    image.bitsStored = 8 + data[3] % 9;
    image.pitchMm = 0.05 + data[4] / 1000.0;
    // Text values from the input, letters only, so that no tag pattern hides in them.
    std::string name;
    for (size_t i = 5; i < std::min<size_t>(size, 5 + data[4] % 60); ++i) name += static_cast<char>('A' + data[i] % 26);
    image.patientName = name;
    image.pixels.resize(static_cast<size_t>(image.columns) * image.rows);
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        const size_t at = 5 + (2 * i) % (size - 5);
        const size_t next = 5 + (2 * i + 1) % (size - 5);
        image.pixels[i] = static_cast<int16_t>(data[at] | data[next] << 8);
    }
    const auto bytes = dicomBytes(image);
    fw.read(bytes.data(), bytes.size(), "roundtrip.dcm", 0);
    if (!fw.host.messages.empty()) std::abort();
    if (fw.k.ws.XSZ[0] != image.columns || fw.k.ws.YSZ[0] != image.rows) std::abort();
    if (fw.k.ws.IMG[0].pixels != image.pixels) std::abort();
    return 0;
}
