#include "size_controls.h"

#include "analysis_busy.h"
#include "numtext.h"
#include "shdraw.h"


namespace vantry {
namespace {

/// The next size of the grid for a click on a box showing v.
std::optional<int16_t> nextGridSize(int16_t v)
{
    int32_t next;
    if (v % 256 == 0 || v == 128) {
        next = v / 256 * 256 + 256;
        if (next > 1792) next = 128;
    } else {
        const auto steps = roundToInt16(v / 256.0);
        next = steps ? *steps * 256 : 0;
        if (next == 0) next = 128;
    }
    if (next <= 0 || next > 32767) return std::nullopt;
    return static_cast<int16_t>(next);
}

void stepSize(Korvelf& k, Control& box, int16_t& size)
{
    // A text without a number reads as 0, whose next grid size is 256; a number beyond 16 bits
    // keeps the size.
    const auto typed = roundToInt16(leadingNumber(box.Text));
    const std::optional<int16_t> next = typed ? nextGridSize(*typed) : std::nullopt;
    if (next) size = *next;
    box.Text = plainNumberTrimmed(size);
    SHDRAW(k, 0);
}

void takeTyped(Control& box, int16_t& size)
{
    const auto typed = typedInt16(box.Text);
    if (typed && *typed > 0) {
        size = *typed;
    } else {
        box.Text = plainNumberTrimmed(size);
    }
}

} // namespace

void ROIXSZTX_Click(Korvelf& k)
{
    if (refusedWhileAnalysing(k)) return;
    stepSize(k, k.form.ROIXSZTX, k.roi[k.ws.CURSLOT].ROIW);
}

void ROIYSZTX_Click(Korvelf& k)
{
    if (refusedWhileAnalysing(k)) return;
    stepSize(k, k.form.ROIYSZTX, k.roi[k.ws.CURSLOT].ROIH);
}

void ROILBL_Click(Korvelf& k)
{
    if (refusedWhileAnalysing(k)) return;
    RoiRecord& r = k.roi[k.ws.CURSLOT];
    takeTyped(k.form.ROIXSZTX, r.ROIW);
    takeTyped(k.form.ROIYSZTX, r.ROIH);
    SHDRAW(k, 0);
}

void SAMEROI_Click(Korvelf& /*k*/) {}

void MEASUREGO_Click(Korvelf& k)
{
    if (refusedWhileAnalysing(k)) return;
    if (k.ws.LOADED[k.ws.CURSLOT] != 1) return;
    k.vylsf.Visible = true;
    k.host.showAnalysisWindow();
}

} // namespace vantry
