#pragma once
// Detective quantum efficiency and noise-equivalent quanta of a stored MTF and a stored NNPS.

#include "vylsf.h"

#include <optional>
#include <array>
#include <string>
#include <string_view>

namespace vantry {

/// Physical ranges of the air kerma (uGy) and of q (photons per mm^2 and uGy).
inline constexpr double kMinKerma = 1e-3, kMaxKerma = 1e5;
inline constexpr double kMinQ = 1e3, kMaxQ = 1e6;

/// Display mode of the DQE chart.
constexpr int16_t kDqeMode = 5;

/// What "DQE calc." and "Report..." ask after the curves: the beam quality, the edition of the
/// beam table, q (the listed value offered, a typed one taken over it) and the air kerma.
struct BeamAndKerma {
    std::string name, edition;
    double q = 0;
    std::string qFrom; ///< "BEAMQ.TXT, EDITION" or "typed"
    double kerma = 0;  ///< uGy
};
/// Asks them in that order; nullopt on a cancel or after a message on a value out of range.
std::optional<BeamAndKerma> askBeamAndKerma(Vylsf& v);

/// Menu "DQE calc.": asks the MTF and NNPS data numbers (refusing curves measured on pixels of
/// different size), the beam quality, the edition of the beam list (2015 or 2003), q (the listed
/// value offered; a typed one overrides it, and a beam not in the list needs one) and the air
/// kerma in uGy; computes NEQ = MTF^2 / NNPS and DQE = NEQ / (q K_a) on the NNPS curve's
/// frequencies up to the last of either curve, and draws the DQE chart. Anything unusable gets a
/// message and changes nothing.
void DQECLC(Vylsf& v);
/// Menu "Clip DQE": the last DQE as a TAB-separated table (header, then f, MTF, NNPS, NEQ, DQE).
void CLIPDQE(Vylsf& v);
/// Draws the DQE chart of the last DQE: frequency 0 .. NFMAX, DQE 0 .. 1.2 or 1.05 x the largest
/// value when the data exceed it (never clamped), and a line at DQE = 1, labelled "DQE = 1", when
/// a value exceeds 1.
void DQEDSP(Vylsf& v);

/// NEQ and DQE of one frequency: mtf^2 / nnps (1 / mm^2) and that over q x kerma.
struct DqePoint {
    double neq = 0;
    double dqe = 0;
};
DqePoint dqeAt(double mtf, double nnps, double q, double kerma);

} // namespace vantry
