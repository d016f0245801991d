// Runs one parsed vantry-measure command line into an output: the single command of main and
// every job of batch.
#include "measure_commands.h"

#include <string>
#include <vector>

namespace vantry::cli {
namespace {

/// --method iec chooses the IEC-style noise and DQE; any other method of nnps and dqe is a usage
/// error there.
bool isIec(const Options& o)
{
    return o.has("--method") && o.value("--method") == "iec";
}

} // namespace

int runCommand(const Options& o, CommandOutput& out)
{
    out.command = o.command;
    if (const std::string why = outputOverwritesInput(o); !why.empty()) return out.refuse(why);
    const std::string& c = o.command;
    if (c == "read") return readCommand(o, out);
    if (c == "view") return viewCommand(o, out);
    if (c == "roi") return roiCommand(o, out);
    if (c == "mtf") return mtfCommand(o, out);
    if (c == "nnps") return isIec(o) ? iecNnps(o, out) : nnpsCommand(o, out);
    if (c == "dqe") return isIec(o) ? iecDqe(o, out) : dqeCommand(o, out);
    if (c == "convert") return convert(o, out);
    return out.usage("unknown command " + c);
}

} // namespace vantry::cli
