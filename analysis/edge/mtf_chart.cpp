#include "mtf_chart.h"

#include "axdraw.h"
#include "chart_text.h"
#include "numtext.h"
#include "prompts.h"
#include "spline.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace vantry {
namespace {

constexpr size_t kMaxSelection = 8;
/// A table this long is no longer one a spreadsheet or a reader can use.
constexpr int32_t kMaxTableRows = 100000;

std::vector<std::string_view> split(std::string_view text, char at)
{
    std::vector<std::string_view> parts;
    for (;;) {
        const size_t cut = text.find(at);
        parts.push_back(text.substr(0, cut));
        if (cut == std::string_view::npos) return parts;
        text.remove_prefix(cut + 1);
    }
}

/// The curve index a typed number names: number - 1, rounded; -1 for a number beyond 32 bits.
int32_t indexOf(std::string_view part)
{
    return nearestInt(leadingNumber(part) - 1, -1);
}

/// The stored curve indexes of a selection: entries outside the store are left out.
std::vector<int32_t> storedCurves(const std::vector<int32_t>& selection)
{
    std::vector<int32_t> curves;
    for (const int32_t c : selection) {
        if (c >= 0 && c < kCurveSlots) curves.push_back(c);
    }
    return curves;
}

/// The band of +/- one standard error around a precise curve: two dotted lines through its
/// points, as far as the chart's axis reaches.
void standardErrorBand(Canvas& c, const VylsfRecord& r, int32_t curve, int colour)
{
    c.setDrawWidth(1);
    c.setDrawStyle(kDotted);
    for (const float sign : {1.0f, -1.0f}) {
        for (int32_t n = 1; n < r.MTFNUM[curve] && r.MTFFRQ[curve][n] <= r.FMAX + 1e-4f; ++n) {
            c.line(r.MTFFRQ[curve][n - 1], r.MTFVAL[curve][n - 1] + sign * r.MTFERR[curve][n - 1],
                   r.MTFFRQ[curve][n], r.MTFVAL[curve][n] + sign * r.MTFERR[curve][n], colour);
        }
    }
    c.setDrawStyle(kSolid);
    c.setDrawWidth(2);
}

/// MTF50 and MTF10 of a curve marked where it crosses their levels: a dotted drop line to the
/// frequency axis and a small cross, in the curve's colour, for each figure on the chart's axis.
void summaryMarks(Canvas& c, const MtfSummary& s, float fmax, int colour)
{
    const double armX = c.textWidth("x") / 2, armY = c.lineHeight() / 4;
    c.setDrawWidth(1);
    for (const auto& [at, level] : {std::pair{s.mtf50, 0.5}, std::pair{s.mtf10, 0.1}}) {
        if (!at || !(*at >= 0) || *at > fmax) continue;
        c.setDrawStyle(kDotted);
        c.line(*at, 0, *at, level, colour);
        c.setDrawStyle(kSolid);
        c.line(*at - armX, level - armY, *at + armX, level + armY, colour);
        c.line(*at - armX, level + armY, *at + armX, level - armY, colour);
    }
    c.setDrawWidth(2);
}

} // namespace

std::string summaryText(const MtfSummary& s)
{
    const auto figure = [](const std::optional<float>& v, int decimals) {
        return v ? fixed(*v, decimals) : std::string("-");
    };
    return "MTF50 " + figure(s.mtf50, 2) + "  MTF10 " + figure(s.mtf10, 2) + "  Nyq " +
           figure(s.nyquist, 3);
}

std::vector<int32_t> SELPARSE(std::string_view text)
{
    std::vector<int32_t> list;
    const auto commas = split(text, ',');
    if (commas.size() >= 2) {
        for (size_t i = 0; i < commas.size() && i < kMaxSelection; ++i) list.push_back(indexOf(commas[i]));
        return list;
    }
    const auto dashes = split(text, '-');
    if (dashes.size() < 2) return {indexOf(text)};
    const int32_t lo = std::max(indexOf(dashes[0]), 0);
    const int32_t hi = std::max(indexOf(dashes[1]), 0);
    if (lo >= hi) return {lo};
    for (int32_t c = lo; c <= hi && list.size() < kMaxSelection; ++c) list.push_back(c);
    return list;
}

