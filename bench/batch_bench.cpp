// vantry-measure batch: 200 MTF jobs on the bundled edge, run as the command runs them.
#include "measure_batch.h"
#include "program_folder.h"

#include <benchmark/benchmark.h>

#include <thread>

namespace {

void BM_batch200MtfJobs(benchmark::State& state)
{
    const std::string edge = (vantry::programFolder() / "sample_edge.raw").string();
    std::vector<vantry::cli::BatchJob> jobs(200, {0, "mtf", edge, "SAMPLE-EDGE-RAW", "362,412,300,200", ""});
    for (auto _ : state) {
        const auto outputs = vantry::cli::runBatch(jobs, static_cast<unsigned>(state.range(0)));
        for (const auto& out : outputs) {
            if (out.status != 0) state.SkipWithError(out.reason.c_str());
        }
        benchmark::DoNotOptimize(outputs.data());
    }
}
BENCHMARK(BM_batch200MtfJobs)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
