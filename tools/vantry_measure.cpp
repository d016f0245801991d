// vantry-measure: the workspace's handlers on the scripted host, from the command line, so that
// batch checks print the same numbers the windows show.
#include "measure_batch.h"
#include "measure_commands.h"
#include "measure_help.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

using namespace vantry::cli;

int main(int argc, char** argv)
{
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        return printHelp(kUsage);
    }
    if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) {
        return printHelp(std::string("vantry-measure ") + VANTRY_VERSION + "\n");
    }
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") != 0 && std::strcmp(argv[i], "-h") != 0) continue;
        const std::string help = commandHelp(argv[1]);
        if (help.empty()) return usageError(std::string("unknown command ") + argv[1]);
        return printHelp(help);
    }
    std::string error;
    auto options = parse(argc, argv, error);
    if (!options) return usageError(error);
    if (options->command == "batch") return batchCommand(*options);
    const auto format = takeFormat(*options, error);
    if (!format) return usageError(error);

    CommandOutput out;
    const int status = runCommand(*options, out);
    if (status == 2) return usageError(out.reason);
    // The text output before a refusal stays as it always was: what was printed, then the reason.
    if (*format == OutputFormat::Text || status == 0) std::fputs(formatted(out, *format).c_str(), stdout);
    // Output lost to a full disk or a closed pipe is a failure, not a result.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        return failure(std::string("cannot write the output (") + std::strerror(errno) + ")");
    }
    if (status != 0) return failure(out.reason);
    return 0;
}