std::vector<int32_t> chartSelection(Vylsf& v, int ask)
{
    VylsfRecord& r = v.r;
    std::vector<int32_t> list;
    if (ask == 0) {
        for (int32_t c = 0; c < r.DATANO; ++c) list.push_back(c);
    } else {
        const auto answer = v.host().InputBox("Selection (ex. 1 or 2-4 or 2,4,5) = ", "1");
        list = SELPARSE(answer.value_or(""));
    }
    list = storedCurves(list);
    r.CHARTLIST = list;
    r.NEXTNO = static_cast<int16_t>(list.size() + 1);
    if (r.NEXTNO == 8) r.NEXTNO = 7;
    return list;
}

void MTFDSP(Vylsf& v, int ask)
{
    VylsfForm& form = v.form();
    form.CENADJ[0].Visible = form.CENADJ[1].Visible = false;
    form.FINESTP.Visible = form.LOGLSFCK.Visible = false;
    form.CENADJ[2].Visible = form.CENADJ[3].Visible = true;
    v.r.SHOWNMTF = chartSelection(v, ask);
    drawMtfChart(v, v.r.SHOWNMTF);
}

void drawMtfChart(Vylsf& v, const std::vector<int32_t>& list)
{
    VylsfRecord& r = v.r;
    if (r.YMAX > 2) r.YMAX = 2;
    r.XMAX = r.FMAX;
    const double xmax = r.XMAX, ymax = r.YMAX;
    Canvas& c = v.canvas();
    c.scale(-0.15 * xmax, 1.3 * ymax, 1.2 * xmax, -1.5 * ymax);
    c.cls();
    AXDRAW(v, 0);
    std::vector<LegendEntry> legend;
    for (const int32_t curve : list) {
        if (curve < 0 || curve >= kCurveSlots) continue;
        c.setDrawWidth(2);
        const int32_t npts = r.MTFNUM[curve];
        if (npts > 3) {
            loadWorkingCurve(v.curve, r.MTFFRQ[curve].data(), r.MTFVAL[curve].data(), npts);
            const int colour = r.COLTAB[curve];
            for (float f = 0; f <= r.FMAX; f += 0.01f) {
                const float y = splineAt(v.curve, f);
                if (f == 0) c.point(0, y, kForeColour);
                c.line(c.currentX(), c.currentY(), f, y, colour);
            }
            if (r.MTFHASERR[curve] != 0) standardErrorBand(c, r, curve, colour);
            summaryMarks(c, r.MTFSUM[curve], r.FMAX, colour);
            legend.push_back({curve, colour, {r.DATALBL[curve], summaryText(r.MTFSUM[curve])}});
        }
        c.setDrawWidth(1);
    }
    c.setDrawWidth(2);
    drawLegend(c, PlotArea{0, 0, xmax, 1.3 * ymax},
               LegendPlace{0.65 * xmax, 0.95 * ymax, 0.08 * ymax, 0.05 * xmax, 0.03}, legend);
    c.setDrawWidth(1);
}

void COMPMTF(Vylsf& v)
{
    v.r.DSPMODE = 3;
    v.r.YMAX = 1.0f;
    MTFDSP(v, 1);
    v.form().Caption = chartCaption(v.r, CurveKind::Mtf);
}

std::optional<int32_t> tableRows(Vylsf& v, float fmax, float fint)
{
    const int32_t rows = nearestInt(fmax / fint + 1, -1);
    if (!(fint > 0) || rows < 1 || rows > kMaxTableRows) {
        v.host().MsgBox("Freq interval" + plainNumber(fint) +
                        " does not make a table up to Freq max: set it in \"Setting\".");
        return std::nullopt;
    }
    return rows;
}

void CLIPMTF(Vylsf& v)
{
    VylsfRecord& r = v.r;
    const auto slot = askStoredCurve(v, "No.=", offeredToRead(r, CurveKind::Mtf), CurveKind::Mtf, "no data!");
    if (!slot) return;
    const auto rows = tableRows(v, r.FMAX, r.FINT);
    if (!rows) return;
    std::string text = "\t" + r.DATALBL[*slot] + "\r\n";
    loadWorkingCurve(v.curve, r.MTFFRQ[*slot].data(), r.MTFVAL[*slot].data(), r.MTFNUM[*slot]);
    for (int32_t k = 0; k < *rows; ++k) {
        const float f = static_cast<float>(k) * r.FINT;
        const auto y = static_cast<float>(leadingNumber(fixed3(splineAt(v.curve, f))));
        text += fixed2(f) + "\t" + plainTrimmed(y) + "\r\n";
    }
    v.host().setClipboardText(text);
}

} // namespace vantry
