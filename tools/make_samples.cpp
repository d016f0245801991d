// make-samples: writes the bundled sample images into a folder, matching the presets of the
// shipped detector list: a tilted edge and a flat field, as DICOM (explicit and implicit VR
// little endian) and as raw files with a 512-byte header.
#include "dicom_writer.h"

#include <cstdio>
#include <string>

using namespace vantry::samples;

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-samples FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    constexpr int32_t kSide = 1024;
    constexpr double kPitch = 0.1;
    const auto edge = tiltedEdge(kSide, kSide, 3.0, 1.2, 600.0, 3000.0, 12.0, 1);
    const auto flat = flatField(kSide, kSide, 2000.0, 25.0, 2);

    const auto image = [&](const std::vector<int16_t>& pixels, Syntax syntax, const char* name) {
        DicomImage d;
        d.columns = d.rows = kSide;
        d.pixels = pixels;
        d.pitchMm = kPitch;
        d.syntax = syntax;
        d.patientName = name;
        return d;
    };
    const DicomImage edgeImage = image(edge, Syntax::ExplicitLittle, "SAMPLE^EDGE");
    const DicomImage flatImage = image(flat, Syntax::ImplicitLittle, "SAMPLE^FLAT");
    const bool ok = writeFile(folder + "/sample_edge_explicit.dcm", dicomBytes(edgeImage)) &&
                    writeFile(folder + "/sample_flat_implicit.dcm", dicomBytes(flatImage)) &&
                    writeFile(folder + "/sample_edge.raw", rawBytes(edge, 512)) &&
                    writeFile(folder + "/sample_flat.raw", rawBytes(flat, 512));
    if (!ok) {
        std::fprintf(stderr, "make-samples: cannot write the samples into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
