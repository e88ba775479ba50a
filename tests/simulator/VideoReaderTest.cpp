// Decoded videos: lossless files give back their pictures exactly, in presentation order and with
// the container's frame durations; a rewind repeats the frames byte for byte; bad files are refused
// at load and damaged ones end without crashing.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "simulator/VideoReader.h"
#include "tests/simulator/MediaFiles.h"
#include "tests/simulator/TempFiles.h"

namespace {

using namespace Quibbon::Sim;
using namespace std::chrono_literals;
using Pictures = std::vector<std::vector<uint8_t>>;

constexpr int kWidth = 32;
constexpr int kHeight = 16;
constexpr uint32_t kMaxSide = 4096;

// Frames of noise (compressed losslessly, each is about as large as its samples), bytes a pixel.
Pictures Noise(size_t frames, size_t bytesPerPixel) {
    return sim_test::NoisePictures(frames, size_t{kWidth} * kHeight * bytesPerPixel);
}

// Every frame up to the end, with their statuses.
std::vector<VideoStatus> ReadAll(VideoReader& reader, Pictures& frames) {
    std::vector<VideoStatus> statuses;
    VideoFrame frame;
    for (VideoStatus status; (status = reader.Next(frame)) != VideoStatus::End;) {
        EXPECT_EQ(frame.index, statuses.size());
        statuses.push_back(status);
        frames.push_back(frame.pixels);
        if (statuses.size() > reader.FrameCount() + 2) {
            ADD_FAILURE() << "more frames than the file holds";
            break;
        }
    }
    EXPECT_EQ(reader.Next(frame), VideoStatus::End);
    return statuses;
}

std::string Refusal(const std::string& path, uint32_t maxSide = kMaxSide) {
    try {
        VideoReader reader(path, maxSide);
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "accepted";
}

// The bgr0 pictures as RGB24.
Pictures ToRgb(const Pictures& bgr0) {
    Pictures rgb;
    for (const auto& picture : bgr0) {
        std::vector<uint8_t>& out = rgb.emplace_back();
        for (size_t at = 0; at < picture.size(); at += 4) {
            out.insert(out.end(), {picture[at + 2], picture[at + 1], picture[at]});
        }
    }
    return rgb;
}

TEST(VideoReaderTest, LosslessFilesDecodeToTheirPicturesWithTheirFrameDurations) {
    sim_test::TempFolder folder;
    struct Case {
        std::string name;
        AVPixelFormat format;
        size_t bytesPerPixel;
        int fps;
        bool grey;
        uint32_t depth;
        VideoLayout layout;
    };
    const Case cases[] = {
        {"grey8.mkv", AV_PIX_FMT_GRAY8, 1, 25, true, 8, VideoLayout::Gray8},
        {"grey16.mkv", AV_PIX_FMT_GRAY16, 2, 10, true, 16, VideoLayout::Gray16},
        {"colour.avi", AV_PIX_FMT_BGR0, 4, 30, false, 8, VideoLayout::Rgb24},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Pictures pictures = Noise(5, c.bytesPerPixel);
        VideoReader reader(sim_test::WriteVideoFile(folder, c.name, "ffv1", c.format, kWidth, kHeight, pictures, c.fps),
                           kMaxSide);
        EXPECT_EQ(reader.Width(), uint32_t{kWidth});
        EXPECT_EQ(reader.Height(), uint32_t{kHeight});
        EXPECT_EQ(reader.Grey(), c.grey);
        EXPECT_EQ(reader.BitDepth(), c.depth);
        EXPECT_EQ(reader.Layout(), c.layout);
        ASSERT_EQ(reader.FrameCount(), 5u);
        for (uint64_t n = 0; n < 5; ++n) {
            EXPECT_EQ(reader.FrameDuration(n), std::chrono::nanoseconds(1s) / c.fps) << n;
        }
        EXPECT_EQ(reader.FrameDuration(5), 0ns);
        Pictures frames;
        EXPECT_EQ(ReadAll(reader, frames), std::vector<VideoStatus>(5, VideoStatus::Frame));
        EXPECT_EQ(frames, c.grey ? pictures : ToRgb(pictures));
    }
}

TEST(VideoReaderTest, GreyFramesWidenAndSpreadIntoTheCallersLayout) {
    sim_test::TempFolder folder;
    const Pictures pictures = Noise(2, 1);
    VideoReader reader(sim_test::WriteVideoFile(folder, "grey.mkv", "ffv1", AV_PIX_FMT_GRAY8, kWidth, kHeight,
                                                pictures, 25),
                       kMaxSide);
    reader.SetLayout(VideoLayout::Gray16);
    VideoFrame frame;
    ASSERT_EQ(reader.Next(frame), VideoStatus::Frame);
    ASSERT_EQ(frame.pixels.size(), size_t{kWidth} * kHeight * 2);
    const auto* deep = reinterpret_cast<const uint16_t*>(frame.pixels.data());
    for (size_t i = 0; i < pictures[0].size(); ++i) {
        ASSERT_EQ(deep[i], pictures[0][i] * 257) << i;
    }
    reader.SetLayout(VideoLayout::Rgb24);
    ASSERT_EQ(reader.Next(frame), VideoStatus::Frame);
    ASSERT_EQ(frame.pixels.size(), reader.FrameBytes());
    for (size_t i = 0; i < pictures[1].size(); ++i) {
        const uint8_t v = pictures[1][i];
        ASSERT_TRUE(frame.pixels[i * 3] == v && frame.pixels[i * 3 + 1] == v && frame.pixels[i * 3 + 2] == v) << i;
    }
}

// H.264 with B-frames gives its frames in presentation order, the same bytes after a rewind from
// anywhere; lossless full-range grey H.264 (decoded as YUV 4:2:0) gives its pictures exactly; a
// frame whose bytes were overwritten comes as damaged, with the pixels the decoder made of it.
TEST(VideoReaderTest, H264FramesComeInPresentationOrderAndRepeatAfterARewind) {
    if (avcodec_find_encoder_by_name("libx264") == nullptr) {
        GTEST_SKIP() << "FFmpeg has no H.264 encoder here";
    }
    sim_test::TempFolder folder;
    const Pictures grey = Noise(5, 1);
    VideoReader lossless(sim_test::WriteVideoFile(folder, "grey.mp4", "libx264", AV_PIX_FMT_GRAY8, kWidth, kHeight,
                                                  grey, 25, "qp=0:color_range=pc"),
                         kMaxSide);
    lossless.SetLayout(VideoLayout::Gray8);
    Pictures frames;
    EXPECT_EQ(ReadAll(lossless, frames), std::vector<VideoStatus>(5, VideoStatus::Frame));
    EXPECT_EQ(frames, grey);

    // Flat pictures, each 20 levels brighter than the one before, so a frame out of order shows;
    // their limited-range luma turns into full-range grey.
    Pictures pictures;
    for (int n = 0; n < 10; ++n) {
        pictures.emplace_back(size_t{kWidth} * kHeight, static_cast<uint8_t>(40 + n * 20));
        pictures.back().resize(size_t{kWidth} * kHeight * 3 / 2, 128);
    }
    VideoReader reader(sim_test::WriteVideoFile(folder, "colour.mp4", "libx264", AV_PIX_FMT_YUV420P, kWidth, kHeight,
                                                pictures, 30, "bframes=3:crf=23"),
                       kMaxSide);
    ASSERT_EQ(reader.FrameCount(), 10u);
    std::chrono::nanoseconds total{};
    for (uint64_t n = 0; n < 10; ++n) {
        EXPECT_NEAR(reader.FrameDuration(n).count(), 33333333, 1000) << n;
        total += reader.FrameDuration(n);
    }
    EXPECT_NEAR(total.count(), 333333333, 1000);
    reader.SetLayout(VideoLayout::Gray8);
    Pictures first;
    EXPECT_EQ(ReadAll(reader, first), std::vector<VideoStatus>(10, VideoStatus::Frame));
    for (size_t n = 0; n < first.size(); ++n) {
        EXPECT_NEAR(first[n][kWidth * kHeight / 2], (24 + int(n) * 20) * 255 / 219, 3) << n;
    }
    for (const size_t stop : {size_t{0}, size_t{3}, size_t{10}}) {
        reader.Rewind();
        VideoFrame frame;
        for (size_t n = 0; n < stop; ++n) {
            reader.Next(frame);
        }
        reader.Rewind();
        Pictures again;
        ReadAll(reader, again);
        EXPECT_EQ(again, first) << "rewound after " << stop;
    }

    // 64x64 pictures of noise (12 bytes of 32x16 for each 1.5 bytes of 64x64): packets of some
    // kilobytes, of which the second has its middle half overwritten.
    const std::string noisy = sim_test::WriteVideoFile(folder, "noise.mkv", "libx264", AV_PIX_FMT_YUV420P, 64, 64,
                                                       Noise(8, 12), 25, "qp=20");
    sim_test::DamagePacket(noisy, 1);
    VideoReader damaged(noisy, kMaxSide);
    Pictures pixels;
    const std::vector<VideoStatus> statuses = ReadAll(damaged, pixels);
    EXPECT_EQ(statuses.size(), 8u);
    EXPECT_NE(std::count(statuses.begin(), statuses.end(), VideoStatus::Damaged), 0);
    for (const auto& picture : pixels) {
        EXPECT_EQ(picture.size(), damaged.FrameBytes());
    }
}

TEST(VideoReaderTest, BadFilesAreRefusedAndCutOnesEndWithoutCrashing) {
    sim_test::TempFolder folder;
    const Pictures pictures = Noise(6, 1);
    const std::string whole =
        sim_test::WriteVideoFile(folder, "whole.mkv", "ffv1", AV_PIX_FMT_GRAY8, kWidth, kHeight, pictures, 25);
    const uint8_t pixel[] = {1, 2, 3};
    EXPECT_EQ(Refusal((folder.Path() / "missing.mp4").string()), "cannot be opened (No such file or directory)");
    EXPECT_EQ(Refusal(folder.WriteText("text.mp4", "not a video, only some text\n")), "is not a video file");
    EXPECT_EQ(Refusal(sim_test::WriteImageFile(folder, "image.png", AV_CODEC_ID_PNG, AV_PIX_FMT_RGB24, 1, 1, pixel)),
              "is not a video file");
    EXPECT_EQ(Refusal(sim_test::WriteAudioFile(folder, "audio.mkv")), "holds no video stream");
    EXPECT_EQ(Refusal(whole, 16), "gives no frame size that can be read, or one larger than 16 pixels a side");
    EXPECT_EQ(Refusal(whole, 31), "is 32x16, larger than 31 pixels a side");

    for (const double kept : {0.1, 0.5, 0.8}) {
        SCOPED_TRACE(kept);
        const auto size = std::filesystem::file_size(whole);
        const std::string cut = folder.Make("cut.mkv");
        std::filesystem::copy_file(whole, cut, std::filesystem::copy_options::overwrite_existing);
        std::filesystem::resize_file(cut, static_cast<uintmax_t>(size * kept));
        try {
            VideoReader reader(cut, kMaxSide);
            Pictures frames;
            const std::vector<VideoStatus> statuses = ReadAll(reader, frames);
            EXPECT_LE(statuses.size(), pictures.size());
            for (size_t n = 0; n < statuses.size(); ++n) {
                if (statuses[n] == VideoStatus::Frame) {
                    EXPECT_EQ(frames[n], pictures[n]) << n;
                }
            }
        } catch (const std::runtime_error& error) {
            EXPECT_NE(std::string(error.what()), "") << "refused without a reason";
        }
    }
}

}  // namespace
