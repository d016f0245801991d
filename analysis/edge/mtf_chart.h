#pragma once
// The MTF chart of the stored curves, their comparison and the clipboard table.

#include "curve_numbers.h"
#include "vylsf.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantry {

/// The summary line under a curve's legend: "MTF50 1.52  MTF10 2.95  Nyq 0.123", "-" for a
/// figure not reached.
std::string summaryText(const MtfSummary& s);
/// Curve indexes (data number - 1) named by a selection text: "3", "2-4", "2,4,5". Indexes are not
/// checked against the store here; a range yields at most 8 of them.
std::vector<int32_t> SELPARSE(std::string_view text);
/// The curves a chart draws: 0 .. DATANO - 1 (ask = 0) or a selection asked for (ask != 0), left
/// without the entries outside the store; NEXTNO becomes their count + 1 (8 becomes 7).
std::vector<int32_t> chartSelection(Vylsf& v, int ask);
/// The number of rows of a table from 0 to `fmax` in steps of `fint`, nint(fmax / fint + 1);
/// nullopt, after a message, when the step makes no table or one too long to use.
std::optional<int32_t> tableRows(Vylsf& v, float fmax, float fint);
/// Draws the MTF chart: the curves 1 .. DATANO (ask = 0) or a selection asked for (ask != 0),
/// resampled every 0.01 cycles/mm, with their legends.
void MTFDSP(Vylsf& v, int ask);
/// Draws the MTF chart of the curve indexes `list` (entries outside the store are passed over):
/// the frame, each curve with MTF50 and MTF10 marked, and the legends inside the plot. Asks
/// nothing and leaves NEXTNO as it is, so a redraw at a new window size shows the same chart.
void drawMtfChart(Vylsf& v, const std::vector<int32_t>& list);
/// Menu "Compare_MTF": the MTF chart of a selection; DSPMODE 3.
void COMPMTF(Vylsf& v);
/// Menu "Clip MTF": one stored curve on the clipboard, resampled every FINT up to FMAX.
void CLIPMTF(Vylsf& v);

} // namespace vantry
