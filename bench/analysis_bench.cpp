// The MTF analysis on the scripted host: the direct transform of the MTF, the V-filter, and the
// whole road from the ROI to the stored curve. The noise spectrum: "2D-NNPS" of whole flat fields,
// its block loop in the summed and the line-by-line reading, and the stages of one block.
#include "edge_image.h"
#include "esf.h"
#include "iec_nnps.h"
#include "kernel_binding.h"
#include "korvelf.h"
#include "lsf.h"
#include "mtf.h"
#include "nnps.h"
#include "nnps_blocks.h"
#include "nnps_line_by_line.h"
#include "nnps_passes.h"
#include "precise_mtf.h"
#include "program_folder.h"
#include "scripted_host.h"
#include "vylsf.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

namespace {

/// An analysis window on a 320 x 148 image of a Gaussian edge (sigma 0.5 px, 3 degrees, 0.1 mm)
/// with a 300 x 128 ROI across it, as the workspace leaves it after a read.
struct Analysis {
    vantry::ScriptedHost host;
    vantry::KernelBinding kernels{vantry::programFolder()};
    vantry::Korvelf k{host, kernels};
    vantry::Vylsf v{k};

    Analysis()
    {
        const edgeimage::EdgeSpec e{.sigmaPx = 0.5, .tiltDeg = 3, .noiseSd = 4};
        vantry::Workspace& ws = k.ws;
        ws.XSZ[0] = ws.VIEWXS[0] = e.width;
        ws.YSZ[0] = ws.VIEWYS[0] = e.height;
        ws.PIXMM[0] = 0.1f;
        ws.IMG[0] = {e.width, e.height, edgeimage::edgeImage(e)};
        ws.LOADED[0] = 1;
        ws.CURSLOT = 0;
        ws.PI2 = 6.283184f;
        k.roi[0] = {10, 10, 300, 128};
        vantry::Form_Load(v);
    }

    /// ESF reprojection with the proposed tilt and ESF OK with the V-filter off: the LSF of
    /// 901 samples.
    void unfilteredLsf()
    {
        host.inputAnswers = {vantry::ScriptedHost::kAcceptDefault, "0"};
        vantry::DSPESF(v);
        vantry::ESFOK(v);
        if (!host.messages.empty() || v.r.NLSF != 450) std::abort();
    }
};

void BM_lsfTransformModulus901Samples501Frequencies(benchmark::State& state)
{
    Analysis a;
    a.unfilteredLsf();
    const float* lsf = &a.v.r.LSF[static_cast<size_t>(a.v.r.NBIN - a.v.r.NLSF)];
    for (auto _ : state) {
        auto modulus = vantry::lsfTransformModulus(lsf, 901, a.k.ws.PI2, 0.03f, 0.01f, 501);
        benchmark::DoNotOptimize(modulus.data());
    }
    state.SetItemsProcessed(state.iterations() * 901 * 501);
}

void BM_vfilter900Samples(benchmark::State& state)
{
    Analysis a;
    a.unfilteredLsf();
    const std::vector<float> unfiltered = a.v.r.LSF;
    for (auto _ : state) {
        state.PauseTiming();
        a.v.r.LSF = unfiltered;
        state.ResumeTiming();
        if (!vantry::VFILTER(a.v, 0.97f).empty()) std::abort();
    }
    state.SetItemsProcessed(state.iterations() * 901);
}

void BM_roiToStoredMtfWithVFilter(benchmark::State& state)
{
    Analysis a;
    for (auto _ : state) {
        a.host.inputAnswers = {vantry::ScriptedHost::kAcceptDefault, "1", "5", "0.1", "1"};
        vantry::DSPESF(a.v);
        vantry::ESFOK(a.v);
        vantry::MTFCLC(a.v);
        if (a.v.r.DSPMODE != 3 || a.v.r.MTFNUM[0] != 51) std::abort();
    }
}

} // namespace

BENCHMARK(BM_lsfTransformModulus901Samples501Frequencies)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_vfilter900Samples)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_roiToStoredMtfWithVFilter)->Unit(benchmark::kMillisecond);

namespace {

/// A flat field of side x side pixels, 1000 +- 10 (uniform), made once per size.
const std::vector<int16_t>& flatField(int32_t side)
{
    static std::map<int32_t, std::vector<int16_t>> fields;
    auto& p = fields[side];
    if (p.empty()) {
        p.resize(static_cast<size_t>(side) * side);
        uint32_t state = 1;
        for (int16_t& z : p) {
            state = state * 1664525u + 1013904223u;
            z = static_cast<int16_t>(990 + (state >> 24) % 21);
        }
    }
    return p;
}

/// An analysis window on a flat field with the ROI over all of it.
struct FlatFieldAnalysis {
    vantry::ScriptedHost host;
    vantry::KernelBinding kernels{vantry::programFolder()};
    vantry::Korvelf k{host, kernels};
    vantry::Vylsf v{k};

