#include "curves_file.h"

#include "mtf_summary.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <map>
#include <set>
#include <utility>

namespace vantry {
namespace {

using Json = nlohmann::ordered_json;

/// Deepest nesting of arrays and objects read: a curves file needs 4.
constexpr int kMaxNesting = 64;
constexpr size_t kMaxText = 4096; ///< longest text field
constexpr int kMinPoints = 4;     ///< what "Compare", "Clip" and "DQE calc." need of a curve
constexpr double kMaxPitchMm = 1000;
constexpr double kMinPitchMm = 1e-6;

// ---- writing ----

/// The double whose shortest decimal text is that of the float `f` and that turns back into
/// exactly `f`: the file shows 0.1, not 0.10000000149011612.
double shortestOf(float f)
{
    char buf[64];
    const auto written = std::to_chars(buf, buf + sizeof buf, f);
    double d = 0;
    const auto read = std::from_chars(buf, written.ptr, d);
    if (written.ec != std::errc() || read.ec != std::errc() || static_cast<float>(d) != f) {
        return static_cast<double>(f);
    }
    return d;
}

/// A double that holds a float value written as that float's shortest text.
double shortestOfDouble(double v)
{
    const auto f = static_cast<float>(v);
    return static_cast<double>(f) == v ? shortestOf(f) : v;
}

/// JSON text of one value on one line. Bytes that are not UTF-8 (a path from an odd file system)
/// become U+FFFD rather than stopping the save.
std::string text(const Json& j)
{
    return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Json sourceJson(const CurveSource& s)
{
    Json settings = Json::object();
    for (const auto& [name, value] : s.settings) settings[name] = value;
    return Json{{"label", s.label},         {"path", s.path},           {"sha256", s.sha256},    {"preset", s.preset},
                {"pitch", shortestOfDouble(s.pitchMm)}, {"pitchFrom", s.pitchFrom}, {"roi", s.roi},
                {"method", s.method},       {"settings", settings},  {"date", s.date},
                {"version", s.version}};
}

/// One curve, one point a line.
std::string curveText(int number, const char* kind, const VylsfRecord& r, float pitch, const float* freq,
                      const std::vector<double>& values, const float* se, int32_t n, const CurveSource& source)
{
    const auto slot = static_cast<size_t>(number - 1);
    std::string out = "    {\n";
    out += "      \"number\": " + std::to_string(number) + ",\n";
    out += "      \"kind\": \"" + std::string(kind) + "\",\n";
    out += "      \"label\": " + text(r.DATALBL[slot]) + ",\n";
    out += "      \"colour\": " + std::to_string(r.COLTAB[slot]) + ",\n";
    out += "      \"pitch\": " + text(shortestOf(pitch)) + ",\n";
    out += "      \"source\": " + text(sourceJson(source)) + ",\n";
    out += "      \"points\": [\n";
    for (int32_t i = 0; i < n; ++i) {
        Json point = Json::array({shortestOf(freq[i]), values[static_cast<size_t>(i)]});
        if (se != nullptr) point.push_back(shortestOf(se[i]));
        out += "        " + text(point) + (i + 1 < n ? ",\n" : "\n");
    }
    out += "      ]\n    }";
    return out;
}

// ---- reading ----

struct Bad {
    std::string text;
};

[[noreturn]] void bad(std::string text)
{
    throw Bad{std::move(text)};
}

/// Line (1-based) of byte `offset` of `text`.
size_t lineOf(std::string_view text, size_t offset)
{
    offset = std::min(offset, text.size());
    return 1 + static_cast<size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
}

/// Where things start in the text: the top-level keys and the elements of the top-level
/// "curves" array; and the deepest nesting. Read on a text nlohmann has not parsed yet, so it
/// only has to be right for valid JSON and must merely stay inside the text for any other.
struct TextMap {
    std::map<std::string, size_t> keys;
    std::vector<size_t> curves;
    int deepest = 0;
    size_t deepestAt = 0;
};

TextMap mapText(std::string_view t)
{
    TextMap m;
    int depth = 0;
    bool curvesNext = false;  // the last top-level key was "curves"
    int curvesDepth = -1;     // depth inside the "curves" array, while in it
    bool elementNext = false; // the next value at curvesDepth starts an element
    for (size_t i = 0; i < t.size(); ++i) {
        const char c = t[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
        if (depth == curvesDepth && elementNext && c != ']') {
            m.curves.push_back(i);
            elementNext = false;
        }
        if (c == '"') {
            const size_t start = i;
            std::string s;
            for (++i; i < t.size() && t[i] != '"'; ++i) {
                if (t[i] == '\\') ++i;
                else s += t[i];
            }
            if (depth == 1 && curvesDepth < 0) {
                size_t j = i + 1;
                while (j < t.size() && (t[j] == ' ' || t[j] == '\t' || t[j] == '\r' || t[j] == '\n')) ++j;
                if (j < t.size() && t[j] == ':') {
                    m.keys.emplace(s, start);
                    curvesNext = s == "curves";
                }
            }
            continue;
        }
        if (c == '{' || c == '[') {
            ++depth;
            if (depth > m.deepest) {
                m.deepest = depth;
                m.deepestAt = i;
            }
            if (c == '[' && depth == 2 && curvesNext && curvesDepth < 0) {
                curvesDepth = 2;
                elementNext = true;
            }
            curvesNext = false;
        } else if (c == '}' || c == ']') {
            if (depth == curvesDepth) curvesDepth = -3; // the array is over; later keys are not its
            --depth;
        } else if (c == ',') {
            if (depth == curvesDepth) elementNext = true;
        }
    }
    return m;
}

struct Reader {
    std::string_view textIn;
    const TextMap& map;

    std::string topLine(const std::string& key) const
    {
        const auto found = map.keys.find(key);
        return "line " + std::to_string(found == map.keys.end() ? 1 : lineOf(textIn, found->second)) + ": ";
    }
    std::string curveLine(size_t index) const
    {
        if (index < map.curves.size()) return "line " + std::to_string(lineOf(textIn, map.curves[index])) + ": ";
        return {};
    }
};

const Json& member(const Json& object, const std::string& key, const std::string& at, const std::string& path)
{
    const auto found = object.find(key);
    if (found == object.end()) bad(at + path + "." + key + " is missing");
    return *found;
}

std::string shown(const Json& j)
{
    std::string s = text(j);
    if (s.size() > 40) s = s.substr(0, 37) + "...";
    return s;
}

int64_t wholeNumber(const Json& j, int64_t lo, int64_t hi, const std::string& where)
{
    if (j.is_number_unsigned()) {
        const auto u = j.get<uint64_t>();
        if (u <= static_cast<uint64_t>(hi) && static_cast<int64_t>(u) >= lo) return static_cast<int64_t>(u);
    } else if (j.is_number_integer()) {
        const auto s = j.get<int64_t>();
        if (s >= lo && s <= hi) return s;
    }
    bad(where + " is " + shown(j) + ", not a whole number from " + std::to_string(lo) + " to " + std::to_string(hi));
}

std::string textValue(const Json& j, const std::string& where)
{
    if (!j.is_string()) bad(where + " is " + shown(j) + ", not a text");
    std::string s = j.get<std::string>();
    if (s.size() > kMaxText) bad(where + " is longer than " + std::to_string(kMaxText) + " characters");
    return s;
}

double finiteNumber(const Json& j, const std::string& where)
{
    if (!j.is_number()) bad(where + " is " + shown(j) + ", not a number");
    const double d = j.get<double>();
    if (!std::isfinite(d)) bad(where + " is not a finite number");
    return d;
}

/// A number that a single-precision store keeps as a finite value.
float singleNumber(const Json& j, const std::string& where)
{
    const double d = finiteNumber(j, where);
    if (std::fabs(d) > static_cast<double>(FLT_MAX)) bad(where + " is " + shown(j) + ", beyond the range the store keeps");
    return static_cast<float>(d);
}

CurveSource readSource(const Json& j, const std::string& at, const std::string& path)
{
    if (!j.is_object()) bad(at + path + " is " + shown(j) + ", not an object");
    CurveSource s;
    const auto optionalText = [&](const char* key, std::string& into) {
        if (const auto found = j.find(key); found != j.end()) into = textValue(*found, at + path + "." + key);
    };
    optionalText("label", s.label);
    optionalText("path", s.path);
    optionalText("sha256", s.sha256);
    optionalText("preset", s.preset);
    optionalText("pitchFrom", s.pitchFrom);
    optionalText("roi", s.roi);
    optionalText("method", s.method);
    optionalText("date", s.date);
    optionalText("version", s.version);
    if (const auto found = j.find("pitch"); found != j.end()) {
        s.pitchMm = finiteNumber(*found, at + path + ".pitch");
        if (s.pitchMm < 0) bad(at + path + ".pitch is negative");
    }
    if (const auto found = j.find("settings"); found != j.end()) {
        if (!found->is_object()) bad(at + path + ".settings is " + shown(*found) + ", not an object");
        for (const auto& [name, value] : found->items()) {
            s.settings.emplace_back(name, textValue(value, at + path + ".settings." + name));
        }
    }
    return s;
}

FileCurve readCurve(const Json& j, const std::string& at, const std::string& path)
{
    if (!j.is_object()) bad(at + path + " is " + shown(j) + ", not an object");
    FileCurve c;
    c.number = static_cast<int>(wholeNumber(member(j, "number", at, path), 1, 7, at + path + ".number"));
    c.kind = textValue(member(j, "kind", at, path), at + path + ".kind");
    if (c.kind != "mtf" && c.kind != "nnps" && c.kind != "nps") {
        bad(at + path + ".kind is \"" + c.kind + "\", not \"mtf\", \"nnps\" or \"nps\"");
    }
    c.label = textValue(member(j, "label", at, path), at + path + ".label");
    c.colour = static_cast<int>(wholeNumber(member(j, "colour", at, path), 0, kColours - 1, at + path + ".colour"));
    const double pitch = finiteNumber(member(j, "pitch", at, path), at + path + ".pitch");
    if (pitch != 0 && (pitch < kMinPitchMm || pitch > kMaxPitchMm)) {
        bad(at + path + ".pitch is " + shown(member(j, "pitch", at, path)) + ": a pitch is 0 (not known) or 1e-06 to 1000 mm");
    }
    c.pitch = static_cast<float>(pitch);
    if (const auto found = j.find("source"); found != j.end()) c.source = readSource(*found, at, path + ".source");

    const Json& points = member(j, "points", at, path);
    const std::string pp = at + path + ".points";
    const std::string named = path + ".points"; // without the line, for a second mention
    if (!points.is_array()) bad(pp + " is " + shown(points) + ", not a list of points");
    if (points.size() < static_cast<size_t>(kMinPoints) || points.size() > static_cast<size_t>(kCurvePoints)) {
        bad(pp + " has " + std::to_string(points.size()) + " points; a curve holds " + std::to_string(kMinPoints) +
            " to " + std::to_string(kCurvePoints));
    }
    const bool mtf = c.kind == "mtf";
    for (size_t i = 0; i < points.size(); ++i) {
        const Json& p = points[i];
        const std::string pi = pp + "[" + std::to_string(i) + "]";
        // An MTF's points all carry a standard error or none does, as its first point shows.
        const size_t width = !mtf ? 2 : i == 0 ? 0 : c.se.empty() ? 2 : 3;
        const bool fits = p.is_array() && (width == 0 ? p.size() == 2 || p.size() == 3 : p.size() == width);
        if (!fits) {
            const char* wanted = !mtf        ? "[frequency, power]"
                                 : width == 0 ? "[frequency, MTF] or [frequency, MTF, standard error]"
                                 : width == 2 ? "[frequency, MTF] like the first point"
                                              : "[frequency, MTF, standard error] like the first point";
            bad(pi + " is " + shown(p) + ", not " + wanted);
        }
        const float f = singleNumber(p[0], pi + "[0]");
        if (f < 0) bad(pi + "[0] is a negative frequency");
        if (!c.freq.empty() && !(f > c.freq.back())) bad(pi + "[0] does not follow " + named + "[" + std::to_string(i - 1) + "][0]: the frequencies must rise");
        c.freq.push_back(f);
        if (mtf) {
            c.value.push_back(static_cast<double>(singleNumber(p[1], pi + "[1]")));
            if (p.size() == 3) {
                const float se = singleNumber(p[2], pi + "[2]");
                if (se < 0) bad(pi + "[2] is a negative standard error");
                c.se.push_back(se);
            }
        } else {
            const double power = finiteNumber(p[1], pi + "[1]");
            if (!(power > 0)) bad(pi + "[1] is " + shown(p[1]) + ": a power is above 0");
            c.value.push_back(power);
        }
    }
    return c;
}

CurvesFile readAll(const Json& root, const Reader& reader)
{
    if (!root.is_object()) bad("line 1: the file holds " + std::string(root.type_name()) + ", not a curves file's object");
    const auto format = root.find("format");
    if (format == root.end() || !format->is_string() || format->get<std::string>() != kCurvesFormat) {
        bad(reader.topLine("format") + "not a curves file: \"format\" is " +
            (format == root.end() ? std::string("missing") : shown(*format)) + ", not \"" + kCurvesFormat + "\"");
    }
    const auto version = root.find("version");
    if (version == root.end()) bad(reader.topLine("version") + "\"version\" is missing");
    const int64_t v = wholeNumber(*version, 1, INT32_MAX, reader.topLine("version") + "\"version\"");
    if (v > kCurvesFormatVersion) {
        bad(reader.topLine("version") + "the file is of version " + std::to_string(v) +
            " of the format, written by a newer program; this one reads version " + std::to_string(kCurvesFormatVersion));
    }
    if (const auto units = root.find("units"); units != root.end() && units->is_object()) {
        if (const auto f = units->find("frequency"); f != units->end() && (!f->is_string() || *f != "cycles/mm")) {
            bad(reader.topLine("units") + "units.frequency is " + shown(*f) + ", not \"cycles/mm\"");
        }
    }
    const auto curves = root.find("curves");
    if (curves == root.end()) bad(reader.topLine("curves") + "\"curves\" is missing");
    if (!curves->is_array()) bad(reader.topLine("curves") + "\"curves\" is " + shown(*curves) + ", not a list");
    CurvesFile out;
    std::set<int> mtfNumbers, noiseNumbers;
    for (size_t i = 0; i < curves->size(); ++i) {
        const std::string at = reader.curveLine(i);
        const std::string path = "curves[" + std::to_string(i) + "]";
        FileCurve c = readCurve((*curves)[i], at, path);
        std::set<int>& numbers = c.kind == "mtf" ? mtfNumbers : noiseNumbers;
        if (!numbers.insert(c.number).second) {
            bad(at + path + ".number: a second " + (c.kind == "mtf" ? "MTF" : "noise") + " curve No." +
                std::to_string(c.number));
        }
        out.curves.push_back(std::move(c));
    }
    if (const auto last = root.find("lastMtf"); last != root.end()) {
        out.lastMtf = static_cast<int>(wholeNumber(*last, 0, 7, reader.topLine("lastMtf") + "\"lastMtf\""));
        if (out.lastMtf != 0 && mtfNumbers.count(out.lastMtf) == 0) {
            bad(reader.topLine("lastMtf") + "\"lastMtf\" is " + std::to_string(out.lastMtf) + ", which no MTF curve of the file has");
        }
    }
    if (const auto last = root.find("lastNnps"); last != root.end()) {
        out.lastNnps = static_cast<int>(wholeNumber(*last, 0, 7, reader.topLine("lastNnps") + "\"lastNnps\""));
        const bool normalised = std::any_of(out.curves.begin(), out.curves.end(), [&](const FileCurve& c) {
            return c.kind == "nnps" && c.number == out.lastNnps;
        });
        if (out.lastNnps != 0 && !normalised) {
            bad(reader.topLine("lastNnps") + "\"lastNnps\" is " + std::to_string(out.lastNnps) +
                ", which no normalised noise curve of the file has");
        }
    }
    return out;
}

} // namespace

std::string curvesFileText(const VylsfRecord& r)
{
    std::string out = "{\n";
    out += "  \"format\": \"" + std::string(kCurvesFormat) + "\",\n";
    out += "  \"version\": " + std::to_string(kCurvesFormatVersion) + ",\n";
    out += "  \"units\": " +
           text(Json{{"frequency", "cycles/mm"}, {"pitch", "mm"}, {"mtf", "1"}, {"nnps", "mm^2"},
                     {"nps", "(pixel value)^2 mm^2"}}) +
           ",\n";
    out += "  \"lastMtf\": " + std::to_string(r.LASTMTFNO) + ",\n";
    out += "  \"lastNnps\": " + std::to_string(r.LASTNPSNO) + ",\n";
    out += "  \"curves\": [";
    bool first = true;
    for (int number = 1; number <= 7; ++number) {
        const auto slot = static_cast<size_t>(number - 1);
        const int32_t n = r.MTFNUM[slot];
        if (n <= 0) continue;
        std::vector<double> values(static_cast<size_t>(n));
        for (int32_t i = 0; i < n; ++i) values[static_cast<size_t>(i)] = shortestOf(r.MTFVAL[slot][i]);
        out += std::string(first ? "\n" : ",\n") +
               curveText(number, "mtf", r, r.MTFPITCH[slot], r.MTFFRQ[slot].data(), values,
                         r.MTFHASERR[slot] == 1 ? r.MTFERR[slot].data() : nullptr, n, r.MTFFROM[slot]);
        first = false;
    }
    for (int number = 1; number <= 7; ++number) {
        const auto slot = static_cast<size_t>(number - 1);
        const int32_t n = r.NPSNUM[slot];
        if (n <= 0) continue;
        // The store keeps log10 of the power; the file the power, whose log10 is that value again.
        std::vector<double> values(static_cast<size_t>(n));
        for (int32_t i = 0; i < n; ++i) values[static_cast<size_t>(i)] = std::pow(10.0, static_cast<double>(r.NPSVAL[slot][i]));
        out += std::string(first ? "\n" : ",\n") +
               curveText(number, r.NPSRAW[slot] == 1 ? "nps" : "nnps", r, r.NPSPITCH[slot], r.NPSFRQ[slot].data(),
                         values, nullptr, n, r.NPSFROM[slot]);
        first = false;
    }
    out += first ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}

std::string readCurvesFile(const std::string& textIn, CurvesFile& out)
{
    const TextMap map = mapText(textIn);
    if (map.deepest > kMaxNesting) {
        return "line " + std::to_string(lineOf(textIn, map.deepestAt)) + ": nested deeper than " +
               std::to_string(kMaxNesting) + " levels, which no curves file is";
    }
    Json root;
    try {
        root = Json::parse(textIn);
    } catch (const Json::parse_error& e) {
        // e.byte counts from 1 and points at the character that could not be read.
        std::string why = e.what();
        const auto colon = why.find(": ", why.find("parse error"));
        if (colon != std::string::npos) why = why.substr(colon + 2);
        return "line " + std::to_string(lineOf(textIn, e.byte == 0 ? 0 : e.byte - 1)) + ": not valid JSON (" + why + ")";
    } catch (const Json::exception& e) {
        return std::string("not valid JSON (") + e.what() + ")";
    }
    try {
        out = readAll(root, Reader{textIn, map});
    } catch (const Bad& b) {
        return b.text;
    } catch (const Json::exception& e) {
        return std::string("not a curves file (") + e.what() + ")";
    }
    return {};
}

void applyCurvesFile(const CurvesFile& file, VylsfRecord& r)
{
    for (const FileCurve& c : file.curves) {
        const auto slot = static_cast<size_t>(c.number - 1);
        const auto n = static_cast<int16_t>(c.freq.size());
        r.DATALBL[slot] = c.label;
        r.COLTAB[slot] = static_cast<int16_t>(c.colour);
        if (c.kind == "mtf") {
            r.MTFNUM[slot] = n;
            r.MTFFRQ[slot].fill(0);
            r.MTFVAL[slot].fill(0);
            r.MTFERR[slot].fill(0);
            for (int16_t i = 0; i < n; ++i) {
                r.MTFFRQ[slot][i] = c.freq[static_cast<size_t>(i)];
                r.MTFVAL[slot][i] = static_cast<float>(c.value[static_cast<size_t>(i)]);
                if (!c.se.empty()) r.MTFERR[slot][i] = c.se[static_cast<size_t>(i)];
            }
            r.MTFHASERR[slot] = c.se.empty() ? 0 : 1;
            r.MTFPITCH[slot] = c.pitch;
            r.MTFSUM[slot] = summarizeMtf(r.MTFFRQ[slot].data(), r.MTFVAL[slot].data(), n, c.pitch);
            r.MTFFROM[slot] = c.source;
            r.MTFSOURCE[slot] = {"", c.source.path, c.source.preset, c.source.pitchMm, c.source.pitchFrom, c.source.roi};
        } else {
            r.NPSNUM[slot] = n;
            r.NPSFRQ[slot].fill(0);
            r.NPSVAL[slot].fill(0);
            for (int16_t i = 0; i < n; ++i) {
                r.NPSFRQ[slot][i] = c.freq[static_cast<size_t>(i)];
                r.NPSVAL[slot][i] = static_cast<float>(std::log10(c.value[static_cast<size_t>(i)]));
            }
            r.NPSRAW[slot] = c.kind == "nps" ? 1 : 0;
            r.NPSPITCH[slot] = c.pitch;
            r.NPSFROM[slot] = c.source;
            // "DQE calc." offers only a normalised curve.
            if (c.kind == "nps" && r.LASTNPSNO == c.number) r.LASTNPSNO = 0;
        }
    }
    if (file.lastMtf > 0) r.LASTMTFNO = static_cast<int16_t>(file.lastMtf);
    if (file.lastNnps > 0) r.LASTNPSNO = static_cast<int16_t>(file.lastNnps);
}

std::string openCurvesFile(const std::string& text, VylsfRecord& r)
{
    CurvesFile file;
    if (std::string error = readCurvesFile(text, file); !error.empty()) return error;
    applyCurvesFile(file, r);
    return {};
}

} // namespace vantry
