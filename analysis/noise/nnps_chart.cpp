#include "nnps_chart.h"

#include "axdraw.h"
#include "chart_text.h"
#include "mtf_chart.h"
#include "noise_basics.h"
#include "numtext.h"
#include "spline.h"

#include <algorithm>
#include <cmath>

namespace vantry {
namespace {

/// Decades beyond the range of a curve's own points that no NNPS value reaches: a value there is
/// an extrapolation running away, not a spectrum.
constexpr float kRunawayDecades = 3;
/// Decades the chart spans.
constexpr float kDecades = 4;

} // namespace

void WSDSP(Vylsf& v, int ask, DecadeFit fit)
{
    VylsfForm& form = v.form();
    // The decades are moved with "^" and "v" on this chart, so those two stay at hand.
    form.CENADJ[0].Visible = form.CENADJ[1].Visible = false;
    form.CENADJ[2].Visible = form.CENADJ[3].Visible = true;
    form.FINESTP.Visible = form.LOGLSFCK.Visible = false;
    v.r.SHOWNNPS = chartSelection(v, ask);
    if (fit == DecadeFit::ToCurves) fitDecades(v.r, v.r.SHOWNNPS);
    drawNnpsChart(v, v.r.SHOWNNPS);
}

std::optional<std::pair<float, float>> shownRange(const VylsfRecord& r, int32_t curve)
{
    if (curve < 0 || curve >= kCurveSlots || r.NPSNUM[curve] <= 3) return std::nullopt;
    std::optional<std::pair<float, float>> range;
    for (int32_t i = 0; i < r.NPSNUM[curve] && r.NPSFRQ[curve][i] <= r.NFMAX; ++i) {
        const float y = r.NPSVAL[curve][i];
        if (!std::isfinite(y)) continue;
        if (!range) range = std::pair{y, y};
        range->first = std::min(range->first, y);
        range->second = std::max(range->second, y);
    }
    return range;
}

void fitDecades(VylsfRecord& r, const std::vector<int32_t>& list)
{
    const auto fitsIn = [](float base, const std::pair<float, float>& range) {
        return range.first >= base && range.second <= base + kDecades;
    };
    // The decades that take in a range, moved as little as they can from `base`.
    const auto movedTo = [](float base, const std::pair<float, float>& range) {
        if (range.first < base) base = std::floor(range.first);
        if (range.second > base + kDecades) base = std::ceil(range.second) - kDecades;
        return base;
    };
    std::optional<std::pair<float, float>> all, newest;
    for (const int32_t curve : list) {
        const auto range = shownRange(r, curve);
        if (!range) continue;
        if (!all) all = range;
        all->first = std::min(all->first, range->first);
        all->second = std::max(all->second, range->second);
        // The curve stored last, else the last one drawn, decides when not all of them fit.
        if (!newest || curve == r.DATANO - 1) newest = range;
    }
    if (!all || fitsIn(r.LOGBASE, *all)) return;
    if (all->second - all->first <= kDecades) {
        r.LOGBASE = movedTo(r.LOGBASE, *all);
    } else if (!fitsIn(r.LOGBASE, *newest)) {
        r.LOGBASE = movedTo(r.LOGBASE, *newest);
    }
}

std::string nnpsLegendText(const VylsfRecord& r, int32_t curve)
{
    return r.NPSRAW[curve] != 0 ? r.DATALBL[curve] + " NPS" : r.DATALBL[curve];
}

void drawNnpsChart(Vylsf& v, const std::vector<int32_t>& list)
{
    VylsfRecord& r = v.r;
    AXDRAW(v, 1);
    Canvas& c = v.canvas();
    const double xmax = r.XMAX, ymax = r.YMAX;
    std::vector<LegendEntry> legend;
    for (const int32_t curve : list) {
        if (curve < 0 || curve >= kCurveSlots) continue;
        const int32_t npts = r.NPSNUM[curve];
        if (npts > 3) {
            WorkingCurve& w = v.curve;
            std::array<float, kCurvePoints> shifted{};
            for (int32_t i = 0; i < npts; ++i) shifted[i] = r.NPSVAL[curve][i] - r.LOGBASE;
            loadWorkingCurve(w, r.NPSFRQ[curve].data(), shifted.data(), npts);
            const int colour = r.COLTAB[curve];
            c.setDrawWidth(2);
            for (int32_t i = 0; i < npts && w.CURVEX[i] <= r.NFMAX; ++i) {
                const float x = w.CURVEX[i];
                const float y = splineAt(w, x);
                if (i == 0) c.point(x, y, colour);
                c.line(c.currentX(), c.currentY(), x, y, colour);
            }
            legend.push_back({curve, colour, {nnpsLegendText(r, curve)}});
        }
        c.setDrawWidth(1);
    }
    c.setDrawWidth(2);
    drawLegend(c, PlotArea{0, 0, xmax, ymax},
               LegendPlace{0.68 * xmax, 0.95 * ymax, 0.08 * ymax, 0.07 * xmax, 0.1}, legend);
    c.setDrawWidth(1);
}

void NPSCOMP_Click(Vylsf& v)
{
    v.r.DSPMODE = 4;
    WSDSP(v, 1, DecadeFit::ToCurves);
    v.form().Caption = chartCaption(v.r, CurveKind::Nnps);
}

void NPSCLIP_Click(Vylsf& v)
{
    VylsfRecord& r = v.r;
    const auto slot = askStoredCurve(v, "Data No.=", offeredToRead(r, CurveKind::Nnps), CurveKind::Nnps, "no data!");
    if (!slot) return;
    const auto rows = tableRows(v, r.NFMAX, r.NFINT);
    if (!rows) return;
    const int32_t npts = r.NPSNUM[*slot];
    const auto& logs = r.NPSVAL[*slot];
    const float lastPoint = r.NPSFRQ[*slot][npts - 1];
    // The spectrum holds nothing beyond the Nyquist frequency of its pixels (its last point for a
    // curve of unknown pitch); the grid is a sum of single-precision steps, hence the slack.
    const float pitch = r.NPSPITCH[*slot];
    const float nyquist = pitch > 0 ? 0.5f / pitch : lastPoint;
    const float lowest = *std::min_element(logs.begin(), logs.begin() + npts);
    const float highest = *std::max_element(logs.begin(), logs.begin() + npts);
    loadWorkingCurve(v.curve, r.NPSFRQ[*slot].data(), logs.data(), npts);
    std::string text = "\t" + r.DATALBL[*slot] + "\r\n";
    int32_t written = 0;
    for (int32_t i = 1; i <= *rows - 1; ++i) {
        const float f = static_cast<float>(i) * r.NFINT;
        if (f > nyquist * (1 + 1e-5f)) break;
        const float log10Value = splineAt(v.curve, f);
        const double value = std::pow(10.0, static_cast<double>(log10Value));
        // Extrapolated beyond the stored points the last cubic of the logarithm can run away:
        // the table ends before the first row whose power is not a finite number or that leaves
        // the curve's own range by more than kRunawayDecades.
        if (!std::isfinite(value) || log10Value > highest + kRunawayDecades ||
            log10Value < lowest - kRunawayDecades) {
            if (written == 0) {
                v.host().MsgBox("At " + fixed2(f) + " cycles/mm the curve extrapolated beyond its points (" +
                                fixed2(r.NPSFRQ[*slot][0]) + " .. " + fixed2(lastPoint) +
                                ") has no sensible value: nothing was copied.");
                return;
            }
            v.host().MsgBox("warning the table stops at " + fixed2(f - r.NFINT) + " cycles/mm: at " +
                            fixed2(f) + " the curve extrapolated beyond its last point (" +
                            fixed2(lastPoint) + ") has no sensible value");
            break;
        }
        text += fixed2(f) + "\t" + noiseText(value, 8) + "\r\n";
        ++written;
    }
    if (written == 0) {
        v.host().MsgBox("Freq interval" + plainNumber(r.NFINT) + " passes the Nyquist frequency " +
                        fixed2(nyquist) + " of the curve at its first row: nothing was copied.");
        return;
    }
    v.host().setClipboardText(text);
}

} // namespace vantry