    explicit FlatFieldAnalysis(int32_t side)
    {
        vantry::Workspace& ws = k.ws;
        ws.XSZ[0] = ws.VIEWXS[0] = side;
        ws.YSZ[0] = ws.VIEWYS[0] = side;
        ws.PIXMM[0] = 0.1f;
        ws.IMG[0] = {side, side, flatField(side)};
        ws.LOADED[0] = 1;
        ws.CURSLOT = 0;
        ws.PI2 = 6.283184f;
        k.roi[0] = {0, 0, static_cast<int16_t>(side), static_cast<int16_t>(side)};
        vantry::Form_Load(v);
        v.r.NPSU = v.r.NPSV = 128;
        v.r.NBINS = 25;
        // The first run of a session also allocates the ROI copy (64 MB for 4096 x 4096, in
        // either reading); the runs timed are the ones after it.
        v.r.ROIDAT.resize(static_cast<size_t>(side) * side);
    }
};

/// "2D-NNPS" on the scripted host, answering the data number: the whole handler.
void BM_nnps2dHandler(benchmark::State& state)
{
    FlatFieldAnalysis a(static_cast<int32_t>(state.range(0)));
    for (auto _ : state) {
        a.host.inputAnswers = {"1"};
        vantry::NNPS2D_Click(a.v);
        if (a.v.r.NPSNUM[0] != 25 || !a.host.messages.empty()) std::abort();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(0));
}

/// The block loop alone (RADINPS) in one reading.
template <vantry::NpsReading kReading>
void BM_nnpsBlockLoop(benchmark::State& state)
{
    FlatFieldAnalysis a(static_cast<int32_t>(state.range(0)));
    for (auto _ : state) {
        if (!vantry::radinpsWith(a.v, 0, kReading).empty()) std::abort();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(0));
}

void BM_nnpsBlockLoopLineByLine(benchmark::State& state)
{
    FlatFieldAnalysis a(static_cast<int32_t>(state.range(0)));
    for (auto _ : state) {
        if (!vantry::radinpsLineByLine(a.v, 0).empty()) std::abort();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(0));
}

/// One 256 x 256 block of a 4096-wide field through the stages of the summed reading.
struct OneBlock {
    std::unique_ptr<vantry::nps::Tables> tables = std::make_unique<vantry::nps::Tables>();
    std::unique_ptr<vantry::nps::Work> work = std::make_unique<vantry::nps::Work>();
    std::unique_ptr<vantry::nps::RowSums> sums = std::make_unique<vantry::nps::RowSums>();
    std::unique_ptr<vantry::nps::Surface> surface = std::make_unique<vantry::nps::Surface>();
    const int16_t* block = flatField(4096).data() + 4096 * 512 + 768;
    vantry::nps::Passes passes;

    explicit OneBlock(bool avx2)
        : passes(avx2 ? vantry::nps::avx2Passes() : vantry::nps::portablePasses())
    {
        vantry::nps::buildTables(*tables, 6.283184f);
        passes.rowSums(block, 4096, *sums);
        vantry::nps::fitSurface(*sums, *surface);
        surface->scale = 1 / vantry::nps::blockMean(*sums);
        passes.columns(block, 4096, *surface, *tables, nullptr, *work);
    }
};

bool skipWithoutAvx2(benchmark::State& state, bool avx2)
{
    if (avx2 && !vantry::npsSummedUsesAvx2()) {
        state.SkipWithError("no AVX2 on this processor");
        return true;
    }
    return false;
}

/// Detrend, first half: the row sums of z, x z and x^2 z, the mean and the fitted surface.
void BM_nnpsStageRowSumsAndFit(benchmark::State& state)
{
    if (skipWithoutAvx2(state, state.range(0) == 1)) return;
    OneBlock b(state.range(0) == 1);
    for (auto _ : state) {
        b.passes.rowSums(b.block, 4096, *b.sums);
        vantry::nps::fitSurface(*b.sums, *b.surface);
        benchmark::DoNotOptimize(b.surface->q);
    }
}

/// Detrend, second half (the surface subtracted on the way in) and the 16 column transforms.
void BM_nnpsStageColumns(benchmark::State& state)
{
    if (skipWithoutAvx2(state, state.range(0) == 1)) return;
    OneBlock b(state.range(0) == 1);
    for (auto _ : state) {
        b.passes.columns(b.block, 4096, *b.surface, *b.tables, nullptr, *b.work);
        benchmark::ClobberMemory();
    }
}

/// The split of the column pairs, the 16 row transforms and the power sums.
void BM_nnpsStageRows(benchmark::State& state)
{
    if (skipWithoutAvx2(state, state.range(0) == 1)) return;
    OneBlock b(state.range(0) == 1);
    for (auto _ : state) {
        b.passes.rows(*b.tables, vantry::nps::kRowGroups, *b.work);
        benchmark::ClobberMemory();
    }
}

/// The ROI copy of one row of 16 blocks (256 rows of 4096 pixels into 4 MB of Single).
void BM_nnpsStageRoiCopyOfABlockRow(benchmark::State& state)
{
    if (skipWithoutAvx2(state, state.range(0) == 1)) return;
    const vantry::nps::Passes passes =
        state.range(0) == 1 ? vantry::nps::avx2Passes() : vantry::nps::portablePasses();
    std::vector<float> copy(4096 * 256);
    for (auto _ : state) {
        passes.copy(flatField(4096).data(), 4096, 4096, 256, copy.data(), 4096);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * 4096 * 256 * 4);
}

/// The literal per-block steps for comparison: LESQ2D and its subtraction, and FFT2D256.
void BM_nnpsStageLineByLineTrend(benchmark::State& state)
{
    FlatFieldAnalysis a(256);
    if (!vantry::radinpsLineByLine(a.v, 0).empty()) std::abort();
    const std::vector<float> block(a.v.r.ROIDAT.begin(), a.v.r.ROIDAT.begin() + 256 * 256);
    for (auto _ : state) {
        std::copy(block.begin(), block.end(), a.v.r.NPSRE.begin());
        vantry::TREND2D(a.v);
        benchmark::ClobberMemory();
    }
}

void BM_nnpsStageLineByLineTransform(benchmark::State& state)
{
    FlatFieldAnalysis a(256);
    if (!vantry::radinpsLineByLine(a.v, 0).empty()) std::abort();
    for (auto _ : state) {
        vantry::FFT2D256(a.v, 1);
        benchmark::ClobberMemory();
    }
}

} // namespace

