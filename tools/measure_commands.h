#pragma once
// The commands of vantry-measure, each in its own file, all writing into a CommandOutput; and the
// one entry that runs a parsed command line, which main and batch share.

#include "measure_cli.h"
#include "measure_convert.h"
#include "measure_iec.h"
#include "measure_output.h"

namespace vantry::cli {

int readCommand(const Options& o, CommandOutput& out);
int viewCommand(const Options& o, CommandOutput& out);
int roiCommand(const Options& o, CommandOutput& out);
int mtfCommand(const Options& o, CommandOutput& out);
int nnpsCommand(const Options& o, CommandOutput& out);
int dqeCommand(const Options& o, CommandOutput& out);

/// Runs the command of `o` (after the guard against outputs over inputs) into `out`; its exit
/// status, also in out.status.
int runCommand(const Options& o, CommandOutput& out);

} // namespace vantry::cli
