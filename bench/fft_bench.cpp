// fft4 forward against FFTW single precision (interleaved and split layouts, FFTW_MEASURE) and
// against a plain loop of the written algorithm, in the same run.
#include "fft4_impl.h"
#include "fourel.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

struct FftInput {
    int n, m;
    std::vector<float> re, im, sinTab, cosTab;
    explicit FftInput(int length) : n(length), m(static_cast<int>(std::log2(length))), re(length), im(length)
    {
        std::mt19937 rng(1);
        std::uniform_real_distribution<float> d(-1.0f, 1.0f);
        for (int i = 0; i < n; ++i) {
            re[i] = d(rng);
            im[i] = d(rng);
        }
        for (int k = 0; k < n / 2; ++k) {
            sinTab.push_back(static_cast<float>(std::sin(2.0 * 3.14159265358979323846 * k / n)));
            cosTab.push_back(static_cast<float>(std::cos(2.0 * 3.14159265358979323846 * k / n)));
        }
    }
};

// The same data is transformed over and over; values grow by at most n per call, and an overflow
// to infinity does not change the operation count of a radix-2 transform, so the timing stays fair.
void BM_fft4(benchmark::State& state)
{
    FftInput in(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        fft4(static_cast<int16_t>(in.n), static_cast<int16_t>(in.m), in.re.data(), in.im.data(),
             in.sinTab.data(), in.cosTab.data(), 1);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * in.n);
}

void BM_fft4WrittenLoop(benchmark::State& state)
{
    FftInput in(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        fourel::fft4Plain(in.n, in.m, in.re.data(), in.im.data(), in.sinTab.data(), in.cosTab.data(), 1);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * in.n);
}

void BM_fftwInterleaved(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    auto* data = fftwf_alloc_complex(n);
    fftwf_plan plan = fftwf_plan_dft_1d(n, data, data, FFTW_FORWARD, FFTW_MEASURE);
    FftInput in(n);
    for (int i = 0; i < n; ++i) {
        data[i][0] = in.re[i];
        data[i][1] = in.im[i];
    }
    for (auto _ : state) {
        fftwf_execute(plan);
        benchmark::ClobberMemory();
    }
    fftwf_destroy_plan(plan);
    fftwf_free(data);
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_fftwSplit(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    float* re = fftwf_alloc_real(n);
    float* im = fftwf_alloc_real(n);
    fftwf_iodim dim{n, 1, 1};
    fftwf_plan plan = fftwf_plan_guru_split_dft(1, &dim, 0, nullptr, re, im, re, im, FFTW_MEASURE);
    FftInput in(n);
    for (int i = 0; i < n; ++i) {
        re[i] = in.re[i];
        im[i] = in.im[i];
    }
    for (auto _ : state) {
        fftwf_execute(plan);
        benchmark::ClobberMemory();
    }
    fftwf_destroy_plan(plan);
    fftwf_free(re);
    fftwf_free(im);
    state.SetItemsProcessed(state.iterations() * n);
}

} // namespace

BENCHMARK(BM_fft4)->Arg(256)->Arg(512)->Arg(4096)->Arg(16384);
BENCHMARK(BM_fftwInterleaved)->Arg(256)->Arg(512)->Arg(4096)->Arg(16384);
BENCHMARK(BM_fftwSplit)->Arg(256)->Arg(512)->Arg(4096)->Arg(16384);
BENCHMARK(BM_fft4WrittenLoop)->Arg(256)->Arg(512)->Arg(4096)->Arg(16384);
