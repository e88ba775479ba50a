// Replayed images: decoding of PNG, TIFF, BMP and JPEG files into 16-bit samples, conversion into the camera's pixel format,
// and frames that show the converted images in file name order.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "simulator/ImageReplay.h"
#include "simulator/RigFile.h"
#include "tests/simulator/SimHandles.h"
#include "tests/simulator/MediaFiles.h"
#include "tests/simulator/TempFiles.h"

namespace {

using namespace Quibbon;

constexpr uint32_t kMono8 = 0x01080001;
constexpr uint32_t kMono12 = 0x01100005;
constexpr uint32_t kMono16 = 0x01100007;
constexpr uint32_t kBayerRG8 = 0x01080009;
constexpr uint32_t kRGB8 = 0x02180014;

std::vector<uint16_t> Samples(const sim_test::TempFolder& folder, const std::string& name, uint32_t channels) {
    const Sim::SourceImage image = Sim::ReadImage((folder.Path() / name).string(), 4096);
    EXPECT_EQ(image.channels, channels) << name;
    EXPECT_EQ(image.width, 2u) << name;
    return image.samples;
}

TEST(ImageReplayTest, PngFilesOfEveryKindDecodeToGreyOrColourSamples) {
    sim_test::TempFolder folder;
    const uint8_t grey[] = {0, 1, 128, 255};
    const uint8_t greyAlpha[] = {10, 0, 20, 255, 30, 128, 40, 7};
    const uint8_t rgba[] = {1, 2, 3, 0, 4, 5, 6, 255};
    const uint8_t indices[] = {0, 1, 1, 0};
    const uint16_t deep[] = {0, 1000, 65535, 4660};
    sim_test::WritePng(folder, "grey.png", 2, 2, PNG_FORMAT_GRAY, grey);
    sim_test::WritePng(folder, "ga.png", 2, 2, PNG_FORMAT_GA, greyAlpha);
    sim_test::WritePng(folder, "rgba.png", 2, 1, PNG_FORMAT_RGBA, rgba);
    sim_test::WritePng(folder, "palette.png", 2, 2, PNG_FORMAT_RGB_COLORMAP, indices, {255, 0, 0, 0, 0, 255});
    sim_test::WritePng(folder, "deep.png", 2, 2, PNG_FORMAT_LINEAR_Y, deep);

    EXPECT_EQ(Samples(folder, "grey.png", 1), (std::vector<uint16_t>{0, 257, 128 * 257, 65535}));
    EXPECT_EQ(Samples(folder, "ga.png", 1), (std::vector<uint16_t>{10 * 257, 20 * 257, 30 * 257, 40 * 257}));
    EXPECT_EQ(Samples(folder, "rgba.png", 3), (std::vector<uint16_t>{257, 514, 771, 1028, 1285, 1542}));
    EXPECT_EQ(Samples(folder, "palette.png", 3),
              (std::vector<uint16_t>{65535, 0, 0, 0, 0, 65535, 0, 0, 65535, 65535, 0, 0}));
    EXPECT_EQ(Samples(folder, "deep.png", 1), (std::vector<uint16_t>{0, 1000, 65535, 4660}));
}

// TIFF (8 and 16 bits, grey and RGB) and BMP files give their samples as PNG files do; JPEG, which
// is lossy, within a few grey levels. A folder replays them all, in file name order.
TEST(ImageReplayTest, TiffBmpAndJpegFilesDecodeToTheirSamples) {
    constexpr int kWidth = 16;
    constexpr int kHeight = 8;
    constexpr size_t kPixels = kWidth * kHeight;
    std::vector<uint16_t> deep(kPixels * 3);
    std::vector<uint8_t> rgb(kPixels * 3);
    std::vector<uint8_t> bgr(kPixels * 3);
    for (size_t i = 0; i < deep.size(); ++i) {
        deep[i] = static_cast<uint16_t>(i * 509 + 7);
        rgb[i] = static_cast<uint8_t>(i * 7);
    }
    for (size_t p = 0; p < kPixels; ++p) {
        std::copy_n(std::make_reverse_iterator(rgb.begin() + 3 * p + 3), 3, bgr.begin() + 3 * p);
    }
    // Luma a smooth ramp, chroma neutral: a grey picture.
    std::vector<uint8_t> yuv(kPixels * 3, 128);
    for (size_t p = 0; p < kPixels; ++p) {
        yuv[p] = static_cast<uint8_t>(16 + 12 * (p % kWidth) + 4 * (p / kWidth));
    }
    const auto widened = [](const std::vector<uint8_t>& bytes, size_t count) {
        std::vector<uint16_t> samples(count);
        std::transform(bytes.begin(), bytes.begin() + count, samples.begin(), [](uint8_t v) { return v * 257; });
        return samples;
    };

    sim_test::TempFolder folder;
    const auto write = [&](const char* name, AVCodecID codec, AVPixelFormat format, const void* samples) {
        return sim_test::WriteImageFile(folder, name, codec, format, kWidth, kHeight, samples);
    };
    const auto read = [](const std::string& path, uint32_t channels) {
        const Sim::SourceImage image = Sim::ReadImage(path, 4096);
        EXPECT_EQ(channels, image.channels) << path;
        EXPECT_EQ(static_cast<uint32_t>(kWidth), image.width) << path;
        return image.samples;
    };
    const std::vector<uint16_t> deepGrey(deep.begin(), deep.begin() + kPixels);
    EXPECT_EQ(deepGrey, read(write("a.tif", AV_CODEC_ID_TIFF, AV_PIX_FMT_GRAY16LE, deep.data()), 1));
    EXPECT_EQ(deep, read(write("b.tiff", AV_CODEC_ID_TIFF, AV_PIX_FMT_RGB48LE, deep.data()), 3));
    EXPECT_EQ(widened(rgb, rgb.size()), read(write("c.TIF", AV_CODEC_ID_TIFF, AV_PIX_FMT_RGB24, rgb.data()), 3));
    EXPECT_EQ(widened(rgb, kPixels), read(write("d.tif", AV_CODEC_ID_TIFF, AV_PIX_FMT_GRAY8, rgb.data()), 1));
    EXPECT_EQ(widened(rgb, rgb.size()), read(write("e.bmp", AV_CODEC_ID_BMP, AV_PIX_FMT_BGR24, bgr.data()), 3));
    const std::vector<uint16_t> jpeg = read(write("f.jpg", AV_CODEC_ID_MJPEG, AV_PIX_FMT_YUVJ444P, yuv.data()), 3);
    ASSERT_EQ(kPixels * 3, jpeg.size());
    for (size_t i = 0; i < jpeg.size(); ++i) {
        EXPECT_NEAR(yuv[i / 3] * 257, jpeg[i], 3 * 257) << i;
    }

    const auto set = Sim::LoadImageFolder(folder.Path().string(), 4096, uint64_t{1} << 30);
    ASSERT_EQ(6u, set->images.size());
    EXPECT_EQ(deepGrey, set->images[0].samples);
    EXPECT_EQ(jpeg, set->images[5].samples);
}

// The process's highest resident memory so far, in KiB.
long PeakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST(ImageReplayTest, ChunkLengthsTheFileOnlyClaimsAllocateNothing) {
    // After the header, a text chunk that claims 2 GiB in a file of a hundred bytes.
    sim_test::TempFolder folder;
    const uint8_t grey[64] = {};
    const std::string path = sim_test::WritePng(folder, "claims.png", 8, 8, PNG_FORMAT_GRAY, grey);
    std::ifstream in(path, std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), {}};
    in.close();
    const size_t afterHeader = 8 + 25;
    bytes.insert(afterHeader, std::string("\x7f\xff\xff\xfftEXtTitle\0", 14) + std::string(16, 'x'));
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;

