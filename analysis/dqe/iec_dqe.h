#pragma once
// The DQE per direction from two precise edge MTFs and the IEC-style NNPS: each direction's MTF
// paired with the same direction's NNPS on the NNPS's frequency grid. A pure function.

#include "iec_nnps.h"
#include "precise_mtf.h"

#include <string>
#include <vector>

namespace vantry {

struct IecDqeRow {
    double f = 0;                ///< cycles/mm
    double mtfH = 0, mtfV = 0;   ///< MTF of the edge whose profile runs along x (H) and y (V)
    double nnpsH = 0, nnpsV = 0; ///< mm^2
    double dqeH = 0, dqeV = 0;
    double seDqeH = 0, seDqeV = 0; ///< standard errors of the DQE from those of MTF and NNPS
};

struct IecDqeResult {
    std::string error;                 ///< empty when computed, else why not
    std::vector<std::string> warnings; ///< each a line starting "warning "
    std::vector<IecDqeRow> rows;
};

/// DQE(f) = MTF(f)^2 / (NNPS(f) q K) per direction. The MTFs must be on the grid 0, fint, 2 fint,
/// ... that holds every NNPS frequency; edgeH must be an H edge and edgeV a V edge. q and the
/// kerma must lie in their physical ranges; a non-finite NEQ or DQE is refused; a DQE above 1 by
/// more than twice its standard error is a warning.
IecDqeResult combineIecDqe(const PreciseMtfResult& edgeH, const PreciseMtfResult& edgeV,
                           const IecNnpsResult& nnps, double q, double kerma);

/// The method statement of an IEC-style DQE, with its departures from the standard: one
/// paragraph per entry, as the report and the help print them.
std::vector<std::string> iecMethodStatement();

} // namespace vantry
