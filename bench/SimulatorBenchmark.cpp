// Generation bandwidth of the simulated camera for several pixel formats, each next to memset
// on buffers of the same size: one buffer written again and again (which the caches may hold), and
// 16 buffers written in turn, as an acquisition with 16 queued buffers writes them. Then what one
// pass of a transformed image costs: 640 x 480 frames cropped out of a larger sensor, binned 2 x 2
// from one, and with gain and gamma, next to Generate of the same size. Last, whole grabs from an
// SFNC camera (settings, pacing, rendering) as fast as its shortest exposure lets it run.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "framegrabber/Quibbon.h"
#include "simulator/Camera.h"
#include "simulator/PatternGenerator.h"
#include "simulator/SfncRegisters.h"
#include "simulator/TransformedSource.h"

namespace {

using Quibbon::Sim::FrameShape;
using Quibbon::Sim::ImageGenerator;
using Quibbon::Sim::ImageSetup;
using Quibbon::Sim::TransformedSource;

constexpr uint32_t kMono8 = 0x01080001;
constexpr uint32_t kBayerRG8 = 0x01080009;
constexpr uint32_t kRGB8 = 0x02180014;
constexpr uint32_t kMono12Packed = 0x010C0006;
constexpr uint32_t kMono16 = 0x01100007;
constexpr uint32_t kYUV422Packed = 0x0210001F;
constexpr uint32_t kRGB8Planar = 0x02180021;

ImageSetup SetupOf(const benchmark::State& state, uint32_t format) {
    return {format, static_cast<uint32_t>(state.range(0)), static_cast<uint32_t>(state.range(1)),
            Quibbon::kPatternMovingRamp};
}

// Arguments: width, height, number of buffers written in turn.
std::vector<std::vector<uint8_t>> Buffers(const benchmark::State& state, uint64_t bytes) {
    return std::vector<std::vector<uint8_t>>(static_cast<size_t>(state.range(2)), std::vector<uint8_t>(bytes, 1));
}

void BM_Generate(benchmark::State& state, uint32_t format) {
    const ImageGenerator generator(SetupOf(state, format));
    auto buffers = Buffers(state, generator.PayloadSize());
    uint32_t frame = 0;
    for (auto _ : state) {
        generator.Render(frame, buffers[frame % buffers.size()].data());
        ++frame;
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * generator.PayloadSize()));
}

void BM_Memset(benchmark::State& state, uint32_t format) {
    const ImageGenerator generator(SetupOf(state, format));
    auto buffers = Buffers(state, generator.PayloadSize());
    uint32_t frame = 0;
    for (auto _ : state) {
        std::memset(buffers[frame % buffers.size()].data(), frame & 0xFF, generator.PayloadSize());
        ++frame;
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * generator.PayloadSize()));
}

enum class Transform { kCrop, kBinning, kGainGamma };

// A 640 x 480 image of that format: the crop at odd offsets and the binning out of a sensor of
// twice the size, gain and gamma on a sensor of the same size.
FrameShape TransformShape(uint32_t format, Transform transform) {
    constexpr uint32_t kWidth = 640;
    constexpr uint32_t kHeight = 480;
    FrameShape shape = Quibbon::Sim::PlainShape({format, kWidth, kHeight, Quibbon::kPatternMovingRamp});
    if (transform == Transform::kGainGamma) {
        shape.values.gainDb = 6;
        shape.values.gamma = 0.7;
        return shape;
    }
    shape.sensor.width = 2 * kWidth;
    shape.sensor.height = 2 * kHeight;
    if (transform == Transform::kCrop) {
        shape.geometry.offsetX = 101;
        shape.geometry.offsetY = 77;
    } else {
        shape.geometry.binningX = shape.geometry.binningY = 2;
        shape.geometry.averageX = shape.geometry.averageY = true;
    }
    return shape;
}

void BM_Transform(benchmark::State& state, uint32_t format, Transform transform) {
    const TransformedSource source(TransformShape(format, transform));
    std::vector<uint8_t> buffer(source.PayloadSize(), 1);
    uint32_t frame = 0;
    for (auto _ : state) {
        source.RenderPrefix(frame++, buffer.data(), buffer.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * source.PayloadSize()));
}

