// READDICOM on a 4096 x 4096 DICOM file in the page cache, against one plain read of the same
// file into memory (the floor), in the same run.
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

const std::string& largeDicom()
{
    static const std::string path = [] {
        const std::string p = (std::filesystem::temp_directory_path() / "vantry-bench-4096.dcm").string();
        vantry::samples::DicomImage image;
        image.columns = image.rows = 4096;
        image.pixels = vantry::samples::flatField(4096, 4096, 2000.0, 25.0, 3);
        vantry::samples::writeFile(p, vantry::samples::dicomBytes(image));
        return p;
    }();
    return path;
}

void BM_readDicom4096(benchmark::State& state)
{
    vantry::ScriptedHost host;
    vantry::KernelBinding kernels(vantry::programFolder());
    vantry::Korvelf k(host, kernels);
    k.ws.DICOMF = 1;
    k.ws.LOGFAC[0] = 1;
    k.ws.FNAME[0] = largeDicom();
    for (auto _ : state) {
        const vantry::ReadOutcome outcome = vantry::READDICOM(k);
        if (!outcome.ok) state.SkipWithError(outcome.reason.c_str());
        benchmark::DoNotOptimize(k.ws.WORKIMG.pixels.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::filesystem::file_size(largeDicom())));
}

void BM_plainReadOfTheSameFile(benchmark::State& state)
{
    const auto size = std::filesystem::file_size(largeDicom());
    for (auto _ : state) {
        std::vector<uint8_t> bytes(size);
        FILE* f = std::fopen(largeDicom().c_str(), "rb");
        const size_t got = std::fread(bytes.data(), 1, size, f);
        std::fclose(f);
        benchmark::DoNotOptimize(bytes.data());
        if (got != size) state.SkipWithError("short read");
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(size));
}

} // namespace

BENCHMARK(BM_readDicom4096)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_plainReadOfTheSameFile)->Unit(benchmark::kMillisecond);
