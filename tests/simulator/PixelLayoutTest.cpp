// Byte layout of every pixel format, decoded here independently of the generator's own format
// table, plus the fast renderer against the pixel-by-pixel reference and the pattern geometry.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "framegrabber/Quibbon.h"
#include "simulator/PatternGenerator.h"
#include "simulator/PixelFormats.h"

namespace {

using namespace Quibbon::Sim;

enum class Kind { Mono, MonoSigned, Packed, Bayer, Interleaved, V1, V2, Yuv411, Yuv422, Yuv444, Planar };

struct Expected {
    const char* name;
    uint32_t code;
    Kind kind;
    int bits;
    const char* order;  // channel letters in memory order, or the Bayer cell row by row
};

const Expected kExpected[] = {
    {"Mono8", 0x01080001, Kind::Mono, 8, ""},          {"Mono8Signed", 0x01080002, Kind::MonoSigned, 8, ""},
    {"Mono10", 0x01100003, Kind::Mono, 10, ""},        {"Mono10Packed", 0x010C0004, Kind::Packed, 10, ""},
    {"Mono12", 0x01100005, Kind::Mono, 12, ""},        {"Mono12Packed", 0x010C0006, Kind::Packed, 12, ""},
    {"Mono16", 0x01100007, Kind::Mono, 16, ""},        {"BayerGR8", 0x01080008, Kind::Bayer, 8, "GRBG"},
    {"BayerRG8", 0x01080009, Kind::Bayer, 8, "RGGB"},  {"BayerGB8", 0x0108000A, Kind::Bayer, 8, "GBRG"},
    {"BayerBG8", 0x0108000B, Kind::Bayer, 8, "BGGR"},  {"BayerGR10", 0x0110000C, Kind::Bayer, 10, "GRBG"},
    {"BayerRG10", 0x0110000D, Kind::Bayer, 10, "RGGB"}, {"BayerGB10", 0x0110000E, Kind::Bayer, 10, "GBRG"},
    {"BayerBG10", 0x0110000F, Kind::Bayer, 10, "BGGR"}, {"BayerGR12", 0x01100010, Kind::Bayer, 12, "GRBG"},
    {"BayerRG12", 0x01100011, Kind::Bayer, 12, "RGGB"}, {"BayerGB12", 0x01100012, Kind::Bayer, 12, "GBRG"},
    {"BayerBG12", 0x01100013, Kind::Bayer, 12, "BGGR"}, {"RGB8", 0x02180014, Kind::Interleaved, 8, "RGB"},
    {"BGR8", 0x02180015, Kind::Interleaved, 8, "BGR"}, {"RGBa8", 0x02180016, Kind::Interleaved, 8, "RGBa"},
    {"BGRa8", 0x02180017, Kind::Interleaved, 8, "BGRa"}, {"RGB10Packed", 0x02300018, Kind::Interleaved, 10, "RGB"},
    {"BGR10Packed", 0x02300019, Kind::Interleaved, 10, "BGR"}, {"RGB12Packed", 0x0230001A, Kind::Interleaved, 12, "RGB"},
    {"BGR12Packed", 0x0230001B, Kind::Interleaved, 12, "BGR"}, {"RGB10V1Packed", 0x0220001C, Kind::V1, 10, ""},
    {"RGB10V2Packed", 0x0220001D, Kind::V2, 10, ""},   {"YUV411Packed", 0x020C001E, Kind::Yuv411, 8, ""},
    {"YUV422Packed", 0x0210001F, Kind::Yuv422, 8, ""}, {"YUV444Packed", 0x02180020, Kind::Yuv444, 8, ""},
    {"RGB8Planar", 0x02180021, Kind::Planar, 8, "RGB"}, {"RGB10Planar", 0x02300022, Kind::Planar, 10, "RGB"},
    {"RGB12Planar", 0x02300023, Kind::Planar, 12, "RGB"}, {"RGB16Planar", 0x02300024, Kind::Planar, 16, "RGB"},
};

constexpr uint32_t kWidth = 16;
constexpr uint32_t kHeight = 6;
constexpr uint32_t kFrame = 7;

uint32_t Sample(const ScenePixel& p, char channel, int bits) {
    const uint32_t full = channel == 'R' ? p.r : channel == 'G' ? p.g : channel == 'B' ? p.b : channel == 'a' ? 0xFFFF : p.mono;
    return full >> (16 - bits);
}

ScenePixel At(uint32_t x, uint32_t y) { return SceneAt(Quibbon::kPatternMovingRamp, kWidth, x, y, kFrame); }

uint32_t ReadLE(const uint8_t* p, int bytes) {
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = (value << 8) | p[i];
    }
    return value;
}

