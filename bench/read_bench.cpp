// READDICOM on a 4096 x 4096 DICOM file in the page cache, against one plain read of the same
// file into memory (the floor), in the same run: a plain file, and one whose header holds 1 MiB
// of private elements and sequences that the data set walk steps through.
#include "dicom_writer.h"
#include "kernel_binding.h"
#include "korvelf.h"
#include "program_folder.h"
#include "read_image.h"
#include "scripted_host.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <vector>

namespace {

/// 1 MiB of private data before Pixel Data: small elements, a large one, and sequences of
/// undefined length with items, as vendors write them.
void privateMebibyte(vantry::samples::ElementWriter& w)
{
    const size_t start = w.bytes().size();
    uint16_t element = 0x1000;
    w.text(0x0029, 0x0010, "LO", "VANTRY BENCH");
    while (w.bytes().size() - start < (768u << 10)) {
        w.beginSequence(0x0029, element++, true);
        for (int item = 0; item < 8; ++item) {
            w.beginItem(true);
            for (int i = 0; i < 16; ++i) w.text(0x0029, static_cast<uint16_t>(0x1100 + i), "LO", "PRIVATE VALUE");
            w.endItem();
        }
        w.endSequence();
        if (element == 0x10FF) element = 0x1000;
    }
    w.element(0x0029, 0x1200, "OB", std::vector<uint8_t>((1u << 20) - (w.bytes().size() - start) - 12, 0x28));
}

const std::string& largeDicom(bool privateHeader)
{
    static const std::string plain = (std::filesystem::temp_directory_path() / "vantry-bench-4096.dcm").string();
    static const std::string withPrivate =
        (std::filesystem::temp_directory_path() / "vantry-bench-4096-private.dcm").string();
    static const bool written = [] {
        vantry::samples::DicomImage image;
        image.columns = image.rows = 4096;
        image.pixels = vantry::samples::flatField(4096, 4096, 2000.0, 25.0, 3);
        vantry::samples::writeFile(plain, vantry::samples::dicomBytes(image));
        image.beforePixelData = privateMebibyte;
        return vantry::samples::writeFile(withPrivate, vantry::samples::dicomBytes(image));
    }();
    (void)written;
    return privateHeader ? withPrivate : plain;
}

/// Argument 0: the plain file; 1: the file with 1 MiB of private elements.
void BM_readDicom4096(benchmark::State& state)
{
    vantry::ScriptedHost host;
    vantry::KernelBinding kernels(vantry::programFolder());
    vantry::Korvelf k(host, kernels);
    k.ws.DICOMF = 1;
    k.ws.LOGFAC[0] = 1;
    k.ws.PIXMM[0] = 0.1f;
    const std::string& path = largeDicom(state.range(0) != 0);
    k.ws.FNAME[0] = path;
    for (auto _ : state) {
        const vantry::ReadOutcome outcome = vantry::READDICOM(k);
        if (!outcome.ok) state.SkipWithError(outcome.reason.c_str());
        if (k.ws.READFACTS[0].elementsFrom != "walk") state.SkipWithError("not read by the walk");
        benchmark::DoNotOptimize(k.ws.WORKIMG.pixels.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::filesystem::file_size(path)));
}

void BM_plainReadOfTheSameFile(benchmark::State& state)
{
    const std::string& path = largeDicom(state.range(0) != 0);
    const auto size = std::filesystem::file_size(path);
    for (auto _ : state) {
        std::vector<uint8_t> bytes(size);
        FILE* f = std::fopen(path.c_str(), "rb");
        const size_t got = std::fread(bytes.data(), 1, size, f);
        std::fclose(f);
        benchmark::DoNotOptimize(bytes.data());
        if (got != size) state.SkipWithError("short read");
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(size));
}

} // namespace

BENCHMARK(BM_readDicom4096)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_plainReadOfTheSameFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
