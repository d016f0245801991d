#include "measure_steps.h"
#include "beam_qualities.h"
#include "dqe.h"
#include "esf.h"
#include "form_load.h"
#include "image_opening.h"
#include "lsf.h"
#include "magnification.h"
#include "mtf.h"
#include "mtf_chart.h"
#include "nnps.h"
#include "nnps_chart.h"
#include "output_file.h"
#include "png_writer.h"
#include "precise_mtf_menu.h"
#include "preset_list.h"
#include "roi_statistics.h"
#include "settings.h"
#include "size_controls.h"
#include "svg_writer.h"
#include "transforms.h"
#include "vylsf.h"
#include "window_controls.h"
#include "kernel_binding.h"
#include "korvelf.h"
#include "numtext.h"
#include "program_folder.h"
#include "scripted_host.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <numbers>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantry::cli {


/// Runs a step; the reason the method refused it, or an empty text.
std::string run(Session& s, Vylsf& v, const Step& step)
{
    ScriptedHost& host = s.host;
    const size_t asked = host.prompts.size();
    const size_t said = host.messages.size();
    host.inputAnswers.clear();
    for (const auto& answer : step.answers) host.inputAnswers.push_back(answer.second);
    step.handler(v);
    // A message of warnings keeps the curve; any other message is the step's refusal.
    for (size_t i = said; i < host.messages.size(); ++i) {
        if (!isWarning(host.messages[i])) return oneLine(host.messages[i]);
    }
    // An answer taken by another prompt would measure with numbers nobody asked for.
    for (size_t i = 0; i < step.answers.size(); ++i) {
        const std::string& expected = step.answers[i].first;
        if (asked + i >= host.prompts.size() || host.prompts[asked + i].prompt != expected) {
            return std::string("\"") + step.caption + "\" did not ask \"" + expected +
                   "\" as expected";
        }
    }
    if (host.prompts.size() != asked + step.answers.size()) {
        return std::string("\"") + step.caption + "\" asked more than expected: \"" +
               host.prompts.back().prompt + "\"";
    }
    if (v.r.DSPMODE != step.mode) {
        return std::string("\"") + step.caption + "\" left the analysis window in mode " +
               std::to_string(v.r.DSPMODE) + " instead of " + std::to_string(step.mode);
    }
    return {};
}


/// Writes the analysis window's last chart to the file of --svg, if one is named; the exit status
/// of a failure, or 0.
int writeChart(const Options& o, const ScriptedHost& host, CommandOutput& out)
{
    if (!o.has("--svg")) return 0;
    if (const std::string why =
            samples::writeOutputFile(o.value("--svg"), samples::chartSvg(host.canvas.calls));
        !why.empty()) {
        return out.refuse("cannot write " + o.value("--svg") + ": " + why);
    }
    return 0;
}

/// The answer to "Data No.=" that --data-no gives (the prompt's default without it); the usage
/// error text, or an empty text.
std::string dataNoOption(const Options& o, std::string& answer)
{
    answer = ScriptedHost::kAcceptDefault;
    if (!o.has("--data-no")) return {};
    answer = o.value("--data-no");
    if (answer.size() != 1 || answer[0] < '1' || answer[0] > '7') {
        return "--data-no needs one of 1 to 7, not \"" + answer + "\"";
    }
    return {};
}

/// The answer to "V-filter 0..off 1..on = " that --vfilter gives; the usage error text, or an
/// empty text.
std::string vfilterOption(const Options& o, std::string& answer)
{
    answer = o.has("--vfilter") ? o.value("--vfilter") : "0";
    if (answer != "0" && answer != "1") return "--vfilter needs 0 or 1, not \"" + answer + "\"";
    return {};
}

/// Presses Measure with the ROI of view 0 set to `roi`; why the analysis window did not open, or
/// an empty text.
std::string measureRoi(Session& s, const RoiRecord& roi)
{
    s.k.ws.CURSLOT = 0;
    s.k.roi[0] = roi;
    s.host.analysisWindowShown = false;
    MEASUREGO_Click(s.k);
    if (!s.host.analysisWindowShown) {
        return "Measure did not open the analysis window: view 0 holds no image";
    }
    return {};
}



