#include "image_opening.h"

#include "analysis_busy.h"
#include "imgdsp.h"
#include "pic_click.h"
#include "preset_list.h"
#include "read_image.h"

namespace vantry {
namespace {

/// What a read changes in a view's slot, kept to put back when the read is refused.
struct SlotState {
    int32_t XSZ, YSZ, HDOFS;
    float PIXMM;
    int16_t LOGFAC, PRESETIDX;
    int32_t PIXOFS;
    uint8_t PIXU16;
    std::string PRESETNAME, FNAME, caption;
    ReadFacts READFACTS;

    static SlotState of(const Korvelf& k, int s)
    {
        const Workspace& ws = k.ws;
        return {ws.XSZ[s], ws.YSZ[s], ws.HDOFS[s], ws.PIXMM[s], ws.LOGFAC[s], ws.PRESETIDX[s], ws.PIXOFS, ws.PIXU16,
                ws.PRESETNAME[s], ws.FNAME[s], k.form.Caption, ws.READFACTS[s]};
    }
    void restore(Korvelf& k, int s) const
    {
        Workspace& ws = k.ws;
        ws.XSZ[s] = XSZ;
        ws.YSZ[s] = YSZ;
        ws.HDOFS[s] = HDOFS;
        ws.PIXMM[s] = PIXMM;
        ws.LOGFAC[s] = LOGFAC;
        ws.PRESETIDX[s] = PRESETIDX;
        ws.PIXOFS = PIXOFS;
        ws.PIXU16 = PIXU16;
        ws.PRESETNAME[s] = PRESETNAME;
        ws.FNAME[s] = FNAME;
        k.form.Caption = caption;
        ws.READFACTS[s] = READFACTS;
    }
};

/// Copies the chosen preset (slot 3) into view slot s; false when no preset with a width has been
/// chosen.
bool takeOverPreset(Workspace& ws, int s)
{
    ws.XSZ[s] = ws.XSZ[kPresetSlot];
    ws.YSZ[s] = ws.YSZ[kPresetSlot];
    ws.HDOFS[s] = ws.HDOFS[kPresetSlot];
    ws.PIXMM[s] = ws.PIXMM[kPresetSlot];
    ws.LOGFAC[s] = ws.LOGFAC[kPresetSlot];
    ws.PRESETNAME[s] = ws.PRESETNAME[kPresetSlot]; // so that curve labels name the detector
    return ws.XSZ[s] != 0;
}

/// Reads FNAME of the current view and shows it; on a refusal puts the slot back and says why.
bool readIntoCurrentView(Korvelf& k, const SlotState& before)
{
    Workspace& ws = k.ws;
    const int s = ws.CURSLOT;
    const ReadOutcome outcome = READDICOM(k);
    if (!outcome.ok) {
        const std::string file = ws.FNAME[s];
        before.restore(k, s);
        k.host.MsgBox("The file " + file + " was not read: " + outcome.reason + ".");
        return false;
    }
    ws.LOADED[s] = 1;
    ws.VIEWX0[s] = ws.VIEWY0[s] = 0;
    ws.VIEWXS[s] = ws.XSZ[s];
    ws.VIEWYS[s] = ws.YSZ[s];
    ws.MAGF[s] = 1.0f;
    const auto bytes = static_cast<int32_t>(ws.WORKIMG.pixels.size() * sizeof(int16_t));
    for (ImageBuffer* target : {&ws.IMG[s], &ws.COPYIMG}) {
        target->width = ws.WORKIMG.width;
        target->height = ws.WORKIMG.height;
        target->pixels.resize(ws.WORKIMG.pixels.size());
        PARVEL(k.kernels, vartrn)(reinterpret_cast<uint8_t*>(target->pixels.data()),
                                  reinterpret_cast<uint8_t*>(ws.WORKIMG.pixels.data()), bytes);
    }
    IMGDSP(k);
    if (ws.READFACTS[s].frames > 1) {
        k.form.Caption += "  frame 1 of " + std::to_string(ws.READFACTS[s].frames) + " read";
    }
    return true;
}

} // namespace

void CMB1_Click(Korvelf& k, int index)
{
    KorvelfForm& f = k.form;
    if (index < 0 || index >= static_cast<int>(f.CMB1.List.size())) return;
    std::string error;
    const auto preset = parsePreset(f.CMB1.List[static_cast<size_t>(index)], error);
    if (!preset) {
        k.host.MsgBox(refusedPresetMessage(static_cast<size_t>(index), error));
        return;
    }
    f.CMB1.ListIndex = index;
    loadPresetSlot(k.ws, *preset);
}

void Command1_Click(Korvelf& k)
{
    if (refusedWhileAnalysing(k)) return;
    Workspace& ws = k.ws;
    const int s = ws.CURSLOT;
    const SlotState before = SlotState::of(k, s);
    const bool hasPreset = takeOverPreset(ws, s);
    ws.PRESETIDX[s] = static_cast<int16_t>(k.form.CMB1.ListIndex);
    if (!hasPreset) {
        if (ws.LOADED[s] == 1) before.restore(k, s); // the view's sizes must keep matching its image
        return;
    }
    const auto file = k.host.openFileDialog(kReadFilter);
    if (!file || file->empty()) {
        before.restore(k, s);
        return;
    }
    ws.FNAME[s] = *file;
    k.form.PIC[s].Visible = true;
    readIntoCurrentView(k, before);
}

void PIC_OLEDragDrop(Korvelf& k, int index, const std::vector<std::string>& files)
{
    if (files.empty() || files.front().empty()) return;
    if (refusedWhileAnalysing(k)) return;
    Workspace& ws = k.ws;
    const SlotState before = SlotState::of(k, index);
    const int16_t previousSlot = ws.CURSLOT;
    ws.CURSLOT = static_cast<int16_t>(index);
    const bool hasPreset = takeOverPreset(ws, index);
    ws.PRESETIDX[index] = static_cast<int16_t>(k.form.CMB1.ListIndex); // as the Read button does
    if (!hasPreset) {
        // Nothing is read: like a refused file, the drop leaves the current view as it was.
        if (ws.LOADED[index] == 1) before.restore(k, index);
        ws.CURSLOT = previousSlot;
        return;
    }
    k.form.Caption = files.front();
    ws.FNAME[index] = files.front();
    if (!readIntoCurrentView(k, before)) {
        ws.CURSLOT = previousSlot;
        return;
    }
    PIC_Click(k, index);
}

} // namespace vantry
