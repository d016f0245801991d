#include "axdraw.h"

#include "chart_text.h"
#include "numtext.h"
#include "prompts.h"

#include <algorithm>
#include <cmath>

namespace vantry {
namespace {

void printAt(Canvas& c, double x, double y, std::string_view text, bool keepLine)
{
    c.setCurrentPosition(x, y);
    c.print(text, keepLine);
}

void mtfFrame(Vylsf& v)
{
    VylsfRecord& r = v.r;
    Canvas& c = v.canvas();
    const double xmax = r.XMAX;
    c.setDrawWidth(2);
    c.line(0, 0, xmax, 0, kForeColour);
    c.line(0, 0, 0, 1.0, kForeColour);
    c.setDrawWidth(1);
    c.setDrawStyle(kDotted);
    r.YMAXLBL = "1.0";
    r.XMAXLBL = fixed1(r.FMAX);
    const int divisions = r.XMAXLBL == "1.5" ? 3 : 4;
    for (int i = 1; i <= divisions; ++i) {
        c.setCurrentPosition(i * xmax / divisions, 0);
        c.lineRelative(0, 1.0, kForeColour);
    }
    for (int i = 1; i <= 4; ++i) {
        c.setCurrentPosition(0, i / 4.0);
        c.lineRelative(xmax, 0, kForeColour);
    }
    // Every grid line carries its value; the end labels are the ones kept in the record.
    c.setDrawStyle(kSolid);
    std::vector<TickLabel> xLabels{{0, "0"}};
    for (int i = 1; i < divisions; ++i) xLabels.push_back({i * xmax / divisions, tickText(i * xmax / divisions, 1, 2)});
    // The end label is the axis's own value: XMAXLBL rounds it to one decimal (1.45 reads 1.5).
    xLabels.push_back({xmax, r.XMAXLBL == tickText(xmax, 1, 2) ? r.XMAXLBL : tickText(xmax, 1, 2)});
    xTickLabels(c, xLabels, -0.01);
    // Labels above the surface (YMAX lowered with "^") are left out rather than cut.
    const double lh = c.lineHeight();
    const double top = 1.3 * r.YMAX;
    for (int i = 1; i <= 4; ++i) {
        if (i / 4.0 + lh / 2 > top) break;
        yTickLabel(c, 0, i / 4.0, i == 4 ? r.YMAXLBL : tickText(i / 4.0, 1, 2));
    }
    printAt(c, 0.2 * xmax, -0.01 - 1.2 * lh, "Spatial Frequency (cycles / mm)", false);
    // The axis title between the labels of 0.75 and 1.0, or under the top of a lowered chart.
    yTickLabel(c, 0, std::min(0.875, top - lh), "MTF");
    c.setDrawStyle(kSolid);
}

void nnpsFrame(Vylsf& v)
{
    VylsfRecord& r = v.r;
    Canvas& c = v.canvas();
    c.cls();
    r.XMAX = r.NFMAX;
    r.YMAX = 4;
    const double xmax = r.XMAX, ymax = r.YMAX;
    c.scale(-0.15 * xmax, 1.15 * ymax, 1.25 * xmax, -1.3 * ymax);
    c.setDrawWidth(1);
    c.setDrawStyle(kDotted);
    c.setCurrentPosition(xmax, 0);
    c.lineRelative(0, ymax, kForeColour);
    const double step = nnpsGridStep(xmax);
    for (int i = 0; i * step <= xmax + 1e-6; ++i) {
        c.setCurrentPosition(i * step, 0);
        c.lineRelative(0, ymax, kForeColour);
    }
    for (int i = 0; i <= 4; ++i) {
        c.setCurrentPosition(0, i);
        c.lineRelative(xmax, 0, kForeColour);
    }
    // Still dotted: a dotted style does not apply to width 2.
    c.setDrawWidth(2);
    c.setCurrentPosition(0, 0);
    c.lineRelative(xmax, 0, kForeColour);
    c.setCurrentPosition(0, 0);
    c.lineRelative(0, ymax, kForeColour);
    c.setDrawWidth(1);
    std::vector<TickLabel> xLabels;
    for (int i = 0; i * step < xmax - 1e-6; ++i) xLabels.push_back({i * step, tickText(i * step, 0, 1)});
    xLabels.push_back({xmax, plainTrimmed(r.XMAX)});
    xTickLabels(c, xLabels, -0.07);
    for (int i = 0; i <= 4; ++i) {
        printAt(c, -0.08 * xmax, i, "10", true);
        c.setCurrentPosition(c.currentX(), i + 0.1);
        c.print(plainNumber(static_cast<float>(i) + r.LOGBASE), false);
    }
    printAt(c, xmax / 5, -0.07 - 1.2 * c.lineHeight(), "Spatial Frequency (cycles/mm)", false);
    printAt(c, -0.14 * xmax, 1.05 * ymax, "NPS", false);
    c.setDrawWidth(1);
    c.setDrawStyle(kSolid);
}

} // namespace

double nnpsGridStep(double xmax)
{
    if (xmax >= 2) return 1;
    if (xmax >= 1) return 0.5;
    if (xmax >= 0.4) return 0.2;
    return 0.1;
}

void AXDRAW(Vylsf& v, int kind)
{
    if (kind == 0) mtfFrame(v);
    if (kind == 1) nnpsFrame(v);
}

} // namespace vantry
