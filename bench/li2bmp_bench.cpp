// li2bmp for the two display cases (reduction of a 4096 x 4096 region into 1000 x 1000 and
// enlargement of 1000 x 1000 into 2000 x 2000), the portable path, and the memory-read bound
// measured with a STREAM-like copy.
#include "li2bmp_passes.h"
#include "parvel.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

struct Scene {
    int sw, sh, dw, dh;
    std::vector<int16_t> img;
    std::vector<uint8_t> lut = std::vector<uint8_t>(65536);
    std::vector<uint8_t> dst;
    Scene(int sourceW, int sourceH, int destW, int destH)
        : sw(sourceW), sh(sourceH), dw(destW), dh(destH),
          img(static_cast<size_t>(sourceW) * sourceH), dst(static_cast<size_t>((destW + 3) / 4 * 4) * destH)
    {
        std::mt19937 rng(3);
        std::uniform_int_distribution<int> d(0, 4095);
        for (auto& p : img) p = static_cast<int16_t>(d(rng));
        for (size_t i = 0; i < lut.size(); ++i) lut[i] = static_cast<uint8_t>(i * 7);
    }
    uint8_t* lutAtZero() { return lut.data() + 32768; }
};

void runExported(benchmark::State& state, Scene& s)
{
    for (auto _ : state) {
        li2bmp(s.dst.data(), s.img.data(), s.sw, 0, s.sw, s.sh, 0, 0, s.dw, s.dh, s.lutAtZero());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(s.dw) * s.dh);
}

void BM_li2bmpReduce4096To1000(benchmark::State& state)
{
    Scene s(4096, 4096, 1000, 1000);
    runExported(state, s);
}

void BM_li2bmpEnlarge1000To2000(benchmark::State& state)
{
    Scene s(1000, 1000, 2000, 2000);
    runExported(state, s);
}

void BM_li2bmpPortableReduce4096To1000(benchmark::State& state)
{
    Scene s(4096, 4096, 1000, 1000);
    for (auto _ : state) {
        parvel::li2bmpWith(parvel::li2bmpPortablePasses(), s.dst.data(), s.img.data(), s.sw, s.sw, s.sh,
                           0, 0, s.dw, s.dh, s.lutAtZero());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(s.dw) * s.dh);
}

// Copies 64 MiB (well past the caches) to measure the memory bandwidth: the reduction reads two
// of every ~4.1 source rows of 8 KiB (16 MiB for one frame), so the read bound in output pixels
// per second is the bandwidth / 16 bytes.
void BM_streamCopy64MiB(benchmark::State& state)
{
    const size_t bytes = 64u << 20;
    std::vector<char> a(bytes, 1), b(bytes, 0);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
    state.counters["read_bound_pixels"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * static_cast<double>(bytes) / 16.0, benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(BM_li2bmpReduce4096To1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_li2bmpEnlarge1000To2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_li2bmpPortableReduce4096To1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_streamCopy64MiB)->Unit(benchmark::kMillisecond);
