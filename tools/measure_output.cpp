#include "measure_output.h"

#include "file_sha256.h"
#include "measured_from.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace vantry::cli {

void CommandOutput::printf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (length > 0) {
        std::string line(static_cast<size_t>(length) + 1, '\0');
        std::vsnprintf(line.data(), line.size(), format, again);
        line.pop_back();
        text += line;
    }
    va_end(again);
}

void CommandOutput::field(const std::string& name, const std::string& value)
{
    text += name + " " + value + "\n";
    figures.push_back({name, value});
}

void CommandOutput::warningText(const std::string& lines)
{
    text += lines;
    for (size_t from = 0; from < lines.size();) {
        size_t end = lines.find('\n', from);
        if (end == std::string::npos) end = lines.size();
        const std::string line = lines.substr(from, end - from);
        const std::string lead = "warning ";
        warnings.push_back(line.rfind(lead, 0) == 0 ? line.substr(lead.size()) : line);
        from = end + 1;
    }
}

void CommandOutput::table(const std::string& name, const std::vector<std::string>& columns, const std::string& label)
{
    tables.push_back({name, label, columns, {}});
}

void CommandOutput::point(const std::vector<std::string>& cells)
{
    std::string line = "point";
    for (const std::string& c : cells) line += " " + c;
    text += line + "\n";
    tables.back().rows.push_back(cells);
}

void CommandOutput::setting(const std::string& name, const std::string& value)
{
    settings.emplace_back(name, value);
}

int CommandOutput::usage(const std::string& why)
{
    reason = why;
    return status = 2;
}

int CommandOutput::refuse(const std::string& why)
{
    reason = why;
    return status = 3;
}

std::string numberText(const char* format, double value)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