// Checks every sample of the image against the scene; returns the first mismatch as text.
std::string Decode(const Expected& e, const std::vector<uint8_t>& img) {
    const int cb = e.bits > 8 ? 2 : 1;
    const size_t pixels = size_t{kWidth} * kHeight;
    auto fail = [](const std::string& what, size_t index) { return what + " at " + std::to_string(index); };
    for (size_t i = 0; i < pixels; ++i) {
        const uint32_t x = i % kWidth, y = i / kWidth;
        const ScenePixel p = At(x, y);
        switch (e.kind) {
            case Kind::Mono:
                if (ReadLE(&img[i * cb], cb) != Sample(p, 'M', e.bits)) return fail("mono", i);
                break;
            case Kind::MonoSigned:
                if (static_cast<int8_t>(img[i]) != static_cast<int>(p.mono >> 8) - 128) return fail("signed", i);
                break;
            case Kind::Packed: {
                const uint8_t* g = &img[(i / 2) * 3];
                const int low = e.bits - 8;
                const uint32_t value = (i % 2 == 0) ? (g[0] << low) | (g[1] & ((1 << low) - 1))
                                                    : (g[2] << low) | ((g[1] >> 4) & ((1 << low) - 1));
                if (value != Sample(p, 'M', e.bits)) return fail("packed", i);
                if (e.bits == 10 && (g[1] & 0xCC) != 0) return fail("packed padding", i);
                break;
            }
            case Kind::Bayer:
                if (ReadLE(&img[i * cb], cb) != Sample(p, e.order[(y % 2) * 2 + x % 2], e.bits)) return fail("bayer", i);
                break;
            case Kind::Interleaved: {
                const size_t n = std::strlen(e.order);
                for (size_t c = 0; c < n; ++c) {
                    if (ReadLE(&img[(i * n + c) * cb], cb) != Sample(p, e.order[c], e.bits)) return fail("channel", i);
                }
                break;
            }
            case Kind::V1: {
                const uint8_t* q = &img[i * 4];
                const uint32_t r = (q[1] << 2) | (q[0] & 3), g = (q[2] << 2) | ((q[0] >> 2) & 3),
                               b = (q[3] << 2) | ((q[0] >> 4) & 3);
                if (r != Sample(p, 'R', 10) || g != Sample(p, 'G', 10) || b != Sample(p, 'B', 10) || (q[0] & 0xC0))
                    return fail("v1", i);
                break;
            }
            case Kind::V2: {
                const uint32_t w = ReadLE(&img[i * 4], 4);
                if ((w & 0x3FF) != Sample(p, 'R', 10) || ((w >> 10) & 0x3FF) != Sample(p, 'G', 10) ||
                    ((w >> 20) & 0x3FF) != Sample(p, 'B', 10) || (w >> 30) != 0)
                    return fail("v2", i);
                break;
            }
            case Kind::Yuv411:
            case Kind::Yuv422:
            case Kind::Yuv444: {
                const size_t group = e.kind == Kind::Yuv411 ? 4 : e.kind == Kind::Yuv422 ? 2 : 1;
                const size_t groupBytes = e.kind == Kind::Yuv411 ? 6 : e.kind == Kind::Yuv422 ? 4 : 3;
                // Position of each pixel's Y and of U and V inside the group.
                static const size_t kY411[] = {1, 2, 4, 5}, kY422[] = {1, 3}, kY444[] = {1};
                const size_t* yAt = e.kind == Kind::Yuv411 ? kY411 : e.kind == Kind::Yuv422 ? kY422 : kY444;
                const size_t vAt = e.kind == Kind::Yuv411 ? 3 : 2;
                const uint8_t* g = &img[(i / group) * groupBytes];
                const Yuv chroma = ToYuv(At(static_cast<uint32_t>(x - x % group), y));
                if (g[yAt[i % group]] != ToYuv(p).y || g[0] != chroma.u || g[vAt] != chroma.v) return fail("yuv", i);
                break;
            }
            case Kind::Planar:
                for (size_t c = 0; c < 3; ++c) {
                    if (ReadLE(&img[(c * pixels + i) * cb], cb) != Sample(p, e.order[c], e.bits)) return fail("plane", i);
                }
                break;
        }
    }
    return "";
}

