#include "settings.h"

#include "numtext.h"
#include "prompts.h"

#include <algorithm>

namespace vantry {
namespace {

float ask(Vylsf& v, std::string_view prompt, float current)
{
    // A cancelled prompt keeps the setting; an empty answer is read as 0 and clamped, as typed.
    const auto typed = askNumberOrCancel(v.host(), prompt, plainNumber(current));
    return typed ? static_cast<float>(*typed) : current;
}

/// Upper limit of the ESF and LSF display widths: the ESF's length once there is one.
float widthLimit(const Vylsf& v)
{
    if (v.r.NSAMP != 0) return static_cast<float>(v.r.NSAMP) * v.k.ws.PIXMM[v.k.ws.CURSLOT];
    return 30.0f;
}

} // namespace

void SETTING(Vylsf& v)
{
    VylsfRecord& r = v.r;
    for (;;) {
        r.FMAX = std::clamp(ask(v, "Freq max = ", r.FMAX), 0.2f, 5.0f);
        r.FINT = ask(v, "Freq interval = ", r.FINT);
        r.BINW = std::clamp(ask(v, "Bin width  = ", r.BINW), 0.01f, 0.2f);
        r.ESFWID = std::max(ask(v, "ESF width (mm)  = ", r.ESFWID), 10.0f);
        r.ESFWID = std::min(r.ESFWID, widthLimit(v));
        r.LSFWID = ask(v, "LSF width (mm)  = ", r.LSFWID);
        if (r.LSFWID < 5) r.LSFWID = 10;
        r.LSFWID = std::min(r.LSFWID, widthLimit(v));
        const std::string summary = "Freq max=" + plainNumber(r.FMAX) + " Freq interval=" +
                                    plainNumber(r.FINT) + " Bin width=" + plainNumber(r.BINW);
        if (v.host().MsgBoxYesNoCancel(summary) != MsgBoxAnswer::No) return;
    }
}

void SETNPS(Vylsf& v)
{
    VylsfRecord& r = v.r;
    for (;;) {
        r.NFMAX = std::clamp(ask(v, "Freq max = ", r.NFMAX), 0.2f, 5.0f);
        r.NFINT = std::clamp(ask(v, "Freq interval = ", r.NFINT), 0.01f, 0.3f);
        const std::string summary =
            "Freq max=" + plainNumber(r.NFMAX) + " Freq interval=" + plainNumber(r.NFINT);
        if (v.host().MsgBoxYesNoCancel(summary) != MsgBoxAnswer::No) return;
    }
}

} // namespace vantry
