#include "curve_numbers.h"

#include "numtext.h"
#include "prompts.h"

#include <algorithm>

namespace vantry {
namespace {

constexpr int16_t kNumbers = 7;

size_t slotOf(int16_t d) { return static_cast<size_t>(d - 1); }

int16_t pointsOf(const VylsfRecord& r, CurveKind kind, int16_t d)
{
    return kind == CurveKind::Mtf ? r.MTFNUM[slotOf(d)] : r.NPSNUM[slotOf(d)];
}

CurveKind otherKind(CurveKind kind) { return kind == CurveKind::Mtf ? CurveKind::Nnps : CurveKind::Mtf; }

const char* kindName(CurveKind kind) { return kind == CurveKind::Mtf ? "MTF" : "NNPS"; }

int16_t lastOf(const VylsfRecord& r, CurveKind kind)
{
    return kind == CurveKind::Mtf ? r.LASTMTFNO : r.LASTNPSNO;
}

} // namespace

bool holdsCurve(const VylsfRecord& r, CurveKind kind, int16_t d)
{
    return d >= 1 && d <= kNumbers && pointsOf(r, kind, d) > 0;
}

int16_t firstFreeNumber(const VylsfRecord& r, CurveKind kind)
{
    for (int16_t d = 1; d <= kNumbers; ++d) {
        if (!holdsCurve(r, CurveKind::Mtf, d) && !holdsCurve(r, CurveKind::Nnps, d)) return d;
    }
    const int16_t last = lastOf(r, kind);
    if (holdsCurve(r, kind, last)) return last;
    for (int16_t d = 1; d <= kNumbers; ++d) {
        if (holdsCurve(r, kind, d)) return d;
    }
    return kNumbers;
}

int16_t lastStoredNumber(const VylsfRecord& r, CurveKind kind)
{
    const int16_t last = lastOf(r, kind);
    if (holdsCurve(r, kind, last)) return last;
    for (int16_t d = 1; d <= kNumbers; ++d) {
        if (holdsCurve(r, kind, d)) return d;
    }
    return 1;
}

int16_t offeredToRead(const VylsfRecord& r, CurveKind kind)
{
    return holdsCurve(r, kind, r.DATANO) ? r.DATANO : lastStoredNumber(r, kind);
}

void dropOtherKind(VylsfRecord& r, CurveKind kind, int16_t d)
{
    const size_t slot = slotOf(d);
    if (otherKind(kind) == CurveKind::Mtf) {
        r.MTFNUM[slot] = 0;
        r.MTFHASERR[slot] = 0;
        r.MTFPITCH[slot] = 0;
        r.MTFSUM[slot] = MtfSummary{};
        r.MTFSOURCE[slot] = ReportFile{};
        if (r.LASTMTFNO == d) r.LASTMTFNO = 0;
    } else {
        r.NPSNUM[slot] = 0;
        r.NPSRAW[slot] = 0;
        r.NPSPITCH[slot] = 0;
        if (r.LASTNPSNO == d) r.LASTNPSNO = 0;
    }
}

std::string replaceQuestion(const VylsfRecord& r, int16_t d)
{
    const CurveKind held = holdsCurve(r, CurveKind::Mtf, d) ? CurveKind::Mtf : CurveKind::Nnps;
    return "Data No." + std::to_string(d) + " holds the " + kindName(held) + " curve " + r.DATALBL[slotOf(d)] +
           ". Replace it with the new curve?";
}

std::optional<size_t> askNewCurveSlot(Vylsf& v, std::string_view prompt, CurveKind kind,
                                      const std::string& label)
{
    VylsfRecord& r = v.r;
    Host& host = v.host();
    const int16_t offered = firstFreeNumber(r, kind);
    // A cancel stores nothing: storing under 1 would overwrite the first curve.
    const auto typed = askNumberOrCancel(host, prompt, plainNumber(static_cast<double>(offered)));
    if (!typed) return std::nullopt;
    const auto d = static_cast<int16_t>(std::clamp(nearestInt(*typed, *typed < 0 ? 1 : kNumbers), 1, 7));
    if (holdsCurve(r, CurveKind::Mtf, d) || holdsCurve(r, CurveKind::Nnps, d)) {
        if (host.MsgBoxYesNoCancel(replaceQuestion(r, d)) != MsgBoxAnswer::Yes) return std::nullopt;
    }
    dropOtherKind(r, kind, d);
    r.DATANO = d;
    r.DATALBL[slotOf(d)] = label;
    return slotOf(d);
}

std::optional<size_t> askStoredCurve(Vylsf& v, std::string_view prompt, int16_t deflt, CurveKind kind,
                                     const std::string& missing)
{
    Host& host = v.host();
    const auto typed = askNumberOrCancel(host, prompt, plainNumber(static_cast<double>(deflt)));
    if (!typed) return std::nullopt;
    const int32_t d = nearestInt(*typed, 0);
    if (d < 1 || d > kNumbers) {
        host.MsgBox("No." + plainNumberTrimmed(*typed) + " is not a data number: choose one of 1 to 7.");
        return std::nullopt;
    }
    if (pointsOf(v.r, kind, static_cast<int16_t>(d)) < 4) {
        host.MsgBox(!missing.empty() ? missing
                                     : "There is no " + std::string(kindName(kind)) + " curve under No." +
                                           std::to_string(d) + ": compute one first or choose another number.");
        return std::nullopt;
    }
    return slotOf(static_cast<int16_t>(d));
}

std::string chartCaption(const VylsfRecord& r, CurveKind kind)
{
    std::string text = kindName(kind);
    bool any = false;
    for (const int32_t c : r.CHARTLIST) {
        const auto d = static_cast<int16_t>(c + 1);
        if (!holdsCurve(r, kind, d)) continue; // the chart draws nothing for it
        text += (any ? ", " : " ") + std::to_string(d) + " " + r.DATALBL[slotOf(d)];
        any = true;
    }
    return any ? text : text + ": no curve";
}

} // namespace vantry
