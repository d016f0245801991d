#pragma once
// The NNPS chart of the stored noise curves, their comparison and the clipboard table.

#include "vylsf.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vantry {

/// Whether the NNPS chart keeps its decades (a redraw, the arrow buttons) or moves them to the
/// curves (a new curve, a comparison).
enum class DecadeFit { Keep, ToCurves };
/// Draws the NNPS chart: the curves 1 .. DATANO (ask = 0) or a selection asked for (ask != 0),
/// the stored points joined up to NFMAX, with their legends.
void WSDSP(Vylsf& v, int ask, DecadeFit fit = DecadeFit::Keep);
/// Draws the NNPS chart of the curve indexes `list` in the decades from LOGBASE, without asking
/// and without changing NEXTNO.
void drawNnpsChart(Vylsf& v, const std::vector<int32_t>& list);
/// Moves LOGBASE by whole decades when a curve of `list` leaves the four decades shown (points up
/// to NFMAX): to decades that take in every curve, moved as little as they can be, or, when the
/// curves span more than four decades, to those of the curve stored last (else the last listed).
/// Curves that fit leave LOGBASE as it is.
void fitDecades(VylsfRecord& r, const std::vector<int32_t>& list);
/// The lowest and highest log10 power of a stored curve's points up to NFMAX; nullopt for a
/// curve of 3 points or fewer.
std::optional<std::pair<float, float>> shownRange(const VylsfRecord& r, int32_t curve);
/// A curve's legend: its label, followed by " NPS" for an absolute noise power spectrum so it
/// is not taken for the normalised one of the same image.
std::string nnpsLegendText(const VylsfRecord& r, int32_t curve);
/// Menu "Compare_NNPS": the NNPS chart of a selection; DSPMODE 4.
void NPSCOMP_Click(Vylsf& v);
/// Menu "Clip NNPS ": one stored noise curve on the clipboard, resampled every NFINT below NFMAX and
/// never beyond the Nyquist frequency of the curve's pitch; the rows stop (with a warning) before
/// the first one where the curve extrapolated past its points runs away (a value that is not
/// finite or lies more than three decades outside the range of the curve's points).
void NPSCLIP_Click(Vylsf& v);

} // namespace vantry
