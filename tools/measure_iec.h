#pragma once
// The IEC-style commands of vantry-measure: the noise spectrum along both axes (nnps --method
// iec) and the DQE per direction (dqe --method iec) with its PDF report.

#include "measure_cli.h"

namespace vantry::cli {

int iecNnps(const Options& o, CommandOutput& out);
int iecDqe(const Options& o, CommandOutput& out);

} // namespace vantry::cli