/// Measures the edge in view 0: the ROI, Measure, "ESF reprojection", "ESF OK", "MTF calc." and
/// "Clip MTF"; why the window refused it, or an empty text.
std::string measureEdge(Session& s, Vylsf& v, const MtfRequest& q, MtfResult& out)
{
    ScriptedHost& host = s.host;
    if (std::string why = measureRoi(s, q.roi); !why.empty()) return why;
    if (q.binw) v.r.BINW = static_cast<float>(*q.binw);
    const size_t said = host.messages.size();

    if (std::string why = run(s, v, {"ESF reprojection", DSPESF, {{" Shift = ", q.shift}}, 1});
        !why.empty()) {
        return why;
    }
    // The tilt offered as the prompt's default text, read as the prompt reads an accepted default.
    out.proposed = static_cast<float>(leadingNumber(host.prompts.back().deflt));
    if (std::string why =
            run(s, v, {"ESF OK", ESFOK, {{"V-filter 0..off 1..on = ", q.vfilter}}, 2});
        !why.empty()) {
        return why;
    }
    const Step calc{"MTF calc.",
                    MTFCLC,
                    {{"Freq. max=", q.fmax}, {"Fint=", q.fint}, {"Data No.=", q.dataNo}},
                    3};
    if (std::string why = run(s, v, calc); !why.empty()) return why;
    out.used = v.r.EDGESLOPE;
    out.warnings = warningLines(host, said);
    out.values = withLf(host.clipboardText);
    out.summary = v.r.MTFSUM[static_cast<size_t>(v.r.DATANO - 1)];
    host.clipboardText.clear();
    if (std::string why =
            run(s, v, {"Clip MTF", CLIPMTF, {{"No.=", std::to_string(v.r.DATANO)}}, 3});
        !why.empty()) {
        return why;
    }
    if (host.clipboardText.empty()) return "\"Clip MTF\" put nothing on the clipboard";
    out.table = withLf(host.clipboardText);
    return {};
}

/// A figure of the MTF as the mtf command prints it: "%.4f", or the words for its absence.
std::string figureText(const std::optional<float>& value, const char* absent)
{
    if (!value) return absent;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.4f", static_cast<double>(*value));
    return buf;
}

const NoiseMode kNoiseModes[4] = {
    {"2d", "2D-NNPS", NNPS2D_Click, nullptr, 0},
    {"1d-h", "1D-NNPS", NNPS1D_Click, "0", 0},
    {"1d-v", "1D-NNPS", NNPS1D_Click, "1", 0},
    {"nps", "2D-NPS", NPS2D_Click, nullptr, 1},
};

/// A text that is wholly a whole decimal number of at most 9 digits, with an optional sign.
std::optional<int32_t> wholeOf(const std::string& text)
{
    const size_t from = !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
    if (text.size() == from || text.size() - from > 9) return std::nullopt;
    for (size_t i = from; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
    }
    return static_cast<int32_t>(std::strtol(text.c_str(), nullptr, 10));
}

/// The noise "Setting" answered with the given texts (nullopt keeps the current value); the reason
/// it did not take them, or an empty text.
std::string setNoiseRange(Session& s, Vylsf& v, const std::optional<std::string>& nfmax,
                          const std::optional<std::string>& nfint)
{
    ScriptedHost& host = s.host;
    const size_t asked = host.prompts.size();
    const size_t said = host.messages.size();
    host.inputAnswers = {nfmax.value_or(ScriptedHost::kAcceptDefault),
                         nfint.value_or(ScriptedHost::kAcceptDefault)};
    host.msgBoxAnswers = {MsgBoxAnswer::Yes};
    SETNPS(v);
    // The summary box is the dialogue's last step, not a refusal.
    if (host.prompts.size() != asked + 2 || host.messages.size() != said + 1 ||
        host.prompts[asked].prompt != "Freq max = " ||
        host.prompts[asked + 1].prompt != "Freq interval = ") {
        return "the noise \"Setting\" did not ask \"Freq max = \" and \"Freq interval = \" as "
               "expected";
    }
    host.messages.pop_back();
    const auto took = [](const std::optional<std::string>& text, float value) {
        return !text || static_cast<float>(leadingNumber(*text)) == value;
    };
    if (!took(nfmax, v.r.NFMAX) || !took(nfint, v.r.NFINT)) {
        return "the noise \"Setting\" changed the frequency range it was given";
    }
    return {};
}



/// --mode, --lines, --nfmax and --nfint into `q`; the usage error text, or an empty text.
std::string noiseOptions(const Options& o, NnpsRequest& q)
{
    const std::string modeName = o.has("--mode") ? o.value("--mode") : "2d";
    for (const NoiseMode& m : kNoiseModes) {
        if (modeName == m.name) q.mode = &m;
    }
    if (q.mode == nullptr) {
        return "--mode needs one of 2d, 1d-h, 1d-v and nps, not \"" + modeName + "\"";
    }
    if (o.has("--lines")) {
        if (q.mode->direction == nullptr) return "--lines goes with --mode 1d-h or 1d-v";
        // The window itself refuses a number outside 1 .. 128, as it does for the operator.
        q.lines = wholeOf(o.value("--lines"));
        if (!q.lines) return "--lines needs a whole number, not \"" + o.value("--lines") + "\"";
    }
    std::string error;
    if (o.has("--nfmax")) {
        if (!rangedOption(o, "--nfmax", 0.2, 5, error)) return error;
        q.nfmax = o.value("--nfmax");
    }
    if (o.has("--nfint")) {
        if (!rangedOption(o, "--nfint", 0.01, 0.3, error)) return error;
        q.nfint = o.value("--nfint");
    }
    return {};
}

/// A pitch in mm as the messages give it: "0.1", "0.143".
std::string pitchText(float pitch)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", static_cast<double>(pitch));
    return buf;
}

/// Whether two images' pitches differ by more than the rounding of their texts.
bool pitchesDiffer(float a, float b)
{
    return std::fabs(a - b) > 1e-6f * std::max(std::fabs(a), std::fabs(b));
}

