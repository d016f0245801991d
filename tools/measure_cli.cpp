#include "measure_cli.h"

#include "form_load.h"
#include "image_opening.h"
#include "numtext.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace vantry::cli {

int usageError(const std::string& why)
{
    std::fprintf(stderr, "vantry-measure: %s\n%s", why.c_str(), kUsage);
    return 2;
}

int failure(const std::string& why)
{
    std::fprintf(stderr, "vantry-measure: %s\n", why.c_str());
    return 3;
}

/// The value of a text that is wholly one decimal number: sign, digits with an optional point,
/// optional exponent E; no blanks, no hexadecimal, no inf or nan. The D exponent that the detector
/// list takes is not an option's.
std::optional<double> decimalOf(const std::string& text)
{
    if (text.find_first_of("dD") != std::string::npos) return std::nullopt;
    return wholeDecimal(text);
}



const std::vector<std::string> kValued = {"--preset", "--list", "--to-log", "--to-linear", "--dump", "--pane",
                                          "--ww", "--wl", "--mag", "--p100", "--flip", "--png", "--roi", "--back",
                                          "--binw", "--shift", "--vfilter", "--fmax", "--fint", "--data-no", "--svg",
                                          "--mode", "--lines", "--nfmax", "--nfint", "--edge",
                                          "--edge-roi", "--flat", "--flat-roi", "--kerma", "--beam",
                                          "--q", "--method", "--model", "--conversion", "--edge-h",
                                          "--edge-h-roi", "--edge-v", "--edge-v-roi", "--edition",
                                          "--report", "--format", "--jobs"};

const std::vector<std::string> kFlags = {"--linear-adj", "--negative", "--fit"};

/// The first option of `o` that `allowed` does not hold, or an empty text.
std::string foreignOption(const Options& o, const std::vector<std::string>& allowed)
{
    for (const auto& [name, values] : o.values) {
        if (std::find(allowed.begin(), allowed.end(), name) == allowed.end()) return name;
    }
    return {};
}

std::string outputOverwritesInput(const Options& o)
{
    std::vector<std::string> inputs = o.files;
    for (const char* name : {"--edge", "--edge-h", "--edge-v", "--flat", "--list"}) {
        if (o.has(name)) inputs.insert(inputs.end(), o.values.at(name).begin(), o.values.at(name).end());
    }
    for (const char* name : {"--dump", "--png", "--svg", "--report"}) {
        if (!o.has(name)) continue;
        for (const std::string& input : inputs) {
            std::error_code ec;
            if (std::filesystem::equivalent(o.value(name), input, ec) && !ec) {
                return std::string(name) + " " + o.value(name) + " is the input file " + input +
                       " of this run: nothing was written, choose another name";
            }
        }
    }
    return {};
}

std::optional<Options> parse(int argc, char** argv, std::string& error)
{
    Options o;
    if (argc < 2) {
        error = "no command given";
        return std::nullopt;
    }
    o.command = argv[1];
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (std::find(kValued.begin(), kValued.end(), a) != kValued.end()) {
            if (i + 1 >= argc) {
                error = a + " needs a value";
                return std::nullopt;
            }
            o.values[a].push_back(argv[++i]);
        } else if (std::find(kFlags.begin(), kFlags.end(), a) != kFlags.end()) {
            o.values[a].push_back("");
        } else if (a.rfind("--", 0) == 0) {
            error = "unknown option " + a;
            return std::nullopt;
        } else {
            o.files.push_back(a);
        }
    }
    // Only nnps averages over several files.
    if (o.files.size() > 1 && o.command != "nnps") {
        error = "more than one file given";
        return std::nullopt;
    }
    if (!o.files.empty()) o.file = o.files.front();
    return o;
}

/// Starts the workspace on the scripted host and chooses the preset of --preset (from the list of
/// --list) with the conversion options, as the window's boxes hold them; the exit status of a
/// failure, or 0.
int startSession(const Options& o, Session& s, CommandOutput& out, int32_t paneW, int32_t paneH)
{
    if (!o.has("--preset")) return out.usage(o.command + " needs --preset NAME");
    for (const char* factor : {"--to-log", "--to-linear"}) {
        if (!o.has(factor)) continue;
        const auto v = decimalOf(o.value(factor));
        if (!v || !(*v > 0)) {
            return out.usage(std::string(factor) + " needs a positive finite number, not \"" +
                              o.value(factor) + "\"");
        }
    }
    Korvelf& k = s.k;
    ScriptedHost& host = s.host;
    // The drawing is kept only for a chart to be written; a batch of edges draws millions of points.
    host.canvas.keepCalls = o.has("--svg");
    k.ws.programFolder = programFolder();
    if (o.has("--list")) k.listFile = o.value("--list");
    if (!Form_Load(k)) return out.refuse(host.messages.empty() ? "start-up failed" : host.messages.back());
    k.disp.DISPW = paneW;
    k.disp.DISPH = paneH;

    const std::string name = o.value("--preset");
    int entry = -1;
    for (size_t i = 0; i < k.form.CMB1.List.size() && entry < 0; ++i) {
        const std::string& line = k.form.CMB1.List[i];
        if (line.substr(0, line.find(' ')) == name) entry = static_cast<int>(i);
    }
    if (entry < 0) return out.refuse("no preset named " + name + " in the detector list");
    CMB1_Click(k, entry);
    if (!host.messages.empty()) return out.refuse(host.messages.back());
    if (k.ws.XSZ[kPresetSlot] == 0) return out.refuse("the preset " + name + " has a width of 0, so nothing is read");

    if (o.has("--to-log")) {
        k.form.LOGCCK.Value = 1;
        k.form.VAL1TX.Text = o.value("--to-log");
    }
    if (o.has("--to-linear")) k.form.LOGBAITX.Text = o.value("--to-linear");
    if (o.has("--linear-adj")) k.form.LINRCK.Value = 1;
    return 0;
}

