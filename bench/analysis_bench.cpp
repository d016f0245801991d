// The MTF analysis on the scripted host: the direct transform of the MTF, the V-filter, and the
// whole road from the ROI to the stored curve.
#include "edge_image.h"
#include "esf.h"
#include "kernel_binding.h"
#include "korvelf.h"
#include "lsf.h"
#include "mtf.h"
#include "nnps.h"
#include "program_folder.h"
#include "scripted_host.h"
#include "vylsf.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>

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
struct NoiseAnalysis {
    vantry::ScriptedHost host;
    vantry::KernelBinding kernels{vantry::programFolder()};
    vantry::Korvelf k{host, kernels};
    vantry::Vylsf v{k};
    explicit NoiseAnalysis(int32_t side)
    {
        vantry::Workspace& ws = k.ws;
        ws.XSZ[0] = ws.VIEWXS[0] = side;
        ws.YSZ[0] = ws.VIEWYS[0] = side;
        ws.PIXMM[0] = 0.1f;
        std::vector<int16_t> p(static_cast<size_t>(side) * side);
        uint32_t s = 1;
        for (auto& x : p) { s = s * 1664525u + 1013904223u; x = static_cast<int16_t>(990 + (s >> 24) % 21); }
        ws.IMG[0] = {side, side, std::move(p)};
        ws.LOADED[0] = 1;
        ws.CURSLOT = 0;
        ws.PI2 = 6.283184f;
        k.roi[0] = {0, 0, static_cast<int16_t>(side), static_cast<int16_t>(side)};
        vantry::Form_Load(v);
    }
};
void BM_tmpNnps(benchmark::State& state)
{
    NoiseAnalysis a(static_cast<int32_t>(state.range(0)));
    for (auto _ : state) {
        a.host.inputAnswers = {"1"};
        vantry::NNPS2D_Click(a.v);
        if (a.v.r.NPSNUM[0] != 25) std::abort();
    }
}
}
BENCHMARK(BM_tmpNnps)->Arg(1024)->Arg(2048)->Unit(benchmark::kMillisecond);
