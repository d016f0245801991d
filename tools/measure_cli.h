#pragma once
// The pieces every vantry-measure command shares: the parsed options, the usage and failure exits,
// number and ROI texts, and a workspace on the scripted host with a file read into view 0.

#include "kernel_binding.h"
#include "measure_output.h"
#include "korvelf.h"
#include "program_folder.h"
#include "roi_record.h"
#include "scripted_host.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantry::cli {

/// The whole --help text.
extern const char* const kUsage;

struct Options {
    std::string command;
    std::string file;               ///< the first FILE
    std::vector<std::string> files; ///< every FILE, in order
    std::map<std::string, std::vector<std::string>> values; // --name -> values ("" for flags)

    bool has(const std::string& name) const { return values.count(name) != 0; }
    const std::string& value(const std::string& name) const { return values.at(name).back(); }
};

/// Options that take a value, and flags.
extern const std::vector<std::string> kValued;
extern const std::vector<std::string> kFlags;

/// Prints why and the usage to stderr; returns 2.
int usageError(const std::string& why);
/// Prints why to stderr; returns 3.
int failure(const std::string& why);
/// The value of a text that is wholly one decimal number: sign, digits with an optional point,
/// optional exponent E; no blanks, no hexadecimal, no inf or nan.
std::optional<double> decimalOf(const std::string& text);
/// The first option of `o` that `allowed` does not hold, or an empty text.
std::string foreignOption(const Options& o, const std::vector<std::string>& allowed);
std::optional<Options> parse(int argc, char** argv, std::string& error);
/// Why an output of the run (--dump, --png, --svg, --report) names one of its input files (FILE,
/// --edge, --edge-h, --edge-v, --flat, --list), however named; an empty text when none does.
std::string outputOverwritesInput(const Options& o);

/// A started workspace on the scripted host with FILE read into view 0, as the Read button reads
/// it with the chosen preset; the exit status of a failure, or 0.
struct Session {
    ScriptedHost host;
    KernelBinding kernels{programFolder()};
    Korvelf k{host, kernels};
};

/// Starts the workspace on the scripted host and chooses the preset of --preset (from the list of
/// --list) with the conversion options, as the window's boxes hold them; the exit status of a
/// failure, or 0.
int startSession(const Options& o, Session& s, CommandOutput& out, int32_t paneW = 0, int32_t paneH = 0);
/// Reads `path` into view 0 as the Read button does with the chosen preset; why it was not read,
/// or an empty text.
std::string readFile(Session& s, const std::string& path);
/// The workspace started and FILE read into view 0; the exit status of a failure, or 0.
int openFile(const Options& o, Session& s, CommandOutput& out, int32_t paneW = 0, int32_t paneH = 0);

/// A text that is wholly a decimal integer with an optional sign, within the Int32 range.
std::optional<int32_t> int32Of(std::string_view text);
/// The integers of `text` split at `sep`; nullopt unless there are exactly `count` of them.
std::optional<std::vector<int32_t>> integersOf(const std::string& text, char sep, size_t count);
/// "X,Y,W,H" with 16-bit position and positive 16-bit size.
std::optional<RoiRecord> roiOf(const std::string& text);
/// A clipboard text with LF line ends, as the terminal shows it.
std::string withLf(std::string text);
/// A message box text as one line of the error output.
std::string oneLine(std::string text);
/// A message of edge warnings, one "warning ..." line each.
bool isWarning(const std::string& message);
/// The warning lines of the messages from `first` on, each ending in a line feed.
std::string warningLines(const ScriptedHost& host, size_t first);
/// A number option within [lo, hi], or a usage error text.
std::optional<double> rangedOption(const Options& o, const std::string& name, double lo, double hi,
                                   std::string& error);

} // namespace vantry::cli
