// Replayed videos: a camera's frames are the video's decoded frames in its pixel format, in order
// and looping; without looping the frames end with the video; the video's own frame times can pace
// the camera; damaged frames arrive incomplete; bad videos fail the rig file at their line.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "simulator/ImageReplay.h"
#include "simulator/RigFile.h"
#include "simulator/VideoClip.h"
#include "tests/simulator/MediaFiles.h"
#include "tests/simulator/SimHandles.h"
#include "tests/simulator/TempFiles.h"

namespace {

using namespace Quibbon;
using Pictures = std::vector<std::vector<uint8_t>>;

constexpr int kWidth = 32;
constexpr int kHeight = 16;
constexpr int kFrames = 5;

// Pictures of noise: frames that differ everywhere, bytes a pixel.
Pictures Noise(size_t frames, size_t bytesPerPixel) {
    return sim_test::NoisePictures(frames, size_t{kWidth} * kHeight * bytesPerPixel, 7);
}

// Every frame of the video as the camera of that format must show it: decoded by the reader in
// the layout for the format's kind, converted like a replayed image.
Pictures Expected(const std::string& path, uint32_t pixelFormat) {
    const auto clip = Sim::LoadVideoClip(path, 4096);
    const Sim::VideoLayout layout = clip->LayoutFor(Sim::ShowsGrey(*Sim::FindPixelFormat(pixelFormat)));
    Sim::VideoReader reader(path, 4096);
    reader.SetLayout(layout);
    Pictures frames;
    Sim::VideoFrame frame;
    while (reader.Next(frame) != Sim::VideoStatus::End) {
        frames.push_back(Sim::ConvertImage(Sim::ImageOfFrame(frame.pixels, layout, clip->width, clip->height),
                                           pixelFormat));
    }
    return frames;
}

struct Grabbed {
    int32_t result;
    FrameInfo info;
    std::vector<uint8_t> bytes;
};

Grabbed GrabFrame(IDataStream& stream, uint32_t timeoutMs = sim_test::kGenerous) {
    Grabbed grabbed{0, {}, std::vector<uint8_t>(size_t{kWidth} * kHeight * 8)};
    uint64_t size = grabbed.bytes.size();
    grabbed.result = stream.Grab(grabbed.bytes.data(), &size, timeoutMs, &grabbed.info);
    grabbed.bytes.resize(grabbed.result == kOk ? size : 0);
    return grabbed;
}

class VideoRig : public ::testing::Test {
protected:
    std::shared_ptr<const Sim::Rig> Load(const std::string& cameras) {
        return Sim::LoadRigFile(folder.WriteText("rig.toml", "[[board]]\n" + cameras));
    }
    std::string Refusal(const std::string& camera) {
        try {
            Load("[[board.camera]]\n" + camera);
        } catch (const Sim::RigFileError& error) {
            return error.what();
        }
        return "accepted";
    }