std::vector<std::vector<std::string>> tabRows(const std::string& clipboard)
{
    std::vector<std::vector<std::string>> rows;
    bool header = true;
    for (size_t from = 0; from < clipboard.size();) {
        size_t end = clipboard.find('\n', from);
        if (end == std::string::npos) end = clipboard.size();
        const std::string line = clipboard.substr(from, end - from);
        from = end + 1;
        if (header) {
            header = false;
            continue;
        }
        if (line.find('\t') == std::string::npos) continue;
        std::vector<std::string> cells;
        for (size_t at = 0;;) {
            const size_t tab = line.find('\t', at);
            cells.push_back(line.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
            if (tab == std::string::npos) break;
            at = tab + 1;
        }
        rows.push_back(std::move(cells));
    }
    return rows;
}

namespace {

/// A printed value as JSON: a number when the whole text is a finite number, else the text.
nlohmann::ordered_json valueOf(const std::string& text)
{
    if (!text.empty() && text.find_first_of(" \t,") == std::string::npos) {
        char* end = nullptr;
        if (text.find_first_of(".eEnNiI") == std::string::npos) {
            const long long whole = std::strtoll(text.c_str(), &end, 10);
            if (end == text.c_str() + text.size()) return whole;
        }
        const double v = std::strtod(text.c_str(), &end);
        if (end == text.c_str() + text.size() && std::isfinite(v)) return v;
    }
    return text;
}

/// The pitch of the first image the command read, or 0.
double pitchOf(const CommandOutput& out)
{
    return out.inputs.empty() ? 0.0 : out.inputs.front().pitchMm;
}


std::string oneLineText(std::string text)
{
    for (char& c : text) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    return text;
}

} // namespace

std::string csvCell(const std::string& text)
{
    if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

nlohmann::ordered_json outputJson(const CommandOutput& out, const std::string& date)
{
    nlohmann::ordered_json j;
    j["command"] = out.command;
    j["status"] = out.status == 0 ? "ok" : "refused";
    if (out.status != 0) j["reason"] = out.reason;
    j["version"] = VANTRY_VERSION;
    j["date"] = date;
    j["units"] = {{"frequency", "cycles/mm"}, {"pitch", "mm"}, {"nyquist", "cycles/mm"},
                  {"nnps", "mm^2"}, {"kerma", "uGy"}, {"angle", "degrees"}};
    const double pitch = pitchOf(out);
    if (pitch > 0) {
        j["pitch"] = pitch;
        j["nyquist"] = 1.0 / (2.0 * pitch);
    }
    j["inputs"] = nlohmann::ordered_json::array();
    for (const InputFile& f : out.inputs) {
        nlohmann::ordered_json in = {{"role", f.role}, {"file", f.path}, {"sha256", fileSha256(f.path)}};
        if (f.pitchMm > 0) {
            in["pitch"] = f.pitchMm;
            in["pitch_from"] = f.pitchFrom;
        }
        j["inputs"].push_back(in);
    }
    j["settings"] = nlohmann::ordered_json::object();
    for (const auto& [name, value] : out.settings) j["settings"][name] = valueOf(value);
    j["figures"] = nlohmann::ordered_json::object();
    for (const Figure& f : out.figures) j["figures"][f.name] = valueOf(f.text);
    j["warnings"] = out.warnings;
    j["curves"] = nlohmann::ordered_json::array();
    for (const ResultTable& t : out.tables) {
        nlohmann::ordered_json curve = {{"name", t.name}};
        if (!t.label.empty()) curve["label"] = t.label;
        curve["columns"] = t.columns;
        for (size_t c = 0; c < t.columns.size(); ++c) {
            nlohmann::ordered_json column = nlohmann::ordered_json::array();
            for (const auto& row : t.rows) column.push_back(c < row.size() ? valueOf(row[c]) : nlohmann::ordered_json());
            curve[t.columns[c]] = column;
        }
        j["curves"].push_back(curve);
    }
    return j;
}

std::string outputCsv(const CommandOutput& out, const std::string& date)
{
    std::string csv;
    const auto meta = [&](const std::string& key, const std::string& value) {
        csv += "# " + key + ": " + oneLineText(value) + "\n";
    };
    meta("command", out.command);
    meta("status", out.status == 0 ? "ok" : "refused");
    if (out.status != 0) meta("reason", out.reason);
    meta("version", VANTRY_VERSION);
    meta("date", date);
    for (const InputFile& f : out.inputs) {
        meta(f.role, f.path);
        meta(f.role + " sha256", fileSha256(f.path));
        if (f.pitchMm > 0) meta(f.role + " pitch (mm)", numberText("%g", f.pitchMm) + " from " + f.pitchFrom);
    }
    if (const double pitch = pitchOf(out); pitch > 0) meta("nyquist (cycles/mm)", numberText("%g", 1.0 / (2.0 * pitch)));
    for (const auto& [name, value] : out.settings) meta(name, value);
    for (const Figure& f : out.figures) meta(f.name, f.text);
    for (const std::string& w : out.warnings) meta("warning", w);
    const auto row = [&](const std::vector<std::string>& cells) {
        for (size_t c = 0; c < cells.size(); ++c) csv += (c ? "," : "") + csvCell(cells[c]);
        csv += "\n";
    };
    if (!out.tables.empty()) {
        const ResultTable& t = out.tables.front();
        if (!t.label.empty()) meta("label", t.label);
        row(t.columns);
        for (const auto& r : t.rows) row(r);
    } else if (!out.figures.empty()) {
        std::vector<std::string> names, values;
        for (const Figure& f : out.figures) {
            names.push_back(f.name);
            values.push_back(f.text);
        }
        row(names);
        row(values);
    }
    return csv;
}

std::string formatted(const CommandOutput& out, OutputFormat format)
{
    switch (format) {
    case OutputFormat::Json: return outputJson(out, isoDateNow()).dump(2) + "\n";
    case OutputFormat::Csv: return outputCsv(out, isoDateNow());
    case OutputFormat::Text: break;
    }
    return out.text;
}

} // namespace vantry::cli
