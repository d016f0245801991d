#pragma once
// The parts of an IEC-style DQE report that do not depend on who measured: the printed row of
// each frequency, the curves per direction, the table at the standard frequencies and the method.

#include "dqe_report.h"
#include "iec_dqe.h"

#include <string>
#include <vector>

namespace vantry {

/// One row of the DQE table as vantry-measure prints it after "point": f (%.4f), MTF_H and MTF_V
/// (%.5f), NNPS_H and NNPS_V (%.6e), DQE_H and DQE_V (%.5f).
std::vector<std::string> iecDqeCells(const IecDqeRow& row);
/// Whether f is one of the standard frequencies 0.5, 1.0, 1.5, ... cycles/mm.
bool isStandardFrequency(double f);

/// What a DQE was computed with besides the images.
struct IecDqeInputs {
    double kerma = 0; ///< uGy
    std::string beam, edition;
    double q = 0;
    std::string qFrom; ///< where q came from
    ConversionFunction conversion;
    double pitchMm = 0;
};

/// Fills the title, the settings, the curves of both directions with their standard errors, the
/// table (the rows at the standard frequencies, cells as printed), the Nyquist frequency, the
/// method, the program version and the date of the report; the caller adds files and warnings.
void fillIecReport(DqeReport& report, const PreciseMtfResult& edgeH, const PreciseMtfResult& edgeV,
                   const IecNnpsResult& nnps, const IecDqeResult& dqe, const IecDqeInputs& in);

} // namespace vantry