std::vector<uint8_t> Render(const ImageSetup& imageSetup, uint32_t frame) {
    const ImageGenerator generator(imageSetup);
    std::vector<uint8_t> image(generator.PayloadSize());
    generator.Render(frame, image.data());
    return image;
}

TEST(PixelLayoutTest, FormatTableMatchesTheCameraEnumeration) {
    ASSERT_EQ(PixelFormatCount(), std::size(kExpected));
    const PixelFormatInfo* format = PixelFormatsBegin();
    for (const Expected& e : kExpected) {
        EXPECT_EQ(format->code, e.code);
        EXPECT_STREQ(format->name, e.name);
        ++format;
    }
}

TEST(PixelLayoutTest, PayloadFollowsTheCodeExceptForFourByteLayouts) {
    for (const Expected& e : kExpected) {
        const bool fourBytes = e.code == 0x02180016 || e.code == 0x02180017;
        const uint64_t bits = fourBytes ? 32 : CodeBitsPerPixel(e.code);
        EXPECT_EQ(PayloadSize(*FindPixelFormat(e.code), 640, 480), 640 * 480 * bits / 8) << e.name;
    }
}

TEST(PixelLayoutTest, EveryFormatDecodesToTheScene) {
    for (const Expected& e : kExpected) {
        const std::vector<uint8_t> image = Render({e.code, kWidth, kHeight, Quibbon::kPatternMovingRamp}, kFrame);
        EXPECT_EQ(Decode(e, image), "") << e.name;
    }
}

TEST(PixelLayoutTest, DeepFormatsCarryChangingLowBits) {
    std::set<uint32_t> lowNibbles;
    for (uint32_t x = 0; x < kWidth; ++x) {
        lowNibbles.insert(Sample(At(x, 0), 'M', 12) & 0xF);
    }
    EXPECT_GT(lowNibbles.size(), kWidth / 2);
}

TEST(PixelLayoutTest, FastRenderingEqualsTheReferenceForAllFormatsAndPatterns) {
    const uint32_t sizes[][2] = {{8, 8}, {20, 70}, {300, 3}, {12, 600}};
    const uint32_t frames[] = {0, 1, 3, 255, 256, 1001};
    for (const Expected& e : kExpected) {
        for (uint32_t pattern = 0; pattern <= Quibbon::kPatternColourBars; ++pattern) {
            for (const auto& size : sizes) {
                const ImageSetup imageSetup{e.code, size[0], size[1], pattern};
                for (uint32_t frame : frames) {
                    ASSERT_EQ(Render(imageSetup, frame), RenderReference(imageSetup, frame))
                        << e.name << " pattern " << pattern << " " << size[0] << "x" << size[1] << " frame " << frame;
                }
            }
        }
    }
}

TEST(PixelLayoutTest, WideImagesCopiedRowByRowEqualTheReference) {
    for (const Expected& e : kExpected) {
        for (uint32_t pattern : {Quibbon::kPatternMovingRamp, Quibbon::kPatternCheckerboard}) {
            const ImageSetup imageSetup{e.code, 1032, 260, pattern};
            if (pattern == Quibbon::kPatternMovingRamp) {
                ASSERT_FALSE(ImageGenerator(imageSetup).CopiesFromTile()) << e.name;
            }
            for (uint32_t frame : {1u, 258u}) {
                ASSERT_EQ(Render(imageSetup, frame), RenderReference(imageSetup, frame)) << e.name << " frame " << frame;
            }
        }
    }
    EXPECT_TRUE(ImageGenerator({0x01080001, 640, 480, Quibbon::kPatternMovingRamp}).CopiesFromTile());
}

