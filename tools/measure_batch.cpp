#include "measure_batch.h"

#include "csv_rows.h"
#include "file_kind.h"
#include "measure_commands.h"
#include "measured_from.h"
#include "output_file.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace vantry::cli {
namespace {

const std::vector<std::string> kJobColumns = {"command", "file", "preset", "roi", "options"};

/// Options a job may not carry: the report needs the Qt shell's one thread, the format is the
/// batch's own.
const std::vector<std::string> kNotInJobs = {"--report", "--format", "--jobs"};

std::vector<std::string> words(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

} // namespace

std::vector<BatchJob> batchJobs(const std::string& text, std::string& error)
{
    const std::vector<CsvRow> rows = csvRows(text, error);
    if (!error.empty()) return {};
    if (rows.empty()) {
        error = "the jobs file is empty: its first row names the columns command, file, preset, roi, options";
        return {};
    }
    std::vector<int> at(kJobColumns.size(), -1);
    for (size_t c = 0; c < rows[0].cells.size(); ++c) {
        std::string name = rows[0].cells[c];
        name.erase(0, name.find_first_not_of(" \t"));
        name.erase(name.find_last_not_of(" \t") + 1);
        const auto known = std::find(kJobColumns.begin(), kJobColumns.end(), name);
        if (known == kJobColumns.end()) {
            error = "line 1: the column \"" + name + "\" is none of command, file, preset, roi, options";
            return {};
        }
        at[static_cast<size_t>(known - kJobColumns.begin())] = static_cast<int>(c);
    }
    if (at[0] < 0) {
        error = "line 1: the jobs file has no column \"command\"";
        return {};
    }
    std::vector<BatchJob> jobs;
    for (size_t r = 1; r < rows.size(); ++r) {
        const CsvRow& row = rows[r];
        if (row.cells.size() > rows[0].cells.size()) {
            error = "line " + std::to_string(row.line) + ": " + std::to_string(row.cells.size()) +
                    " fields where the header names " + std::to_string(rows[0].cells.size());
            return {};
        }
        const auto cell = [&](size_t column) {
            const int c = at[column];
            return c >= 0 && static_cast<size_t>(c) < row.cells.size() ? row.cells[static_cast<size_t>(c)] : std::string();
        };
        jobs.push_back({row.line, cell(0), cell(1), cell(2), cell(3), cell(4)});
    }
    return jobs;
}

void runBatchJob(const BatchJob& job, CommandOutput& out)
{
    out.command = job.command;
    const auto refuse = [&](const std::string& why) {
        out.reason = why;
        out.status = 3;
    };
    if (job.command == "batch") return refuse("a batch job cannot be a batch");
    std::vector<std::string> args = {"vantry-measure", job.command};
    if (!job.file.empty()) args.push_back(job.file);
    if (!job.preset.empty()) args.insert(args.end(), {"--preset", job.preset});
    if (!job.roi.empty()) args.insert(args.end(), {"--roi", job.roi});
    for (std::string& w : words(job.options)) {
        if (std::find(kNotInJobs.begin(), kNotInJobs.end(), w) != kNotInJobs.end()) {
            return refuse(w + " is not taken in a batch job");
        }
        args.push_back(std::move(w));
    }
    if (!job.file.empty()) {
        if (const std::string kind = notAnImage(job.file); !kind.empty()) {
            return refuse("skipped: " + job.file + " is not an image but " + kind);
        }
    }
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    std::string error;
    const auto o = parse(static_cast<int>(argv.size()), argv.data(), error);
    if (!o) return refuse("usage: " + error);
    if (runCommand(*o, out) == 2) out.reason = "usage: " + out.reason;
    if (out.status != 0) out.status = 3;
}

std::vector<CommandOutput> runBatch(const std::vector<BatchJob>& jobs, unsigned threads,
                                    void (*progress)(size_t done, size_t total))
{
    std::vector<CommandOutput> outputs(jobs.size());
    std::atomic<size_t> next{0};
    std::atomic<size_t> done{0};
    std::mutex report;
    const auto work = [&] {
        for (size_t i = next++; i < jobs.size(); i = next++) {
            runBatchJob(jobs[i], outputs[i]);
            const size_t finished = ++done;
            if (progress != nullptr) {
                const std::lock_guard lock(report);
                progress(finished, jobs.size());
            }
        }
    };
    const unsigned count = std::max(1u, std::min<unsigned>(threads, static_cast<unsigned>(jobs.size())));
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < count; ++t) pool.emplace_back(work);
    work();
    for (std::thread& t : pool) t.join();
    return outputs;
}

