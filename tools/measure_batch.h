#pragma once
// vantry-measure batch: one command per row of a CSV file of jobs, run in parallel in this
// process, with one result row per job in job order.

#include "measure_cli.h"
#include "measure_output.h"

#include <optional>
#include <string>
#include <vector>

namespace vantry::cli {

/// One row of the jobs file.
struct BatchJob {
    int line = 0;             ///< its line in the jobs file
    std::string command, file, preset, roi, options;
};

/// The jobs of a jobs file's text; an empty list with `error` set (naming the line or column)
/// when the file is not one.
std::vector<BatchJob> batchJobs(const std::string& text, std::string& error);

/// Runs one job into `out` (status 0 or 3; a usage error of the job counts as refused).
void runBatchJob(const BatchJob& job, CommandOutput& out);

/// Runs every job on `threads` threads; the outputs in job order. `progress` is called after
/// each job with the number done (from any thread, one at a time).
std::vector<CommandOutput> runBatch(const std::vector<BatchJob>& jobs, unsigned threads,
                                    void (*progress)(size_t done, size_t total) = nullptr);

/// The results as CSV: a header row, then per job its number, command, file, status, reason and
/// figures, the figures in the columns of their names as they first appear.
std::string batchCsv(const std::vector<BatchJob>& jobs, const std::vector<CommandOutput>& outputs);
/// The results as one JSON object: "jobs" (each job's output object with "job" and "file"),
/// "ok" and "refused" counts.
std::string batchJson(const std::vector<BatchJob>& jobs, const std::vector<CommandOutput>& outputs);

/// --format of the command line taken out of the options (text when absent); nullopt with
/// `error` set when it names no format.
std::optional<OutputFormat> takeFormat(Options& o, std::string& error);

/// The batch command of the command line: JOBS.csv [--format csv|json] [--jobs N]; the exit
/// status.
int batchCommand(Options o);

} // namespace vantry::cli