    const long before = PeakResidentKiB();
    try {
        Sim::ReadImage(path, 4096);
        ADD_FAILURE() << "a truncated file decoded";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()).rfind("cannot be decoded", 0), 0u) << error.what();
    }
    EXPECT_LT(PeakResidentKiB() - before, 256 * 1024) << "KiB more at the peak";
}

TEST(ImageReplayTest, FolderDecodingStopsPastItsByteLimit) {
    // Three images of 1 MiB each decoded.
    sim_test::TempFolder folder;
    const std::vector<uint8_t> black(1024 * 512);
    for (const char* name : {"a.png", "b.png", "c.png"}) {
        sim_test::WritePng(folder, std::string("shots/") + name, 1024, 512, PNG_FORMAT_GRAY, black.data());
    }
    const std::string shots = (folder.Path() / "shots").string();
    EXPECT_EQ(Sim::LoadImageFolder(shots, 4096, 3 << 20)->bytes, 3u << 20);
    try {
        Sim::LoadImageFolder(shots, 4096, 2 << 20);
        ADD_FAILURE() << "3 MiB of images loaded within 2 MiB";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(error.what(), "images in '" + shots + "' take more than 2 MiB decoded");
    }
}

TEST(ImageReplayTest, ConversionTakesTopBitsLumaAndTheBayerSiteColour) {
    // Red, green, blue, white in the first row, black, grey, then two dark colours in the second.
    const Sim::SourceImage colour{4, 2, 3, {0xFFFF, 0, 0, 0, 0xFFFF, 0, 0, 0, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF,  //
                                            0, 0, 0, 0x8080, 0x8080, 0x8080, 0x1234, 0x5678, 0x9ABC,  //
                                            0x0F00, 0x0100, 0x00FF}};
    EXPECT_EQ(Sim::ConvertImage(colour, kMono8), (std::vector<uint8_t>{76, 150, 29, 255, 0, 0x80, 0x49, 0x05}));
    EXPECT_EQ(Sim::ConvertImage(colour, kRGB8),
              (std::vector<uint8_t>{255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255,
                                    0, 0, 0, 0x80, 0x80, 0x80, 0x12, 0x56, 0x9A, 0x0F, 0x01, 0x00}));
    // RG on even rows, GB on odd rows.
    EXPECT_EQ(Sim::ConvertImage(colour, kBayerRG8), (std::vector<uint8_t>{255, 255, 0, 255, 0, 0x80, 0x56, 0x00}));

    const Sim::SourceImage grey{4, 1, 1, {0x0000, 0x1234, 0xFFFF, 0x8001}};
    EXPECT_EQ(Sim::ConvertImage(grey, kRGB8),
              (std::vector<uint8_t>{0, 0, 0, 0x12, 0x12, 0x12, 0xFF, 0xFF, 0xFF, 0x80, 0x80, 0x80}));
    // Mono12: the top 12 bits, little-endian in two bytes.
    EXPECT_EQ(Sim::ConvertImage(grey, kMono12), (std::vector<uint8_t>{0x00, 0x00, 0x23, 0x01, 0xFF, 0x0F, 0x00, 0x08}));
}

