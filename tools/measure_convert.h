#pragma once
// vantry-measure convert: the conversion function of a detector from flat fields at known kerma.

#include "measure_cli.h"

namespace vantry::cli {

/// Reads each --flat with the preset, takes the mean pixel value over --roi, fits the means
/// against the --kerma values (--model linear or log) and prints the fit; the exit status.
int convert(const Options& o, CommandOutput& out);

} // namespace vantry::cli
