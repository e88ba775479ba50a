// Transformed images: the fast source against the per-pixel reference over many shapes, and
// checks of each stage against the untransformed sensor image that do not go through the
// reference, so that a mistake made alike in both still shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "framegrabber/Quibbon.h"
#include "simulator/ImageReplay.h"
#include "simulator/TransformedSource.h"
#include "tests/simulator/TransformReference.h"

namespace {

using namespace Quibbon;
using namespace Quibbon::Sim;

constexpr uint32_t kMono8 = 0x01080001;
constexpr uint32_t kMono8Signed = 0x01080002;
constexpr uint32_t kMono10Packed = 0x010C0004;
constexpr uint32_t kMono12Packed = 0x010C0006;
constexpr uint32_t kMono16 = 0x01100007;
constexpr uint32_t kBayerRG8 = 0x01080009;
constexpr uint32_t kBayerBG8 = 0x0108000B;
constexpr uint32_t kBayerGR12 = 0x01100010;
constexpr uint32_t kRGB8 = 0x02180014;
constexpr uint32_t kBGR8 = 0x02180015;
constexpr uint32_t kRGB10V1Packed = 0x0220001C;
constexpr uint32_t kYUV411Packed = 0x020C001E;
constexpr uint32_t kYUV422Packed = 0x0210001F;
constexpr uint32_t kRGB8Planar = 0x02180021;
constexpr uint32_t kRGB16Planar = 0x02300024;

// Pattern sensors are 48 x 36 pixels, image sensors 30 x 22.
constexpr uint32_t kSensorWidth = 48;
constexpr uint32_t kSensorHeight = 36;
constexpr uint32_t kImageWidth = 30;
constexpr uint32_t kImageHeight = 22;

Geometry Region(uint32_t width, uint32_t height, uint32_t offsetX = 0, uint32_t offsetY = 0) {
    Geometry geometry{width, height};
    geometry.offsetX = offsetX;
    geometry.offsetY = offsetY;
    return geometry;
}

Geometry Binned(Geometry geometry, uint32_t x, uint32_t y, bool averageX, bool averageY) {
    geometry.binningX = x;
    geometry.binningY = y;
    geometry.averageX = averageX;
    geometry.averageY = averageY;
    return geometry;
}

Geometry Decimated(Geometry geometry, uint32_t x, uint32_t y) {
    geometry.decimationX = x;
    geometry.decimationY = y;
    return geometry;
}

Geometry Reversed(Geometry geometry, bool x, bool y) {
    geometry.reverseX = x;
    geometry.reverseY = y;
    return geometry;
}

FrameShape Pattern(uint32_t format, uint32_t pattern, const Geometry& geometry, const ValueTransform& values = {}) {
    return {{format, kSensorWidth, kSensorHeight, pattern}, geometry, values};
}

FrameShape Images(uint32_t format, const Geometry& geometry, const ValueTransform& values = {}) {
    return {{format, kImageWidth, kImageHeight, kPatternImages}, geometry, values};
}

// Two colour images of samples over the whole 16-bit range, then a grey one.
std::shared_ptr<const ImageSet> TestImages() {
    auto set = std::make_shared<ImageSet>();
    set->width = kImageWidth;
    set->height = kImageHeight;
    uint32_t state = 12345;
    for (uint32_t channels : {3u, 3u, 1u}) {
        SourceImage image{kImageWidth, kImageHeight, channels, {}};
        for (uint32_t i = 0; i < kImageWidth * kImageHeight * channels; ++i) {
            state = state * 1664525 + 1013904223;
            image.samples.push_back(static_cast<uint16_t>(state >> 16));
        }
        set->images.push_back(std::move(image));
    }
    return set;
}

std::vector<uint8_t> Render(const FrameSource& source, uint32_t frame) {
    std::vector<uint8_t> image(source.PayloadSize());
    source.RenderPrefix(frame, image.data(), image.size());
    return image;
}

uint32_t Sample16(const std::vector<uint8_t>& image, size_t index) {
    return image[2 * index] | (image[2 * index + 1] << 8u);
}

struct Case {
    const char* name;
    FrameShape shape;
};

TEST(TransformTest, FastSourceEqualsTheReferenceForEveryShape) {
    const auto images = TestImages();
    const Case cases[] = {
        {"Mono8 crop at odd offsets", Pattern(kMono8, kPatternMovingRamp, Region(20, 11, 3, 5))},
        {"Mono10Packed reversed crop, values",
         Pattern(kMono10Packed, kPatternMovingRamp, Reversed(Region(22, 9, 7, 1), true, false), {1, 2, 0, 1.2})},
        {"Mono8Signed summed, values",
         Pattern(kMono8Signed, kPatternStillRamp, Binned(Region(16, 12), 3, 3, false, false), {1, 0, 2, 1.5})},
        {"BayerRG8 odd crop upside down",
         Pattern(kBayerRG8, kPatternMovingRamp, Reversed(Region(17, 13, 5, 3), false, true))},
        {"BayerGR12 decimated", Pattern(kBayerGR12, kPatternCheckerboard, Decimated(Region(15, 10, 1, 2), 3, 3))},
        {"RGB8Planar summed, clipping",
         Pattern(kRGB8Planar, kPatternMovingRamp, Binned(Region(24, 18), 2, 2, false, false))},
        {"Mono16 averaged and reversed",
         Pattern(kMono16, kPatternMovingRamp, Reversed(Binned(Region(23, 17, 1, 1), 2, 2, true, true), true, true))},
        {"YUV422Packed averaged across, summed down, decimated",
         Pattern(kYUV422Packed, kPatternColourBars, Decimated(Binned(Region(6, 5, 1, 0), 3, 2, true, false), 2, 3))},
        {"BGR8 summed across, averaged down",
         Pattern(kBGR8, kPatternStillRamp, Binned(Region(8, 9, 3, 2), 4, 3, false, true))},
        {"Mono8 values", Pattern(kMono8, kPatternMovingRamp, Region(48, 36), {1.0, 6.0, 10.0, 0.6})},
        {"RGB10V1Packed crop and values",
         Pattern(kRGB10V1Packed, kPatternColourBars, Region(40, 30, 4, 3), {0.5, 3.5, 0, 2.2})},
        {"RGB8 everything at once",
         Pattern(kRGB8, kPatternMovingRamp,
                 Reversed(Decimated(Binned(Region(10, 7, 1, 1), 2, 2, true, true), 2, 2), true, true),
                 {1.5, 2.0, 1.0, 0.8})},
        {"images Mono8 reversed crop and gamma",
         Images(kMono8, Reversed(Region(20, 14, 5, 3), true, false), {1, 0, 0, 0.45})},
        {"images BayerBG8 summed and decimated",
         Images(kBayerBG8, Decimated(Binned(Region(6, 10, 1, 0), 2, 2, false, false), 2, 1))},
        {"images RGB8Planar values", Images(kRGB8Planar, Region(30, 22), {2.0, -3.0, 4.0, 1.0})},
        {"images YUV422Packed averaged", Images(kYUV422Packed, Binned(Region(14, 20, 1, 1), 2, 1, true, false))},
    };
    for (const Case& c : cases) {
        const TransformedSource source(c.shape, images);
        for (uint32_t frame : {0u, 5u}) {
            EXPECT_EQ(Render(source, frame), sim_test::RenderTransformedReference(c.shape, images.get(), frame))
                << c.name << ", frame " << frame;
        }
    }
}

TEST(TransformTest, NeutralShapeRendersTheSensorImage) {
    for (uint32_t format : {kMono8, kMono12Packed, kBayerGR12, kRGB8, kYUV411Packed, kRGB16Planar}) {
        for (uint32_t pattern : {kPatternMovingRamp, kPatternCheckerboard}) {
            const ImageSetup sensor{format, kSensorWidth, kSensorHeight, pattern};
            const TransformedSource source(PlainShape(sensor));
            const ImageGenerator generator(sensor);
            for (uint32_t frame : {0u, 3u}) {
                EXPECT_EQ(Render(source, frame), Render(generator, frame)) << std::hex << format << " frame " << frame;
            }
        }
    }
    const auto images = TestImages();
    for (uint32_t format : {kMono8, kBayerRG8, kRGB8, kYUV422Packed, kRGB8Planar}) {
        const TransformedSource source(PlainShape({format, kImageWidth, kImageHeight, kPatternImages}), images);
        const ImageReplay replay(*images, format);
        for (uint32_t frame = 0; frame < 4; ++frame) {
            EXPECT_EQ(Render(source, frame), Render(replay, frame)) << std::hex << format << " frame " << frame;
        }
    }
}

TEST(TransformTest, GeometryCropsMirrorsDecimatesAndBinsSensorPixels) {
    constexpr uint32_t frame = 3;
    const uint32_t w = kSensorWidth;
    const auto sensor = Render(ImageGenerator({kMono8, w, kSensorHeight, kPatternMovingRamp}), frame);
    auto mono8 = [&](const Geometry& geometry) {
        return Render(TransformedSource(Pattern(kMono8, kPatternMovingRamp, geometry)), frame);
    };
    const auto crop = mono8(Region(20, 11, 3, 5));
    const auto mirrored = mono8(Reversed(Region(w, kSensorHeight), true, true));
    const auto decimated = mono8(Decimated(Region(16, 12), 3, 3));
    for (uint32_t y = 0; y < kSensorHeight; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            const uint8_t expected = sensor[(kSensorHeight - 1 - y) * w + (w - 1 - x)];
            ASSERT_EQ(mirrored[y * w + x], expected) << x << ", " << y;
            if (x < 20 && y < 11) {
                ASSERT_EQ(crop[y * 20 + x], sensor[(y + 5) * w + x + 3]) << x << ", " << y;
            }
            if (x < 16 && y < 12) {
                ASSERT_EQ(decimated[y * 16 + x], sensor[3 * y * w + 3 * x]) << x << ", " << y;
            }
        }
    }

