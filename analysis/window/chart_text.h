#pragma once
// Texts on the charts: axis labels at the grid lines and legends that stay inside the plot.

#include "host.h"

#include <string>
#include <string_view>
#include <vector>

namespace vantry {

/// The part of a chart's coordinate system the axes enclose (y grows upward).
struct PlotArea {
    double left = 0, bottom = 0, right = 1, top = 1;
};

/// A grid value as an axis label: at most `maxDecimals` decimals, trailing zeros dropped down to
/// `minDecimals`: tickText(0.75, 1, 2) = "0.75", tickText(3, 1, 2) = "3.0", tickText(2, 0, 1) = "2".
std::string tickText(double v, int minDecimals, int maxDecimals);

/// One label of an axis: its grid value and its text.
struct TickLabel {
    double at = 0;
    std::string text;
};
/// Prints the labels of an x axis centred under their grid lines with their tops at `top`. The
/// last label is always printed; another one is left out where it would touch a label already
/// printed or the last one, so crowded grids stay readable.
void xTickLabels(Canvas& c, const std::vector<TickLabel>& labels, double top);
/// Prints a label right-aligned just left of the y axis (at x = `axisX`), centred on height `at`.
void yTickLabel(Canvas& c, double axisX, double at, std::string_view text);

/// `text` broken into lines no wider than `width` on the canvas: at blanks where it can be,
/// inside a word only when the word alone is too wide. Each line keeps `indent` in front.
std::vector<std::string> wrapText(const Canvas& c, std::string_view text, double width,
                                  std::string_view indent = "");

/// One curve's legend: its row (the data number - 1), colour and texts, one line each.
struct LegendEntry {
    int row = 0;
    int colour = 0;
    std::vector<std::string> texts;
};
/// Where a chart puts its legend: the colour line of row r starts at (x, firstRow - r x pitch),
/// `lineLength` long; its texts follow the line's end, their top `raise` above it.
struct LegendPlace {
    double x = 0, firstRow = 0, pitch = 0, lineLength = 0, raise = 0;
};
/// Draws the legend inside `plot`: moved left as far as the widest text needs (not past the plot's
/// left side), texts still too wide wrapped, and the rows spread when a row's texts need more
/// height than the pitch. Texts are printed with the two blanks that set them off the line.
void drawLegend(Canvas& c, const PlotArea& plot, LegendPlace place,
                const std::vector<LegendEntry>& entries);

} // namespace vantry