/// Reads `path` into view 0 as the Read button does with the chosen preset; why it was not read,
/// or an empty text.
std::string readFile(Session& s, const std::string& path)
{
    ScriptedHost& host = s.host;
    const size_t said = host.messages.size();
    s.k.ws.CURSLOT = 0;
    host.fileDialogAnswers.push_back(path);
    Command1_Click(s.k);
    if (host.messages.size() > said) return host.messages.back();
    if (s.k.ws.LOADED[0] != 1) return "the file " + path + " was not read";
    return {};
}

/// The workspace started and FILE read into view 0; the exit status of a failure, or 0.
int openFile(const Options& o, Session& s, CommandOutput& out, int32_t paneW, int32_t paneH)
{
    if (o.file.empty()) return out.usage(o.command + " needs a FILE");
    if (const int status = startSession(o, s, out, paneW, paneH); status != 0) return status;
    if (const std::string why = readFile(s, o.file); !why.empty()) return out.refuse(why);
    return 0;
}

/// A text that is wholly a decimal integer with an optional sign, within the Int32 range; no
/// blanks, no other characters, no wrap-around.
std::optional<int32_t> int32Of(std::string_view text)
{
    const size_t from = !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
    if (text.size() == from) return std::nullopt;
    int64_t v = 0;
    for (size_t i = from; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        v = v * 10 + (text[i] - '0');
        if (v > int64_t{1} << 31) return std::nullopt;
    }
    if (text[0] == '-') v = -v;
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<int32_t>(v);
}

/// The integers of `text` split at `sep`; nullopt unless there are exactly `count` of them, each
/// wholly an Int32.
std::optional<std::vector<int32_t>> integersOf(const std::string& text, char sep, size_t count)
{
    std::vector<int32_t> out;
    size_t from = 0;
    while (true) {
        const size_t at = text.find(sep, from);
        const size_t length = at == std::string::npos ? std::string::npos : at - from;
        const auto v = int32Of(std::string_view(text).substr(from, length));
        if (!v) return std::nullopt;
        out.push_back(*v);
        if (at == std::string::npos) break;
        from = at + 1;
    }
    if (out.size() != count) return std::nullopt;
    return out;
}

std::optional<RoiRecord> roiOf(const std::string& text)
{
    const auto parts = integersOf(text, ',', 4);
    if (!parts) return std::nullopt;
    const int32_t x = (*parts)[0], y = (*parts)[1], w = (*parts)[2], h = (*parts)[3];
    const auto in16 = [](int32_t v) { return v >= -32768 && v <= 32767; };
    if (!in16(x) || !in16(y) || w <= 0 || h <= 0 || w > 32767 || h > 32767) return std::nullopt;
    return RoiRecord{static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<int16_t>(w), static_cast<int16_t>(h)};
}

/// A clipboard text with LF line ends, as the terminal shows it.
std::string withLf(std::string text)
{
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
        text.replace(at, 2, "\n");
    }
    return text;
}

/// A message box text as one line of the error output.
std::string oneLine(std::string text)
{
    for (char& c : text) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return text;
}

/// A message of edge warnings, one "warning ..." line each.
bool isWarning(const std::string& message)
{
    return message.rfind("warning ", 0) == 0;
}

/// The warning lines of the messages from `first` on, each ending in a line feed.
std::string warningLines(const ScriptedHost& host, size_t first)
{
    std::string lines;
    for (size_t i = first; i < host.messages.size(); ++i) {
        if (isWarning(host.messages[i])) lines += host.messages[i] + "\n";
    }
    return lines;
}

/// A number option within [lo, hi], or a usage error text.
std::optional<double> rangedOption(const Options& o, const std::string& name, double lo, double hi,
                                   std::string& error)
{
    const auto v = decimalOf(o.value(name));
    if (!v || *v < lo || *v > hi) {
        error = name + " needs a number from " + plainNumberTrimmed(lo) + " to " +
                plainNumberTrimmed(hi) + ", not \"" + o.value(name) + "\"";
        return std::nullopt;
    }
    return v;
}

} // namespace vantry::cli