BENCHMARK(BM_nnps2dHandler)->Arg(2048)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_nnpsBlockLoop, vantry::NpsReading::Summed)
    ->Arg(2048)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_nnpsBlockLoop, vantry::NpsReading::SummedPortable)
    ->Arg(2048)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_nnpsBlockLoopLineByLine)->Arg(2048)->Arg(4096)->Unit(benchmark::kMillisecond);
// Argument 1: AVX2 passes, 0: portable passes.
BENCHMARK(BM_nnpsStageRowSumsAndFit)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_nnpsStageColumns)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_nnpsStageRows)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_nnpsStageRoiCopyOfABlockRow)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_nnpsStageLineByLineTrend)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_nnpsStageLineByLineTransform)->Unit(benchmark::kMicrosecond);

namespace {

/// The precise edge MTF with its standard errors on a 300 x 128 ROI across a noisy edge
/// (sigma 0.5 px, 3 degrees, CNR 200), 0 to 5 cycles/mm in steps of 0.05.
void BM_preciseMtf300x128(benchmark::State& state)
{
    const edgeimage::EdgeSpec e{.sigmaPx = 0.5, .tiltDeg = 3, .noiseSd = 4};
    const std::vector<int16_t> pixels = edgeimage::edgeImage(e);
    const vantry::PreciseMtfOptions options{.fmax = 5, .fint = 0.05};
    for (auto _ : state) {
        const vantry::PreciseMtfResult r =
            vantry::measurePreciseMtf(pixels.data(), e.width, e.height, 10, 10, 300, 128, 0.1,
                                      options);
        if (!r.error.empty() || r.se.size() != 101) std::abort();
        benchmark::DoNotOptimize(r.mtf.data());
    }
}

} // namespace

BENCHMARK(BM_preciseMtf300x128)->Unit(benchmark::kMillisecond);

namespace {

/// A flat field of uniform noise about 2000, side x side pixels.
std::vector<int16_t> iecFlatField(int32_t side)
{
    std::vector<int16_t> px(static_cast<size_t>(side) * side);
    uint32_t state = 12345;
    for (auto& p : px) {
        state = state * 1664525u + 1013904223u;
        p = static_cast<int16_t>(1950 + (state >> 25));
    }
    return px;
}

/// The IEC-style NNPS of a side x side area at 0.1 mm: 4096 (961 ROIs) and 1250 (the 125 mm
/// square, 64 ROIs).
void BM_iecNnps(benchmark::State& state)
{
    const auto side = static_cast<int32_t>(state.range(0));
    const std::vector<int16_t> px = iecFlatField(side);
    const vantry::FlatField field{px.data(), side, side};
    for (auto _ : state) {
        const auto r = vantry::measureIecNnps({field}, {0, 0, side, side}, 0.1, {});
        benchmark::DoNotOptimize(r.nnpsH.data());
    }
}

} // namespace

BENCHMARK(BM_iecNnps)->Arg(4096)->Arg(1250)->Unit(benchmark::kMillisecond);
