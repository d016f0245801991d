// IMGDSP on the scripted host (table, transfer, blit copy): a 4096 x 4096 image fitted into a
// 1000 x 1000 pane, a 1000 x 1000 image at magnification 6, and the fitted display while the
// window changes on every call, as during a window drag.
#include "dicom_writer.h"
#include "imgdsp.h"
#include "kernel_binding.h"
#include "korvelf.h"
#include "magnification.h"
#include "program_folder.h"
#include "scripted_host.h"

#include <benchmark/benchmark.h>

namespace {

struct Display {
    vantry::ScriptedHost host;
    vantry::KernelBinding kernels{vantry::programFolder()};
    vantry::Korvelf k{host, kernels};

    Display(int32_t side, int32_t pane)
    {
        vantry::Workspace& ws = k.ws;
        ws.XSZ[0] = ws.YSZ[0] = ws.VIEWXS[0] = ws.VIEWYS[0] = side;
        ws.PIXMM[0] = 0.1f;
        ws.LOGFAC[0] = 1;
        ws.IMG[0] = {side, side, vantry::samples::flatField(side, side, 2000.0, 200.0, 9)};
        ws.LOADED[0] = 1;
        ws.MAGF[0] = 1.0f;
        ws.WW[0] = 2000;
        ws.WL[0] = 2000;
        ws.POSI = 1;
        k.disp.DISPW = k.disp.DISPH = pane;
        k.disp.PXS[0] = 1.0f;
    }
};

void BM_imgdspFit4096Into1000(benchmark::State& state)
{
    Display d(4096, 1000);
    for (auto _ : state) vantry::IMGDSP(d.k);
    state.SetItemsProcessed(state.iterations() * 1000 * 1000);
}

void BM_imgdspMagnification6Of1000(benchmark::State& state)
{
    Display d(1000, 1000);
    vantry::IMGDSP(d.k);
    d.k.form.MAGHS.Value = 10; // 6x
    vantry::MAGHS_Change(d.k);
    for (auto _ : state) vantry::IMGDSP(d.k);
    state.SetItemsProcessed(state.iterations() * 1000 * 1000);
}

void BM_imgdspFit4096WhileTheWindowChanges(benchmark::State& state)
{
    Display d(4096, 1000);
    int16_t width = 2000;
    for (auto _ : state) {
        width = width == 2000 ? 2003 : 2000;
        d.k.ws.WW[0] = width;
        vantry::IMGDSP(d.k);
    }
    state.SetItemsProcessed(state.iterations() * 1000 * 1000);
}

} // namespace

BENCHMARK(BM_imgdspFit4096Into1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_imgdspMagnification6Of1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_imgdspFit4096WhileTheWindowChanges)->Unit(benchmark::kMillisecond);