/// Reads flat fields into view 0: each after the first in turn, keeping its image in `others`,
/// then the first, which the view holds afterwards; each one's pitch as read goes to `pitches`,
/// in the order of `files`. Why one was not read, or an empty text.
std::string readFlats(Session& s, const std::vector<std::string>& files,
                      std::vector<ImageBuffer>& others, std::vector<float>& pitches)
{
    pitches.assign(files.size(), 0.0f);
    for (size_t i = 1; i < files.size(); ++i) {
        if (std::string why = readFile(s, files[i]); !why.empty()) return why;
        others.push_back(s.k.ws.IMG[0]);
        pitches[i] = s.k.ws.PIXMM[0];
    }
    std::string why = readFile(s, files.front());
    pitches[0] = s.k.ws.PIXMM[0];
    return why;
}

/// Measures the flat field in view 0, with `others` of the same size: the ROI, Measure, the
/// noise "Setting" when asked for, the item of the mode (over all images when there are others)
/// and "Clip NNPS "; why the window refused it, or an empty text.
std::string measureFlat(Session& s, Vylsf& v, const NnpsRequest& q,
                        const std::vector<ImageBuffer>& others, NnpsResult& out)
{
    ScriptedHost& host = s.host;
    if (std::string why = measureRoi(s, q.roi); !why.empty()) return why;
    if (q.nfmax || q.nfint) {
        if (std::string why = setNoiseRange(s, v, q.nfmax, q.nfint); !why.empty()) return why;
    }

    const NoiseMode& mode = *q.mode;
    Step compute{mode.caption, mode.handler, {}, 4};
    if (others.empty()) {
        if (mode.direction != nullptr) {
            const std::string lines =
                q.lines ? std::to_string(*q.lines) : ScriptedHost::kAcceptDefault;
            compute.answers = {{"Direction 0..H  1..V = ", mode.direction},
                               {"Average line number = ", lines}};
        }
    } else {
        // The settings the menu item makes before its computation, then the computation over
        // every image.
        int16_t u = 128, w = 128;
        std::string direction = " R";
        if (mode.direction != nullptr) {
            const int32_t n = q.lines.value_or(7);
            if (n < 1 || n > kBlock / 2) {
                return "Average line number " + std::to_string(n) +
                       " is outside 1 .. 128: the band takes 1 to 128 lines beside the axis.";
            }
            const bool vertical = std::string(mode.direction) == "1";
            u = static_cast<int16_t>(vertical ? n : 128);
            w = static_cast<int16_t>(vertical ? 128 : n);
            direction = vertical ? " V" : " H";
        }
        compute.handler = [u, w, direction, raw = mode.raw, &others](Vylsf& a) {
            a.r.NPSU = u;
            a.r.NPSV = w;
            a.r.NPSDIR = direction;
            nnpsOverImages(a, raw, others);
        };
    }
    compute.answers.emplace_back("Data No.= ", q.dataNo);
    const size_t asked = host.prompts.size();
    if (std::string why = run(s, v, compute); !why.empty()) {
        // The items return without a word on a ROI of partial blocks; say what the window leaves
        // the operator to notice.
        const RoiRecord& roi = s.k.roi[0];
        if (host.prompts.size() == asked && (roi.ROIW % kBlock != 0 || roi.ROIH % kBlock != 0)) {
            return "the ROI of " + std::to_string(roi.ROIW) + " x " + std::to_string(roi.ROIH) +
                   " pixels is not a whole number of " + std::to_string(kBlock) + " x " +
                   std::to_string(kBlock) + " blocks: \"" + mode.caption + "\" stored nothing";
        }
        return why;
    }
    out.slot = static_cast<size_t>(v.r.DATANO - 1);
    if (v.r.NPSNUM[out.slot] < 1) return std::string("\"") + mode.caption + "\" stored no curve";
    out.values = withLf(host.clipboardText);
    host.clipboardText.clear();
    const Step clip{"Clip NNPS ", NPSCLIP_Click, {{"Data No.=", std::to_string(v.r.DATANO)}}, 4};
    if (std::string why = run(s, v, clip); !why.empty()) return why;
    if (host.clipboardText.empty()) return "\"Clip NNPS \" put nothing on the clipboard";
    out.table = withLf(host.clipboardText);
    out.blocks = static_cast<int64_t>(q.roi.ROIW / kBlock) * (q.roi.ROIH / kBlock) *
                 static_cast<int64_t>(others.size() + 1);
    return {};
}

void noteInput(CommandOutput& out, const std::string& role, const std::string& path, double pitchMm,
               const std::string& pitchFrom)
{
    // The pitch as its single-precision value reads in decimals: 0.1, not 0.100000001.
    const double pitch = std::stod(numberText("%.7g", pitchMm));
    out.inputs.push_back({role, path, pitch, pitchFrom});
}

void noteInput(CommandOutput& out, const Session& s, const std::string& role, const std::string& path)
{
    noteInput(out, role, path, static_cast<double>(s.k.ws.PIXMM[0]), s.k.ws.READFACTS[0].pitchFrom);
}

} // namespace vantry::cli