    const auto deep = Render(ImageGenerator({kMono16, w, kSensorHeight, kPatternMovingRamp}), frame);
    const auto averaged = Render(
        TransformedSource(Pattern(kMono16, kPatternMovingRamp, Binned(Region(24, 18), 2, 2, true, true))), frame);
    const auto summed = Render(
        TransformedSource(Pattern(kMono16, kPatternMovingRamp, Binned(Region(24, 18), 2, 2, false, false))), frame);
    int clipped = 0;
    for (uint32_t y = 0; y < 18; ++y) {
        for (uint32_t x = 0; x < 24; ++x) {
            const uint32_t sum = Sample16(deep, 2 * y * w + 2 * x) + Sample16(deep, 2 * y * w + 2 * x + 1) +
                                 Sample16(deep, (2 * y + 1) * w + 2 * x) + Sample16(deep, (2 * y + 1) * w + 2 * x + 1);
            ASSERT_EQ(Sample16(averaged, y * 24 + x), sum / 4) << x << ", " << y;
            ASSERT_EQ(Sample16(summed, y * 24 + x), std::min(sum, 65535u)) << x << ", " << y;
            clipped += sum > 65535;
        }
    }
    EXPECT_GT(clipped, 0) << "no sum reached the clipping";

    // The colour filter follows the delivered image: a crop at (1, 1) still starts with red.
    const auto bayer = Render(TransformedSource(Pattern(kBayerRG8, kPatternMovingRamp, Region(8, 4, 1, 1))), frame);
    auto scene = [&](uint32_t x, uint32_t y) { return SceneAt(kPatternMovingRamp, w, x, y, frame); };
    EXPECT_EQ(bayer[0], scene(1, 1).r >> 8);
    EXPECT_EQ(bayer[1], scene(2, 1).g >> 8);
    EXPECT_EQ(bayer[8], scene(1, 2).g >> 8);
    EXPECT_EQ(bayer[9], scene(2, 2).b >> 8);
}

