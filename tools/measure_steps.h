#pragma once
// The steps the measuring commands of vantry-measure share: a menu command of the analysis window
// answered from the command line, an edge measured as the MTF menu measures it, flat fields
// measured as the noise menu measures them, and the options they take.

#include "measure_cli.h"
#include "measure_output.h"
#include "mtf_summary.h"
#include "vylsf.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vantry::cli {

/// One menu command of the analysis window: the prompts it asks, in order, with their answers,
/// and the display mode it must leave.
struct Step {
    const char* caption;
    std::function<void(Vylsf&)> handler;
    std::vector<std::pair<std::string, std::string>> answers;
    int16_t mode;
};

/// The answers of an edge measurement.
struct MtfRequest {
    RoiRecord roi;
    std::optional<double> binw;                        ///< ESF bin width, or the window's
    std::string shift = ScriptedHost::kAcceptDefault;  ///< answer to " Shift = "
    std::string vfilter = "0";                         ///< answer to the V-filter prompt
    std::string fmax = "3", fint = "0.1";              ///< answers to "Freq. max=" and "Fint="
    std::string dataNo = ScriptedHost::kAcceptDefault; ///< answer to "Data No.="
};

/// What an edge measurement shows.
struct MtfResult {
    float proposed = 0; ///< the tilt the reprojection proposed
    float used = 0;     ///< the tilt it projected with (typed, else proposed)
    std::string warnings; ///< "warning ..." lines, each ending in a line feed
    std::string values; ///< the "MTF calc." clipboard, LF line ends
    std::string table;  ///< the "Clip MTF" clipboard, LF line ends
    MtfSummary summary; ///< the figures stored with the curve
};

/// A noise item of the analysis window as --mode names it.
struct NoiseMode {
    const char* name;
    const char* caption;
    void (*handler)(Vylsf&);
    const char* direction; ///< the answer to "Direction 0..H  1..V = ", or none
    int raw;               ///< 1 for the spectrum of blocks not divided by their means
};

/// The answers of a flat-field measurement.
struct NnpsRequest {
    RoiRecord roi;
    const NoiseMode* mode = nullptr;
    std::optional<int32_t> lines;            ///< "Average line number = ", or the default
    std::optional<std::string> nfmax, nfint; ///< the noise "Setting", or as it is
    std::string dataNo = ScriptedHost::kAcceptDefault;
};

/// What a flat-field measurement shows.
struct NnpsResult {
    size_t slot = 0;    ///< where the curve is stored, data number - 1
    std::string values; ///< the computation's clipboard, LF line ends
    std::string table;  ///< the "Clip NNPS " clipboard, LF line ends
    int64_t blocks = 0; ///< blocks averaged over all images
};

extern const NoiseMode kNoiseModes[4];
/// Independent pixels a detector's NNPS is to be averaged over.
constexpr int64_t kNnpsPixelsAskedFor = 4000000;

/// Runs a step; the reason the method refused it, or an empty text.
std::string run(Session& s, Vylsf& v, const Step& step);
/// Writes the analysis window's last chart to the file of --svg, if one is named; the exit status
/// of a failure, or 0.
int writeChart(const Options& o, const ScriptedHost& host, CommandOutput& out);
/// The answer to "Data No.=" that --data-no gives; the usage error text, or an empty text.
std::string dataNoOption(const Options& o, std::string& answer);
/// The answer to "V-filter 0..off 1..on = " that --vfilter gives; the usage error text, or an
/// empty text.
std::string vfilterOption(const Options& o, std::string& answer);
/// Presses Measure with the ROI of view 0 set to `roi`; why the analysis window did not open, or
/// an empty text.
std::string measureRoi(Session& s, const RoiRecord& roi);
/// Measures the edge in view 0 as the MTF menu does; why the window refused it, or an empty text.
std::string measureEdge(Session& s, Vylsf& v, const MtfRequest& q, MtfResult& out);
/// A figure of the MTF as the mtf command prints it: "%.4f", or the words for its absence.
std::string figureText(const std::optional<float>& value, const char* absent);
/// A text that is wholly a whole decimal number of at most 9 digits, with an optional sign.
std::optional<int32_t> wholeOf(const std::string& text);
/// --mode, --lines, --nfmax and --nfint into `q`; the usage error text, or an empty text.
std::string noiseOptions(const Options& o, NnpsRequest& q);
/// A pitch in mm as the messages give it: "0.1", "0.143".
std::string pitchText(float pitch);
/// Whether two images' pitches differ by more than the rounding of their texts.
bool pitchesDiffer(float a, float b);
/// Reads flat fields into view 0, the first last; why one was not read, or an empty text.
std::string readFlats(Session& s, const std::vector<std::string>& files,
                      std::vector<ImageBuffer>& others, std::vector<float>& pitches);
/// Measures the flat field in view 0 with `others` of the same size as the noise menu does; why
/// the window refused it, or an empty text.
std::string measureFlat(Session& s, Vylsf& v, const NnpsRequest& q,
                        const std::vector<ImageBuffer>& others, NnpsResult& out);
/// Notes the image just read into view 0 from `path` as an input of the output (its checksum,
/// pitch and where the pitch came from).
void noteInput(CommandOutput& out, const Session& s, const std::string& role, const std::string& path);
/// Notes an image read from `path` with its pitch as an input of the output.
void noteInput(CommandOutput& out, const std::string& role, const std::string& path, double pitchMm,
               const std::string& pitchFrom);

} // namespace vantry::cli
