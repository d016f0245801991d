// make-samples: writes the bundled sample images into a folder, matching the presets of the
// shipped detector list: a tilted edge and a flat field, as DICOM (explicit and implicit VR
// little endian) and as raw files with a 512-byte header; for the IEC-style DQE also the edge
// turned by 90 degrees and flat fields of a detector with an offset at three air kerma values.
#include "dicom_writer.h"

#include <cmath>
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
    // The edge with its profile along y: the same image transposed.
    std::vector<int16_t> edgeV(edge.size());
    for (int32_t y = 0; y < kSide; ++y) {
        for (int32_t x = 0; x < kSide; ++x) edgeV[static_cast<size_t>(x) * kSide + y] = edge[static_cast<size_t>(y) * kSide + x];
    }
    // A detector of 2 DN per quantum over an offset of 100 DN under RQA5 (29653 quanta per mm^2
    // and uGy, 0.01 mm^2 pixels): the quantum noise of K uGy is 2 sqrt(296.53 K) DN.
    const auto detectorFlat = [&](double kerma, uint64_t seed) {
        const double quanta = 296.53 * kerma;
        return flatField(kSide, kSide, 100 + 2 * quanta, 2 * std::sqrt(quanta), seed);
    };

    const DicomImage edgeImage = image(edge, Syntax::ExplicitLittle, "SAMPLE^EDGE");
    const DicomImage flatImage = image(flat, Syntax::ImplicitLittle, "SAMPLE^FLAT");
    const bool ok = writeFile(folder + "/sample_edge_explicit.dcm", dicomBytes(edgeImage)) &&
                    writeFile(folder + "/sample_flat_implicit.dcm", dicomBytes(flatImage)) &&
                    writeFile(folder + "/sample_edge.raw", rawBytes(edge, 512)) &&
                    writeFile(folder + "/sample_flat.raw", rawBytes(flat, 512)) &&
                    writeFile(folder + "/sample_edge_v.raw", rawBytes(edgeV, 512)) &&
                    writeFile(folder + "/sample_flat_2.5ugy.raw", rawBytes(detectorFlat(2.5, 3), 512)) &&
                    writeFile(folder + "/sample_flat_5ugy.raw", rawBytes(detectorFlat(5, 4), 512)) &&
                    writeFile(folder + "/sample_flat_10ugy.raw", rawBytes(detectorFlat(10, 5), 512));
    if (!ok) {
        std::fprintf(stderr, "make-samples: cannot write the samples into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