TEST(TransformTest, ValueTransformsBrightenScaleAndClip) {
    const ImageSetup sensor{kMono16, kSensorWidth, kSensorHeight, kPatternMovingRamp};
    const auto in = Render(ImageGenerator(sensor), 0);
    auto transformed = [&](const ValueTransform& values) {
        return Render(TransformedSource({sensor, Region(kSensorWidth, kSensorHeight), values}), 0);
    };
    const auto gamma = transformed({1, 0, 0, 0.5});
    const auto gain = transformed({1, 6.02, 0, 1});
    const auto black = transformed({1, 0, 3, 1});
    const auto exposure = transformed({0.25, 0, 0, 1});
    const auto clipped = transformed({1, 48, 255, 1});
    for (size_t i = 0; i < in.size() / 2; ++i) {
        const uint32_t s = Sample16(in, i);
        ASSERT_GT(s, 0u);
        ASSERT_LT(s, 65535u);
        ASSERT_GT(Sample16(gamma, i), s) << s;
        ASSERT_EQ(Sample16(gamma, i), std::lround(65535 * std::sqrt(s / 65535.0))) << s;
        // 6.02 dB is a factor of 1.99986.
        if (2 * s < 65000) {
            ASSERT_NEAR(Sample16(gain, i), 2.0 * s, 1 + s * 0.0005) << s;
        } else if (s > 32800) {
            ASSERT_EQ(Sample16(gain, i), 65535u) << s;
        }
        ASSERT_EQ(Sample16(black, i), std::min(65535u, s + 768)) << s;
        ASSERT_EQ(Sample16(exposure, i), (s + 2) / 4) << s;
        ASSERT_EQ(Sample16(clipped, i), 65535u) << s;
    }
}

