#include "form_load.h"

#include "numtext.h"
#include "preset_list.h"
#include "shdraw.h"

#include <cmath>
#include <cstdio>

namespace vantry {
namespace {

void makeTables(Workspace& ws)
{
    ws.PI2 = 6.283184f;
    ws.NFFT = 256;
    ws.NFFTBIT = 8;
    ws.PI = 3.141592f; // deliberately not the Single nearest to pi: later results depend on it
    for (int i = 0; i <= 128; ++i) {
        const auto t = static_cast<float>(static_cast<double>(ws.PI2) * i / ws.NFFT);
        ws.SINTB[i] = static_cast<float>(std::sin(static_cast<double>(t)));
        ws.COSTB[i] = static_cast<float>(std::cos(static_cast<double>(t)));
    }
}

void startDisplayTables(Workspace& ws)
{
    for (auto& lut : ws.DLUT) {
        for (int32_t v = -32768; v <= 0; ++v) lut[v + kDlutZero] = 255;
        for (int32_t v = 32768; v <= 65535; ++v) lut[v + kDlutZero] = 0;
    }
}

/// One call of an entry point of each library, so that a missing one stops the program at once.
void probeKernels(KernelBinding& kernels)
{
    int16_t from = 1, to = 0;
    PARVEL(kernels, var2trn)(&to, &from, 1);
    int32_t word = 1, copy = 0;
    FOUREL(kernels, var4test)(&copy, &word);
}

} // namespace

bool Form_Load(Korvelf& k)
{
    Workspace& ws = k.ws;
    KorvelfForm& f = k.form;

    ws.VERSTR = "0.96a 171208";
    makeTables(ws);
    startDisplayTables(ws);
    for (int view = 0; view < kViews; ++view) {
        ws.WW[view] = 2000;
        ws.WL[view] = 1000;
        f.WWTX[view].Text = plainNumberTrimmed(ws.WW[view]);
        f.WCTX[view].Text = plainNumberTrimmed(ws.WL[view]);
    }

    try {
        probeKernels(k.kernels);
    } catch (const KernelBindingError& e) {
        k.host.MsgBox(e.what());
        return false;
    }

    ws.DICOMF = 1;
    ws.CURSLOT = 0;
    ws.POSI = 1;
    for (int view = 0; view < kViews; ++view) {
        f.RH1[view].Visible = f.LH1[view].Visible = f.SH1[view].Visible = true;
    }
    for (int16_t view = 0; view < kViews; ++view) {
        k.disp.PXS[view] = 1.0f;
        k.roi[view] = RoiRecord{50, 50, 100, 100};
        ws.CURSLOT = view;
        SHDRAW(k, 0);
    }
    ws.CURSLOT = 0;

    f.Caption = "Vantry ver." + ws.VERSTR;

    PresetListResult list = readPresetList(k.listFile.empty() ? ws.programFolder / kListFileName : k.listFile);
    if (!list.error.empty()) {
        k.host.MsgBox(list.error);
        return false;
    }
    // Entries that cannot be used are listed once; choosing one later shows the same reason.
    for (const std::string& refused : refusedPresets(list.entries)) {
        std::fprintf(stderr, "%s\n", refused.c_str());
    }
    f.CMB1.List = std::move(list.entries);

    f.Timer1.Interval = 0;
    f.Timer1.Enabled = false;
    k.host.setTimer(0);
    return true;
}

void Form_Unload(Korvelf& k)
{
    k.vylsf.Visible = false;
    k.host.closeAnalysisWindow();
}

} // namespace vantry
