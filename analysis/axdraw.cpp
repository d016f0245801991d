#include "axdraw.h"

#include "numtext.h"

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
    printAt(c, -0.07 * xmax, 1.02, r.YMAXLBL, false);
    printAt(c, -0.03 * xmax, -0.01, "0", true);
    c.setCurrentPosition(0.95 * xmax, c.currentY());
    c.print(r.XMAXLBL, false);
    printAt(c, 0.2 * xmax, -0.02, "Spatial Frequency (cycles / mm)", false);
    printAt(c, -0.08 * xmax, 0.8, "MTF", false);
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
    const auto lastGrid = static_cast<int>(std::nearbyint(xmax));
    for (int i = 0; i <= lastGrid; ++i) {
        c.setCurrentPosition(i, 0);
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
    printAt(c, 0, -0.07, "0", true);
    c.setCurrentPosition(xmax - 0.03, c.currentY());
    c.print(plainNumber(r.XMAX), false);
    for (int i = 0; i <= 4; ++i) {
        printAt(c, -0.08 * xmax, i, "10", true);
        c.setCurrentPosition(c.currentX(), i + 0.1);
        c.print(plainNumber(static_cast<float>(i) + r.LOGBASE), false);
    }
    printAt(c, xmax / 5, -0.09, "Spatial Frequency (cycles/mm)", false);
    printAt(c, -0.14 * xmax, 1.05 * ymax, "NPS", false);
    c.setDrawWidth(1);
    c.setDrawStyle(kSolid);
}

} // namespace

void AXDRAW(Vylsf& v, int kind)
{
    if (kind == 0) mtfFrame(v);
    if (kind == 1) nnpsFrame(v);
}

} // namespace vantry