TEST(TransformTest, PrefixWritesExactlyThoseBytes) {
    const auto images = TestImages();
    const FrameShape shapes[] = {
        Pattern(kRGB8Planar, kPatternMovingRamp, Binned(Region(22, 17, 1, 0), 2, 2, true, true), {1, 1, 0, 1}),
        Pattern(kMono12Packed, kPatternCheckerboard, Region(30, 20, 3, 1)),
        PlainShape({kMono8, kSensorWidth, kSensorHeight, kPatternColourBars}),
        Images(kYUV422Packed, Region(20, 10, 1, 1)),
        // Large enough to be written with streaming stores.
        {{kMono8, 1024, 1024, kPatternMovingRamp}, Region(1024, 1024), {1, 0, 0, 0.9}},
    };
    for (const FrameShape& shape : shapes) {
        const TransformedSource source(shape, images);
        const auto full = Render(source, 1);
        const uint64_t payload = full.size();
        const uint64_t row = RowBytes(*FindPixelFormat(shape.sensor.pixelFormat), shape.geometry.width);
        for (uint64_t bytes :
             {uint64_t{0}, uint64_t{1}, row - 1, row + 1, payload / 3 + 2, payload - 1, payload, payload + 7}) {
            std::vector<uint8_t> buffer(payload + 16, 0xA5);
            source.RenderPrefix(1, buffer.data(), bytes);
            const uint64_t written = std::min(bytes, payload);
            ASSERT_TRUE(std::equal(full.begin(), full.begin() + written, buffer.begin())) << bytes << " of " << payload;
            ASSERT_EQ(std::count(buffer.begin() + written, buffer.end(), 0xA5), buffer.end() - buffer.begin() - written)
                << "written beyond " << bytes << " of " << payload;
        }
    }
}

TEST(TransformTest, ConcurrentRendersOfOneSourceAgree) {
    const TransformedSource source(
        Pattern(kRGB8, kPatternMovingRamp, Binned(Region(20, 16, 1, 1), 2, 2, true, false), {1, 3, 0, 0.7}));
    std::vector<std::vector<uint8_t>> expected;
    for (uint32_t frame = 0; frame < 16; ++frame) {
        expected.push_back(Render(source, frame));
    }
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int round = 0; round < 20; ++round) {
                for (uint32_t frame = 0; frame < 16; ++frame) {
                    mismatches += Render(source, frame) != expected[frame];
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(TransformTest, RefusesShapesItCannotRender) {
    const auto images = TestImages();
    auto otherSize = std::make_shared<ImageSet>(*images);
    otherSize->height = kImageHeight + 1;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Geometry plain = Region(kSensorWidth, kSensorHeight);
    const std::pair<const char*, FrameShape> shapes[] = {
        {"unknown format", Pattern(0x01080099, kPatternMovingRamp, plain)},
        {"unknown pattern", Pattern(kMono8, 9, plain)},
        {"width not a whole pixel group", Pattern(kMono12Packed, kPatternMovingRamp, Region(5, 4))},
        {"empty region", Pattern(kMono8, kPatternMovingRamp, Region(0, 4))},
        {"zero binning", Pattern(kMono8, kPatternMovingRamp, Binned(Region(4, 4), 0, 1, false, false))},
        {"binning above the largest",
         Pattern(kMono8, kPatternMovingRamp, Binned(Region(2, 2), 1, kMaxBinning + 1, false, false))},
        {"zero decimation", Pattern(kMono8, kPatternMovingRamp, Decimated(Region(4, 4), 1, 0))},
        {"region past the right edge", Pattern(kMono8, kPatternMovingRamp, Region(44, 4, 5, 0))},
        {"region past the binned bottom edge",
         Pattern(kMono8, kPatternMovingRamp, Binned(Region(4, 18, 0, 1), 1, 2, false, false))},
        {"region past the decimated right edge", Pattern(kMono8, kPatternMovingRamp, Decimated(Region(13, 4), 4, 1))},
        {"negative black level", Pattern(kMono8, kPatternMovingRamp, plain, {1, 0, -1, 1})},
        {"negative exposure", Pattern(kMono8, kPatternMovingRamp, plain, {-0.5, 0, 0, 1})},
        {"gain not a number", Pattern(kMono8, kPatternMovingRamp, plain, {1, nan, 0, 1})},
        {"zero gamma", Pattern(kMono8, kPatternMovingRamp, plain, {1, 0, 0, 0})},
        {"images of another size", Images(kMono8, Region(4, 4))},
    };
    for (const auto& [name, shape] : shapes) {
        EXPECT_THROW(TransformedSource(shape, shape.sensor.pattern == kPatternImages ? otherSize : images),
                     std::invalid_argument)
            << name;
    }
    EXPECT_THROW(TransformedSource(Images(kMono8, Region(4, 4))), std::invalid_argument) << "no images";
}

}  // namespace
