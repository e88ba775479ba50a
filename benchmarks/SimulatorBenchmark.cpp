// Generation bandwidth of the simulated camera for several pixel formats, each next to memset
// on a buffer of the same size.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "framegrabber/Quibbon.h"
#include "simulator/PatternGenerator.h"

namespace {

using Quibbon::Sim::ImageGenerator;
using Quibbon::Sim::ImageSpec;

constexpr uint32_t kMono8 = 0x01080001;
constexpr uint32_t kBayerRG8 = 0x01080009;
constexpr uint32_t kRGB8 = 0x02180014;
constexpr uint32_t kMono12Packed = 0x010C0006;
constexpr uint32_t kMono16 = 0x01100007;
constexpr uint32_t kYUV422Packed = 0x0210001F;
constexpr uint32_t kRGB8Planar = 0x02180021;

ImageSpec SpecOf(const benchmark::State& state, uint32_t format) {
    return {format, static_cast<uint32_t>(state.range(0)), static_cast<uint32_t>(state.range(1)),
            Quibbon::kPatternMovingRamp};
}

void BM_Generate(benchmark::State& state, uint32_t format) {
    const ImageGenerator generator(SpecOf(state, format));
    std::vector<uint8_t> buffer(generator.PayloadSize());
    uint32_t frame = 0;
    for (auto _ : state) {
        generator.Render(frame++, buffer.data());
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * buffer.size()));
}

void BM_Memset(benchmark::State& state, uint32_t format) {
    const ImageGenerator generator(SpecOf(state, format));
    std::vector<uint8_t> buffer(generator.PayloadSize());
    int value = 0;
    for (auto _ : state) {
        std::memset(buffer.data(), value++ & 0xFF, buffer.size());
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * buffer.size()));
}

#define QUARVO_FORMAT_BENCHMARKS(name, code)                                                   \
    BENCHMARK_CAPTURE(BM_Generate, name, code)->Args({640, 480})->Args({4096, 3072});        \
    BENCHMARK_CAPTURE(BM_Memset, name, code)->Args({640, 480})->Args({4096, 3072});

QUARVO_FORMAT_BENCHMARKS(Mono8, kMono8)
QUARVO_FORMAT_BENCHMARKS(BayerRG8, kBayerRG8)
QUARVO_FORMAT_BENCHMARKS(RGB8, kRGB8)
QUARVO_FORMAT_BENCHMARKS(RGB8Planar, kRGB8Planar)
QUARVO_FORMAT_BENCHMARKS(YUV422Packed, kYUV422Packed)
QUARVO_FORMAT_BENCHMARKS(Mono12Packed, kMono12Packed)
QUARVO_FORMAT_BENCHMARKS(Mono16, kMono16)

}  // namespace

BENCHMARK_MAIN();