class ReplayRig : public ::testing::Test {
protected:
    void SetUp() override {
        // Written out of name order: replay must follow the names, not the order of writing.
        for (const char* name : {"c.png", "a.png", "b.png"}) {
            std::vector<uint8_t> rgb(8 * 8 * 3);
            for (size_t i = 0; i < rgb.size(); ++i) {
                rgb[i] = static_cast<uint8_t>(i * 7 + static_cast<size_t>(name[0]) * 41);
            }
            sim_test::WritePng(folder, "shots/" + std::string(name), 8, 8, PNG_FORMAT_RGB, rgb.data());
        }
        std::string text = "[[board]]\n";
        for (const char* format : {"Mono8", "BayerRG8", "RGB8", "Mono16"}) {
            text += "[[board.camera]]\nimages = \"shots\"\npixel_format = \"" + std::string(format) + "\"\n";
        }
        rig = Sim::LoadRigFile(folder.WriteText("rig.toml", text));
    }
    std::vector<uint8_t> Converted(const char* name, uint32_t pixelFormat) const {
        return Sim::ConvertImage(Sim::ReadImage((folder.Path() / "shots" / name).string(), 4096), pixelFormat);
    }

    sim_test::TempFolder folder;
    std::shared_ptr<const Sim::Rig> rig;
};

TEST_F(ReplayRig, FramesShowTheConvertedImagesInNameOrder) {
    const std::pair<const char*, uint32_t> cameras[] = {
        {"Cam00", kMono8}, {"Cam01", kBayerRG8}, {"Cam02", kRGB8}, {"Cam03", kMono16}};
    const char* order[] = {"a.png", "b.png", "c.png"};
    for (const auto& [id, pixelFormat] : cameras) {
        sim_test::OpenCamera camera(rig, "Board0", id);
        EXPECT_EQ(camera.Get(kParamTestPattern), kPatternImages);
        ASSERT_EQ(camera.Set(kParamFrameRate, 0), kOk);
        auto stream = camera.Stream();
        for (uint32_t frame = 0; frame < 4; ++frame) {
            std::vector<uint8_t> buffer(8 * 8 * 3);
            uint64_t size = buffer.size();
            FrameInfo info{};
            ASSERT_EQ(stream->Grab(buffer.data(), &size, 0, &info), kOk);
            EXPECT_EQ(info.pixelFormat, pixelFormat);
            EXPECT_EQ(info.width, 8u);
            buffer.resize(size);
            EXPECT_EQ(buffer, Converted(order[frame % 3], pixelFormat)) << id << " frame " << frame;
        }
    }
}

TEST_F(ReplayRig, ImagesFixTheSizeWhileTheyAreShown) {
    sim_test::OpenCamera camera(rig, "Board0", "Cam00");
    EXPECT_EQ(camera.Get(kParamWidth), 8);
    EXPECT_LT(camera.Set(kParamWidth, 16), 0);
    ASSERT_EQ(camera.Set(kParamTestPattern, kPatternCheckerboard), kOk);
    ASSERT_EQ(camera.Set(kParamWidth, 16), kOk);
    EXPECT_LT(camera.Set(kParamTestPattern, kPatternImages), 0);
    ASSERT_EQ(camera.Set(kParamWidth, 8), kOk);
    EXPECT_EQ(camera.Set(kParamTestPattern, kPatternImages), kOk);
}

}  // namespace
