#include "pic_click.h"

#include "analysis_busy.h"
#include "numtext.h"
#include "preset_list.h"

namespace vantry {

void PIC_Click(Korvelf& k, int index)
{
    if (refusedWhileAnalysing(k)) return;
    KorvelfForm& f = k.form;
    k.ws.CURSLOT = static_cast<int16_t>(index);
    f.WAKU.Left = f.PIC[index].Left - 2;
    f.ROIXSZTX.Text = plainNumberTrimmed(k.roi[index].ROIW);
    f.ROIYSZTX.Text = plainNumberTrimmed(k.roi[index].ROIH);
    if (k.ws.LOADED[index] != 1) return;
    const int entry = k.ws.PRESETIDX[index];
    if (entry < 0 || entry >= static_cast<int>(f.CMB1.List.size())) return;
    f.CMB1.ListIndex = entry;
    std::string error;
    if (const auto preset = parsePreset(f.CMB1.List[static_cast<size_t>(entry)], error)) {
        loadPresetSlot(k.ws, *preset);
    }
}

} // namespace vantry