TEST(PixelLayoutTest, RampMovesOnePixelPerFrameAndStillRampDoesNot) {
    for (uint32_t x = 0; x + 1 < 64; ++x) {
        EXPECT_EQ(SceneAt(Quibbon::kPatternMovingRamp, 64, x, 5, 11).mono,
                  SceneAt(Quibbon::kPatternMovingRamp, 64, x + 1, 5, 10).mono);
        EXPECT_EQ(SceneAt(Quibbon::kPatternStillRamp, 64, x, 5, 11).mono,
                  SceneAt(Quibbon::kPatternStillRamp, 64, x, 5, 0).mono);
    }
    EXPECT_NE(SceneAt(Quibbon::kPatternMovingRamp, 64, 3, 5, 11).mono, SceneAt(Quibbon::kPatternMovingRamp, 64, 3, 5, 10).mono);
}

TEST(PixelLayoutTest, CheckerboardAndColourBarsHaveTheirGeometry) {
    auto checker = [](uint32_t x, uint32_t y) { return SceneAt(Quibbon::kPatternCheckerboard, 128, x, y, 9).mono; };
    EXPECT_EQ(checker(0, 0), 0);
    EXPECT_EQ(checker(31, 31), 0);
    EXPECT_EQ(checker(32, 0), 0xFFFF);
    EXPECT_EQ(checker(0, 32), 0xFFFF);
    EXPECT_EQ(checker(32, 32), 0);

    const std::vector<uint8_t> bars = Render({0x02180014, 64, 8, Quibbon::kPatternColourBars}, 0);
    const char* expected[] = {"\xFF\xFF\xFF", "\xFF\xFF\x00", "\x00\xFF\xFF", "\x00\xFF\x00",
                              "\xFF\x00\xFF", "\xFF\x00\x00", "\x00\x00\xFF", "\x00\x00\x00"};
    for (uint32_t bar = 0; bar < 8; ++bar) {
        for (uint32_t x = bar * 8; x < bar * 8 + 8; ++x) {
            EXPECT_EQ(std::memcmp(&bars[(7 * 64 + x) * 3], expected[bar], 3), 0) << "bar " << bar << " x " << x;
        }
    }
}

TEST(PixelLayoutTest, YuvOfGreyIsNeutralAndOfRedLeansToV) {
    const Yuv white = ToYuv({0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}), black = ToYuv({0, 0, 0, 0}), red = ToYuv({0xFFFF, 0, 0, 0});
    EXPECT_EQ((std::vector<int>{white.y, white.u, white.v, black.y, black.u}), (std::vector<int>{255, 128, 128, 0, 128}));
    EXPECT_GT(red.v, 200);
    EXPECT_LT(red.u, 128);
}

TEST(PixelLayoutTest, ChunkCarriesTheFrameCounterInFront) {
    const ImageSetup imageSetup{0x01080001, 16, 8, Quibbon::kPatternCheckerboard};
    const std::vector<uint8_t> plain = ExpectedPayload(imageSetup, 0x01020304, false);
    const std::vector<uint8_t> chunked = ExpectedPayload(imageSetup, 0x01020304, true);
    EXPECT_EQ(std::vector<uint8_t>(chunked.begin(), chunked.begin() + 4), (std::vector<uint8_t>{4, 3, 2, 1}));
    EXPECT_TRUE(std::equal(plain.begin() + 4, plain.end(), chunked.begin() + 4));
}

TEST(PixelLayoutTest, InvalidDescriptionsAreRefused) {
    EXPECT_THROW(ImageGenerator({0x01080001, 10, 8, 0}), std::invalid_argument);
    EXPECT_THROW(ImageGenerator({0x01080001, 0, 8, 0}), std::invalid_argument);
    EXPECT_THROW(ImageGenerator({0x01080001, 8, 0, 0}), std::invalid_argument);
    EXPECT_THROW(ImageGenerator({0x01080001, 8, 8, 4}), std::invalid_argument);
    EXPECT_THROW(ImageGenerator({0x12345678, 8, 8, 0}), std::invalid_argument);
}

}  // namespace