std::string batchCsv(const std::vector<BatchJob>& jobs, const std::vector<CommandOutput>& outputs)
{
    std::vector<std::string> names;
    for (const CommandOutput& out : outputs) {
        for (const Figure& f : out.figures) {
            if (std::find(names.begin(), names.end(), f.name) == names.end()) names.push_back(f.name);
        }
    }
    std::string csv = "job,line,command,file,status,reason";
    for (const std::string& n : names) csv += "," + csvCell(n);
    csv += "\n";
    for (size_t i = 0; i < jobs.size(); ++i) {
        const CommandOutput& out = outputs[i];
        csv += std::to_string(i + 1) + "," + std::to_string(jobs[i].line) + "," + csvCell(jobs[i].command) + "," +
               csvCell(jobs[i].file) + "," + (out.status == 0 ? "ok" : "refused") + "," + csvCell(out.reason);
        for (const std::string& n : names) {
            const auto f = std::find_if(out.figures.begin(), out.figures.end(), [&](const Figure& g) { return g.name == n; });
            csv += "," + (f == out.figures.end() ? std::string() : csvCell(f->text));
        }
        csv += "\n";
    }
    return csv;
}

std::string batchJson(const std::vector<BatchJob>& jobs, const std::vector<CommandOutput>& outputs)
{
    nlohmann::ordered_json all = {{"jobs", nlohmann::ordered_json::array()}};
    size_t ok = 0;
    const std::string date = isoDateNow();
    for (size_t i = 0; i < jobs.size(); ++i) {
        nlohmann::ordered_json j = outputJson(outputs[i], date);
        j["job"] = i + 1;
        j["line"] = jobs[i].line;
        j["file"] = jobs[i].file;
        all["jobs"].push_back(j);
        ok += outputs[i].status == 0;
    }
    all["ok"] = ok;
    all["refused"] = jobs.size() - ok;
    return all.dump(2) + "\n";
}

std::optional<OutputFormat> takeFormat(Options& o, std::string& error)
{
    if (!o.has("--format")) return OutputFormat::Text;
    const std::string name = o.value("--format");
    o.values.erase("--format");
    if (name == "text") return OutputFormat::Text;
    if (name == "csv") return OutputFormat::Csv;
    if (name == "json") return OutputFormat::Json;
    error = "--format needs text, csv or json, not \"" + name + "\"";
    return std::nullopt;
}

namespace {

void showProgress(size_t done, size_t total)
{
    std::fprintf(stderr, "\rbatch: %zu of %zu jobs done", done, total);
    if (done == total) std::fputc('\n', stderr);
}

} // namespace

int batchCommand(Options o)
{
    std::string error;
    const bool named = o.has("--format");
    auto format = takeFormat(o, error);
    if (!format) return usageError(error);
    if (!named) format = OutputFormat::Csv;
    if (*format == OutputFormat::Text) return usageError("batch writes --format csv or json");
    if (o.file.empty()) return usageError("batch needs a JOBS.csv file");
    unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    if (o.has("--jobs")) {
        const auto n = int32Of(o.value("--jobs"));
        if (!n || *n < 1 || *n > 256) return usageError("--jobs needs a whole number from 1 to 256, not \"" + o.value("--jobs") + "\"");
        threads = static_cast<unsigned>(*n);
    }
    for (const auto& [name, values] : o.values) {
        if (name != "--jobs") return usageError("batch does not take " + name);
    }
    std::ifstream in(o.file, std::ios::binary);
    if (!in) return failure("cannot read the jobs file " + o.file + " (" + std::strerror(errno) + ")");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::vector<BatchJob> jobs = batchJobs(text, error);
    if (!error.empty()) return failure("jobs file " + o.file + ": " + error);

    const std::vector<CommandOutput> outputs = runBatch(jobs, threads, isatty(2) ? showProgress : nullptr);
    const std::string result = *format == OutputFormat::Json ? batchJson(jobs, outputs) : batchCsv(jobs, outputs);
    std::fputs(result.c_str(), stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        return failure(std::string("cannot write the output (") + std::strerror(errno) + ")");
    }
    const auto refused = std::count_if(outputs.begin(), outputs.end(), [](const CommandOutput& c) { return c.status != 0; });
    if (refused > 0) {
        return failure(std::to_string(refused) + " of " + std::to_string(jobs.size()) + " jobs were refused");
    }
    return 0;
}

} // namespace vantry::cli
