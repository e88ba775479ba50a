// Decoding of a 1920x1080 H.264 video (60 frames, libx264 at its default quality) on one thread:
// frames a second through VideoReader::Next into Gray8 and Rgb24, and the conversion alone, so
// that the decoder's share is the difference; then the frames a Mono8 and an RGB8 camera replaying
// the video deliver.
#include <benchmark/benchmark.h>

extern "C" {
#include <libswscale/swscale.h>
}

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "simulator/RigFile.h"
#include "simulator/VideoReader.h"
#include "tests/simulator/MediaFiles.h"
#include "tests/simulator/TempFiles.h"

namespace {

using Quibbon::Sim::VideoFrame;
using Quibbon::Sim::VideoLayout;
using Quibbon::Sim::VideoReader;
using Quibbon::Sim::VideoStatus;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kFrames = 60;

// YUV 4:2:0 pictures of a moving gradient with a grain of noise, as a camera might see.
std::vector<std::vector<uint8_t>> Pictures() {
    std::vector<std::vector<uint8_t>> pictures;
    uint32_t state = 1;
    for (int n = 0; n < kFrames; ++n) {
        std::vector<uint8_t>& picture = pictures.emplace_back(size_t{kWidth} * kHeight * 3 / 2);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                state = state * 1103515245 + 12345;
                picture[size_t(y) * kWidth + x] = static_cast<uint8_t>((x + y + n * 8) / 12 + (state >> 28));
            }
        }
        for (size_t at = size_t{kWidth} * kHeight; at < picture.size(); ++at) {
            picture[at] = static_cast<uint8_t>(128 + (at / 960 + n) % 64 - 32);
        }
    }
    return pictures;
}

const std::string& VideoPath() {
    static const sim_test::TempFolder folder;
    static const std::string path = sim_test::WriteVideoFile(folder, "bench.mp4", "libx264", AV_PIX_FMT_YUV420P,
                                                             kWidth, kHeight, Pictures(), 30, "crf=23");
    return path;
}

void BM_DecodeAndConvert(benchmark::State& state) {
    VideoReader reader(VideoPath(), 4096);
    reader.SetLayout(static_cast<VideoLayout>(state.range(0)));
    VideoFrame frame;
    for (auto _ : state) {
        if (reader.Next(frame) == VideoStatus::End) {
            state.PauseTiming();
            reader.Rewind();
            state.ResumeTiming();
            reader.Next(frame);
        }
        benchmark::DoNotOptimize(frame.pixels.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodeAndConvert)->Arg(int(VideoLayout::Gray8))->Arg(int(VideoLayout::Rgb24))->Unit(benchmark::kMillisecond);

// The conversion VideoReader makes of every decoded frame, on its own.
void BM_ConvertOnly(benchmark::State& state) {
    const bool rgb = static_cast<VideoLayout>(state.range(0)) == VideoLayout::Rgb24;
    std::vector<uint8_t> source(Pictures().front());
    std::vector<uint8_t> target(size_t{kWidth} * kHeight * (rgb ? 3 : 1));
    std::unique_ptr<SwsContext, void (*)(SwsContext*)> scaler(
        sws_getContext(kWidth, kHeight, AV_PIX_FMT_YUV420P, kWidth, kHeight, rgb ? AV_PIX_FMT_RGB24 : AV_PIX_FMT_GRAY8,
                       SWS_POINT, nullptr, nullptr, nullptr),
        sws_freeContext);
    const uint8_t* planes[4] = {source.data(), source.data() + kWidth * kHeight,
                                source.data() + kWidth * kHeight * 5 / 4, nullptr};
    const int strides[4] = {kWidth, kWidth / 2, kWidth / 2, 0};
    uint8_t* out[4] = {target.data(), nullptr, nullptr, nullptr};
    const int outStrides[4] = {kWidth * (rgb ? 3 : 1), 0, 0, 0};
    for (auto _ : state) {
        sws_scale(scaler.get(), planes, strides, 0, kHeight, out, outStrides);
        benchmark::DoNotOptimize(target.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ConvertOnly)->Arg(int(VideoLayout::Gray8))->Arg(int(VideoLayout::Rgb24))->Unit(benchmark::kMillisecond);

// Unthrottled frames of a camera replaying the video (Mono8, then RGB8): the camera's decoding
// thread makes each frame while the grab copies the one before out.
void BM_ReplayIntoCamera(benchmark::State& state) {
    static const sim_test::TempFolder folder;
    const std::string format = state.range(0) == 0 ? "Mono8" : "RGB8";
    const auto rig = Quibbon::Sim::LoadRigFile(folder.WriteText(
        format + ".toml", "[[board]]\n[[board.camera]]\nframe_rate = 0\npixel_format = \"" + format +
                              "\"\nvideo = \"" + VideoPath() + "\"\n"));
    Quibbon::Sim::Camera& camera = *rig->boards.front()->cameras.front();
    Quibbon::Sim::GrabSession session;
    std::vector<uint8_t> buffer(size_t{kWidth} * kHeight * 3);
    for (auto _ : state) {
        Quibbon::FrameInfo info{};
        if (camera.Grab(session, buffer.data(), buffer.size(), 10000, &info) != Quibbon::kOk) {
            state.SkipWithError("a grab failed");
            break;
        }
    }
    camera.CloseSession(session);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReplayIntoCamera)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
