#include "window_controls.h"

#include "imgdsp.h"
#include "numtext.h"
#include "winclc.h"


namespace vantry {
namespace {

/// Applies a box to its value; a refused box shows the value it keeps.
void applyBox(Control& box, int16_t& value)
{
    if (const auto v = typedInt16(box.Text)) {
        value = *v;
    } else {
        box.Text = plainNumberTrimmed(value);
    }
}

void applyBoth(Korvelf& k, int view)
{
    k.ws.CURSLOT = static_cast<int16_t>(view);
    applyBox(k.form.WWTX[view], k.ws.WW[view]);
    applyBox(k.form.WCTX[view], k.ws.WL[view]);
    WINCLC(k);
    IMGDSP(k);
}

void step(Korvelf& k, int view, int keyCode, Control& box, int16_t& value)
{
    k.ws.CURSLOT = static_cast<int16_t>(view);
    if (keyCode != kKeyUp && keyCode != kKeyDown) return;
    const auto start = typedInt16(box.Text);
    const std::optional<int16_t> next =
        start ? roundToInt16(static_cast<double>(*start) + (keyCode == kKeyUp ? 200 : -200)) : std::nullopt;
    if (next) value = *next;
    box.Text = plainNumberTrimmed(value);
    WINCLC(k);
    IMGDSP(k);
}

} // namespace

void WWTX_DblClick(Korvelf& k, int view)
{
    applyBoth(k, view);
}

void WCTX_DblClick(Korvelf& k, int view)
{
    applyBoth(k, view);
}

void WWTX_KeyDown(Korvelf& k, int view, int keyCode)
{
    step(k, view, keyCode, k.form.WWTX[view], k.ws.WW[view]);
}

void WCTX_KeyDown(Korvelf& k, int view, int keyCode)
{
    step(k, view, keyCode, k.form.WCTX[view], k.ws.WL[view]);
}

void WCTX_Change(Korvelf& /*k*/, int /*view*/) {}

void POSICK_Click(Korvelf& k)
{
    if (k.ws.LOADED[k.ws.CURSLOT] != 1) return;
    k.ws.POSI = k.form.POSICK.Value != 0 ? 1 : 0;
    IMGDSP(k);
}

void WSYNCK_Click(Korvelf& k)
{
    if (k.ws.LOADED[0] != 1 || k.ws.LOADED[k.ws.CURSLOT] != 1) return;
    k.ws.WSYNC = k.form.WSYNCK.Value != 0 ? 1 : 0;
}

} // namespace vantry