// An SFNC camera of a 640 x 480 sensor at its shortest exposure (1 us) and without a frame-rate
// limit; the exposure scales the samples, so every frame takes the transform pass. With crop, a
// 320 x 240 region of it.
void BM_SfncGrab(benchmark::State& state, uint32_t format, bool crop) {
    namespace Sfnc = Quibbon::Sim::Sfnc;
    Quibbon::Sim::CameraConfig config;
    config.identity = {"Sfnc", "Quarvo", "QS-640", "SFNC0000", "Bench", format};
    config.profile = Quibbon::Sim::CameraProfile::Sfnc;
    Quibbon::Sim::Camera camera(config);
    std::string error;
    const auto write = [&](uint64_t address, const auto& value) {
        if (camera.WriteRegisters(address, &value, sizeof value, error) != Quibbon::kOk) {
            state.SkipWithError(error.c_str());
        }
    };
    write(Sfnc::kAcquisitionFrameRateEnable, uint32_t{0});
    write(Sfnc::kExposureTime, 1.0);
    if (crop) {
        write(Sfnc::kWidth, uint32_t{320});
        write(Sfnc::kHeight, uint32_t{240});
        write(Sfnc::kOffsetX, uint32_t{101});
    }
    write(Sfnc::kAcquisitionStart, uint32_t{1});
    std::vector<uint8_t> buffer(640 * 480 * 4);
    Quibbon::Sim::GrabSession session;
    uint64_t bytes = 0;
    for (auto _ : state) {
        Quibbon::FrameInfo info{};
        if (camera.Grab(session, buffer.data(), buffer.size(), 1000, &info) != Quibbon::kOk) {
            state.SkipWithError("the grab failed");
            break;
        }
        bytes += info.payloadSize;
    }
    camera.CloseSession(session);
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

#define QUARVO_SIZES Args({640, 480, 1})->Args({640, 480, 16})->Args({2048, 2048, 1})->Args({2048, 2048, 16}) \
                         ->Args({4096, 3072, 1})->Args({4096, 3072, 16})->UseRealTime()
#define QUARVO_FORMAT_BENCHMARKS(name, code)                 \
    BENCHMARK_CAPTURE(BM_Generate, name, code)->QUARVO_SIZES; \
    BENCHMARK_CAPTURE(BM_Memset, name, code)->QUARVO_SIZES;

QUARVO_FORMAT_BENCHMARKS(Mono8, kMono8)
QUARVO_FORMAT_BENCHMARKS(BayerRG8, kBayerRG8)
QUARVO_FORMAT_BENCHMARKS(RGB8, kRGB8)
QUARVO_FORMAT_BENCHMARKS(RGB8Planar, kRGB8Planar)
QUARVO_FORMAT_BENCHMARKS(YUV422Packed, kYUV422Packed)
QUARVO_FORMAT_BENCHMARKS(Mono12Packed, kMono12Packed)
QUARVO_FORMAT_BENCHMARKS(Mono16, kMono16)

BENCHMARK_CAPTURE(BM_Transform, Mono8/crop/640x480, kMono8, Transform::kCrop)->UseRealTime();
BENCHMARK_CAPTURE(BM_Transform, Mono8/binning2x2/640x480, kMono8, Transform::kBinning)->UseRealTime();
BENCHMARK_CAPTURE(BM_Transform, Mono8/gain_gamma/640x480, kMono8, Transform::kGainGamma)->UseRealTime();
BENCHMARK_CAPTURE(BM_Transform, RGB8/crop/640x480, kRGB8, Transform::kCrop)->UseRealTime();
BENCHMARK_CAPTURE(BM_Transform, RGB8/binning2x2/640x480, kRGB8, Transform::kBinning)->UseRealTime();
BENCHMARK_CAPTURE(BM_Transform, RGB8/gain_gamma/640x480, kRGB8, Transform::kGainGamma)->UseRealTime();
BENCHMARK_CAPTURE(BM_SfncGrab, Mono8/640x480, kMono8, false)->UseRealTime();
BENCHMARK_CAPTURE(BM_SfncGrab, Mono8/crop320x240, kMono8, true)->UseRealTime();
BENCHMARK_CAPTURE(BM_SfncGrab, RGB8/640x480, kRGB8, false)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