    sim_test::TempFolder folder;
};

TEST_F(VideoRig, FramesAreTheDecodedFramesInGreyDeepColourAndBayerFormats) {
    const std::string videos[] = {
        sim_test::WriteVideoFile(folder, "grey.mkv", "ffv1", AV_PIX_FMT_GRAY8, kWidth, kHeight, Noise(kFrames, 1), 25),
        sim_test::WriteVideoFile(folder, "deep.mkv", "ffv1", AV_PIX_FMT_GRAY16LE, kWidth, kHeight, Noise(kFrames, 2), 25),
        sim_test::WriteVideoFile(folder, "colour.avi", "ffv1", AV_PIX_FMT_BGR0, kWidth, kHeight, Noise(kFrames, 4), 25),
        sim_test::WriteVideoFile(folder, "colour.mp4", "libx264", AV_PIX_FMT_YUV420P, kWidth, kHeight,
                                 Noise(kFrames, 2), 25, "qp=0:bf=2"),
    };
    const std::pair<const char*, uint32_t> formats[] = {
        {"Mono8", 0x01080001}, {"Mono16", 0x01100007}, {"RGB8", 0x02180014}, {"BayerRG8", 0x01080009}};
    std::string cameras;
    for (const std::string& video : videos) {
        for (const auto& [name, code] : formats) {
            cameras += "[[board.camera]]\nframe_rate = 0\npixel_format = \"" + std::string(name) + "\"\nvideo = \"" +
                       std::filesystem::path(video).filename().string() + "\"\n";
        }
    }
    const auto rig = Load(cameras);
    size_t index = 0;
    for (const std::string& video : videos) {
        for (const auto& [name, code] : formats) {
            const std::string id = "Cam0" + std::to_string(index);
            SCOPED_TRACE(video + " as " + name + " (" + id + ")");
            ++index;
            const Pictures expected = Expected(video, code);
            ASSERT_EQ(expected.size(), size_t{kFrames});
            sim_test::OpenCamera camera(rig, "Board0", id.c_str());
            EXPECT_EQ(camera.Get(kParamWidth), kWidth);
            EXPECT_EQ(camera.Get(kParamHeight), kHeight);
            auto stream = camera.Stream();
            // Past the end the video starts again.
            for (uint32_t n = 0; n < 2 * kFrames + 1; ++n) {
                const Grabbed frame = GrabFrame(*stream);
                ASSERT_EQ(frame.result, kOk) << n;
                EXPECT_EQ(frame.info.flags & kFrameIncomplete, 0u) << n;
                EXPECT_EQ(frame.info.pixelFormat, code);
                EXPECT_EQ(frame.bytes, expected[n % kFrames]) << "frame " << n;
            }
        }
    }
}

TEST_F(VideoRig, WithoutLoopTheFramesEndAndTheVideosTimesPaceTheCamera) {
    // Frames shown 20 ms, 180 ms, 20 ms and 40 ms: an even pace would show the third too soon.
    sim_test::WriteVideoFile(folder, "steps.mkv", "ffv1", AV_PIX_FMT_GRAY8, kWidth, kHeight, Noise(4, 1), 1000, "",
                             {0, 20, 200, 220});
    const auto rig = Load("[[board.camera]]\nvideo = \"steps.mkv\"\nframe_rate = \"source\"\nloop = false\n");
    const std::string path = (folder.Path() / "steps.mkv").string();
    const Pictures expected = Expected(path, 0x01080001);
    sim_test::OpenCamera camera(rig);
    EXPECT_EQ(camera.Get(kParamFrameRate), static_cast<int32_t>(Sim::LoadVideoClip(path, 4096)->AverageFrameRate()));

    auto stream = camera.Stream();
    const auto start = std::chrono::steady_clock::now();
    const std::chrono::milliseconds shownBefore[] = {std::chrono::milliseconds(0), std::chrono::milliseconds(20),
                                                     std::chrono::milliseconds(200), std::chrono::milliseconds(220)};
    for (uint32_t n = 0; n < 4; ++n) {
        const Grabbed frame = GrabFrame(*stream);
        ASSERT_EQ(frame.result, kOk) << n;
        EXPECT_EQ(frame.bytes, expected[n]) << n;
        // A frame is never early: each is due once the frames before it were shown their time.
        EXPECT_GE(std::chrono::steady_clock::now() - start, shownBefore[n]) << n;
    }
    EXPECT_EQ(GrabFrame(*stream, 50).result, kTimedOut) << "a frame after the last one";
    // Another stream starts at the video's first frame.
    stream.reset();
    auto again = camera.Stream();
    const Grabbed first = GrabFrame(*again);
    ASSERT_EQ(first.result, kOk);
    EXPECT_EQ(first.bytes, expected[0]);
}

TEST_F(VideoRig, StreamsOfOneCameraEachSeeTheVideoFromItsStart) {
    const std::string path = sim_test::WriteVideoFile(folder, "shared.mp4", "libx264", AV_PIX_FMT_YUV420P, kWidth,
                                                      kHeight, Noise(kFrames, 2), 25, "qp=0");
    const auto rig = Load("[[board.camera]]\nvideo = \"shared.mp4\"\nframe_rate = 0\n");
    const Pictures expected = Expected(path, 0x01080001);
    sim_test::OpenCamera camera(rig);
    // Two streams grabbing at once ask for different frames of the video all the time.
    auto watch = [&camera, &expected] {
        auto stream = camera.Stream();
        for (uint32_t n = 0; n < 3 * kFrames; ++n) {
            const Grabbed frame = GrabFrame(*stream);
            ASSERT_EQ(frame.result, kOk) << n;
            ASSERT_EQ(frame.info.frameNumber, n);
            ASSERT_EQ(frame.bytes, expected[n % kFrames]) << n;
        }
    };
    std::thread other(watch);
    watch();
    other.join();
}

// 64x64 frames of noise in H.264, whose third packet is damaged.
std::string DamagedVideo(const sim_test::TempFolder& folder) {
    const std::string path = sim_test::WriteVideoFile(folder, "damaged.mkv", "libx264", AV_PIX_FMT_YUV420P, 64, 64,
                                                      Noise(8, 12), 25, "qp=20");
    sim_test::DamagePacket(path, 2);
    return path;
}

TEST_F(VideoRig, DamagedOrVanishedVideosGiveIncompleteFrames) {
    const std::string damaged = DamagedVideo(folder);
    sim_test::WriteVideoFile(folder, "gone.mkv", "ffv1", AV_PIX_FMT_GRAY8, kWidth, kHeight, Noise(2, 1), 25);
    const auto rig = Load("[[board.camera]]\nvideo = \"damaged.mkv\"\nframe_rate = 0\n"
                          "[[board.camera]]\nvideo = \"gone.mkv\"\nframe_rate = 0\n");
    {
        sim_test::OpenCamera camera(rig, "Board0", "Cam00");
        auto stream = camera.Stream();
        uint32_t incomplete = 0;
        for (uint32_t n = 0; n < 8; ++n) {
            const Grabbed frame = GrabFrame(*stream);
            ASSERT_EQ(frame.result, kOk) << n;
            EXPECT_EQ(frame.bytes.size(), 64u * 64u) << n;
            incomplete += (frame.info.flags & kFrameIncomplete) != 0 ? 1 : 0;
        }
        EXPECT_GT(incomplete, 0u);
        EXPECT_LT(incomplete, 8u) << "the frames before the damage decode whole";
    }
    // The file is removed after the rig was made: the camera delivers frames of zeros, incomplete.
    std::filesystem::remove(folder.Path() / "gone.mkv");
    sim_test::OpenCamera camera(rig, "Board0", "Cam01");
    auto stream = camera.Stream();
    for (uint32_t n = 0; n < 3; ++n) {
        const Grabbed frame = GrabFrame(*stream);
        ASSERT_EQ(frame.result, kOk) << n;
        EXPECT_NE(frame.info.flags & kFrameIncomplete, 0u) << n;
        EXPECT_EQ(frame.bytes, std::vector<uint8_t>(size_t{kWidth} * kHeight, 0)) << n;
    }
}

TEST_F(VideoRig, BadVideosFailTheRigFileAtTheirLine) {
    const std::string rig = (folder.Path() / "rig.toml").string();
    const std::string text = folder.WriteText("text.mp4", "not a video\n");
    const std::string audio = sim_test::WriteAudioFile(folder, "audio.mkv");
    sim_test::WriteVideoFile(folder, "odd.mkv", "ffv1", AV_PIX_FMT_GRAY8, 30, 16, Pictures(1, std::vector<uint8_t>(480)),
                             25);
    sim_test::WriteVideoFile(folder, "ok.mkv", "ffv1", AV_PIX_FMT_GRAY8, kWidth, kHeight, Noise(1, 1), 25);
    sim_test::WriteImageFile(folder, "still.png", AV_CODEC_ID_PNG, AV_PIX_FMT_GRAY8, kWidth, kHeight,
                             Noise(1, 1).front().data());
    const std::string at = (folder.Path() / "").string();
    const std::pair<std::string, std::string> cases[] = {
        {"video = \"missing.mp4\"\n",
         rig + ":3: video '" + at + "missing.mp4' cannot be opened (No such file or directory)"},
        {"video = \"text.mp4\"\n", rig + ":3: video '" + text + "' is not a video file"},
        {"video = \"audio.mkv\"\n", rig + ":3: video '" + audio + "' holds no video stream"},
        {"video = \"odd.mkv\"\n", rig + ":3: video '" + at + "odd.mkv' is 30x16, not a camera size (8 to 4096 a side, "
                                                         "a multiple of 4)"},
        {"images = \".\"\nvideo = \"ok.mkv\"\n", rig + ":4: 'video' and 'images' cannot both be given"},
        {"frame_rate = \"source\"\n", rig + ":3: frame_rate \"source\" needs a 'video' to take frame times from"},
        {"video = \"ok.mkv\"\nframe_rate = \"fast\"\n",
         rig + ":4: 'frame_rate' must be a whole number from 0 to 1000000 or \"source\""},
        {"video = \"ok.mkv\"\nloop = 1\n", rig + ":4: 'loop' must be true or false"},
        {"loop = false\n", rig + ":3: 'loop' needs 'images' or a 'video' to replay"},
    };
    for (const auto& [camera, expected] : cases) {
        EXPECT_EQ(Refusal(camera), expected) << camera;
    }
}

}  // namespace
