// The 8-bit conversion of every pixel format the simulated cameras deliver, checked against the
// simulator's scene: the format table agrees with the simulator's, grey and RGB samples keep
// their top eight bits exactly, YUV comes back within rounding, and Bayer images keep each
// site's own sample and demosaic flat colour areas to that colour in every filter order.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "consumer/ImageConverter.h"
#include "framegrabber/Quibbon.h"
#include "simulator/PatternGenerator.h"

namespace quarvo_test {
namespace {

namespace sim = Quibbon::Sim;

constexpr uint32_t kWidth = 64;   // eight colour bars of eight pixels
constexpr uint32_t kHeight = 6;
constexpr uint32_t kFrame = 3;

struct Rendered {
    std::vector<uint8_t> bytes;
    quarvo::Image8 image;
};

Rendered Render(const sim::PixelFormatInfo& format, uint32_t pattern) {
    Rendered rendered;
    rendered.bytes = sim::RenderReference({format.code, kWidth, kHeight, pattern}, kFrame);
    rendered.image = quarvo::ImageConverter::Convert(
        {rendered.bytes.data(), rendered.bytes.size(), kWidth, kHeight, 0, format.code});
    return rendered;
}

// The scene's top eight bits of each channel (grey formats: the luminance they show).
std::vector<uint8_t> Expected(const sim::ScenePixel& pixel, size_t channels) {
    if (channels == 1) {
        return {static_cast<uint8_t>(pixel.mono >> 8)};
    }
    return {static_cast<uint8_t>(pixel.r >> 8), static_cast<uint8_t>(pixel.g >> 8), static_cast<uint8_t>(pixel.b >> 8)};
}

class EveryFormat : public ::testing::TestWithParam<size_t> {
protected:
    const sim::PixelFormatInfo& Format() const { return sim::PixelFormatsBegin()[GetParam()]; }

    // Compares each channel of every pixel accepted by `where` within `tolerance`.
    template <class Where>
    void ExpectScene(uint32_t pattern, int tolerance, Where&& where) {
        const Rendered rendered = Render(Format(), pattern);
        const quarvo::Image8& image = rendered.image;
        ASSERT_EQ(kWidth, image.width);
        ASSERT_EQ(kHeight, image.height);
        for (uint32_t y = 0; y < kHeight; ++y) {
            for (uint32_t x = 0; x < kWidth; ++x) {
                if (!where(x, y)) {
                    continue;
                }
                const auto expected = Expected(sim::SceneAt(pattern, kWidth, x, y, kFrame), image.channels);
                for (size_t c = 0; c < image.channels; ++c) {
                    const int got = image.pixels[(y * kWidth + x) * image.channels + c];
                    ASSERT_LE(std::abs(got - expected[c]), tolerance)
                        << Format().name << " pattern " << pattern << " at " << x << "," << y << " channel " << c;
                }
            }
        }
    }

    // On the moving ramp every site keeps its own sample: the filter order is right.
    void ExpectBayerSites() {
        const Rendered rendered = Render(Format(), Quibbon::kPatternMovingRamp);
        for (uint32_t y = 0; y < kHeight; ++y) {
            for (uint32_t x = 0; x < kWidth; ++x) {
                const uint8_t channel = Format().channels[(y & 1) * 2 + (x & 1)];
                const auto scene = sim::SceneAt(Quibbon::kPatternMovingRamp, kWidth, x, y, kFrame);
                ASSERT_EQ(sim::ChannelSample(scene, channel, 8), rendered.image.pixels[(y * kWidth + x) * 3 + channel])
                    << Format().name << " at " << x << "," << y;
            }
        }
    }
};

TEST_P(EveryFormat, ConvertsToTheScene) {
    const quarvo::PixelFormat* known = quarvo::FindPixelFormat(Format().code);
    ASSERT_NE(nullptr, known) << Format().name;
    EXPECT_STREQ(Format().name, known->name);
    EXPECT_EQ(sim::PayloadSize(Format(), kWidth, kHeight), quarvo::RowBytes(*known, kWidth) * kHeight *
                                                               quarvo::PlaneCount(*known));
    const bool grey = quarvo::IsGrey(*known);
    EXPECT_EQ(grey ? 1u : 3u, Render(Format(), Quibbon::kPatternMovingRamp).image.channels);
    auto everywhere = [](uint32_t, uint32_t) { return true; };
    switch (known->layout) {
        case quarvo::PixelLayout::Bayer:
            // Inside a bar (away from its edges and the image border) every colour is exact.
            ExpectScene(Quibbon::kPatternColourBars, 0,
                        [](uint32_t x, uint32_t y) { return x % 8 >= 2 && x % 8 <= 5 && y > 0 && y + 1 < kHeight; });
            ExpectBayerSites();
            break;
        case quarvo::PixelLayout::Yuv411:
        case quarvo::PixelLayout::Yuv422:
        case quarvo::PixelLayout::Yuv444:
            // Chroma is shared within a group; the bars are whole groups wide.
            ExpectScene(Quibbon::kPatternColourBars, 3, everywhere);
            break;
        default:
            ExpectScene(Quibbon::kPatternMovingRamp, 0, everywhere);
            break;
    }
}

INSTANTIATE_TEST_SUITE_P(Simulator, EveryFormat, ::testing::Range<size_t>(0, sim::PixelFormatCount()),
                         [](const auto& info) { return std::string(sim::PixelFormatsBegin()[info.param].name); });

TEST(ImageConverter, PaddedAndShortImages) {
    // Two Mono8 rows of three pixels, each followed by two padding bytes.
    const std::vector<uint8_t> padded = {1, 2, 3, 99, 99, 4, 5, 6, 99, 99};
    quarvo::Image8 image = quarvo::ImageConverter::Convert({padded.data(), padded.size(), 3, 2, 2, 0x01080001});
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 4, 5, 6}), image.pixels);
    // An incomplete frame: what is missing stays black.
    image = quarvo::ImageConverter::Convert({padded.data(), 6, 3, 2, 2, 0x01080001});
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 4, 0, 0}), image.pixels);
}

TEST(ImageConverter, RefusesWhatItCannotConvert) {
    const std::vector<uint8_t> bytes(64);
    EXPECT_THROW(quarvo::ImageConverter::Convert({bytes.data(), bytes.size(), 4, 4, 0, 0x01100046}), std::runtime_error);
    // A packed format holds pixels in pairs.
    EXPECT_THROW(quarvo::ImageConverter::Convert({bytes.data(), bytes.size(), 3, 4, 0, 0x010C0006}), std::runtime_error);
    EXPECT_THROW(quarvo::ImageConverter::Convert({bytes.data(), bytes.size(), 0, 4, 0, 0x01080001}), std::runtime_error);
}

}  // namespace
}  // namespace quarvo_test
