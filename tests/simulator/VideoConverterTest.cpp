// Grey rows that the converter looks up from a picture's luma plane are byte for byte what
// libswscale makes of the same picture, for limited- and full-range luma, 8- and 10-bit samples,
// planar and semi-planar YUV and grey pictures, at a width that ends in a partial block.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "simulator/MediaHandles.h"
#include "simulator/VideoConverter.h"

namespace {

using namespace Quibbon::Sim;
using Media::FramePtr;
using Media::ScalerPtr;

constexpr int kWidth = 45;  // five blocks of eight and five samples more
constexpr int kHeight = 14;

// A picture of noise in every plane, its samples within the format's depth.
FramePtr NoisePicture(AVPixelFormat format, AVColorRange range) {
    FramePtr frame(av_frame_alloc());
    frame->format = format;
    frame->width = kWidth;
    frame->height = kHeight;
    frame->color_range = range;
    if (av_frame_get_buffer(frame.get(), 0) < 0) {
        throw std::bad_alloc();
    }
    const auto* described = av_pix_fmt_desc_get(format);
    const bool deep = described->comp[0].depth > 8;
    const uint32_t mask = (1u << described->comp[0].depth) - 1;
    uint32_t state = 99;
    for (int plane = 0; plane < 4 && frame->buf[plane] != nullptr; ++plane) {
        uint8_t* bytes = frame->data[plane];
        const size_t size = frame->buf[plane]->size - (bytes - frame->buf[plane]->data);
        for (size_t at = 0; at < size; at += deep ? 2 : 1) {
            state = state * 1103515245 + 12345;
            const uint32_t sample = (state >> 12) & mask;
            if (deep) {
                const auto word = static_cast<uint16_t>(sample);
                std::memcpy(bytes + at, &word, 2);
            } else {
                bytes[at] = static_cast<uint8_t>(sample);
            }
        }
    }
    return frame;
}

// libswscale's own conversion of the whole picture, with the picture's range.
std::vector<uint8_t> Reference(const AVFrame& frame, AVPixelFormat target, int bytesPerPixel) {
    const auto format = static_cast<AVPixelFormat>(frame.format);
    ScalerPtr scaler(sws_getContext(frame.width, frame.height, format, frame.width, frame.height, target, SWS_POINT,
                                    nullptr, nullptr, nullptr));
    if (!Media::IsGrey(*av_pix_fmt_desc_get(format))) {
        sws_setColorspaceDetails(scaler.get(), sws_getCoefficients(SWS_CS_DEFAULT),
                                 frame.color_range == AVCOL_RANGE_JPEG ? 1 : 0, sws_getCoefficients(SWS_CS_DEFAULT), 1,
                                 0, 1 << 16, 1 << 16);
    }
    std::vector<uint8_t> pixels(size_t{kWidth} * kHeight * bytesPerPixel);
    uint8_t* planes[4] = {pixels.data(), nullptr, nullptr, nullptr};
    const int strides[4] = {kWidth * bytesPerPixel, 0, 0, 0};
    sws_scale(scaler.get(), frame.data, frame.linesize, 0, frame.height, planes, strides);
    return pixels;
}

TEST(VideoConverterTest, GreyLookedUpFromLumaIsWhatLibswscaleMakesOfThePicture) {
    struct Case {
        AVPixelFormat format;
        AVColorRange range;
        VideoLayout layout;
    };
    const Case cases[] = {
        {AV_PIX_FMT_YUV420P, AVCOL_RANGE_MPEG, VideoLayout::Gray8},
        {AV_PIX_FMT_YUV420P, AVCOL_RANGE_JPEG, VideoLayout::Gray8},
        {AV_PIX_FMT_YUV420P, AVCOL_RANGE_UNSPECIFIED, VideoLayout::Gray16},
        {AV_PIX_FMT_YUV420P, AVCOL_RANGE_JPEG, VideoLayout::Gray16},
        {AV_PIX_FMT_NV12, AVCOL_RANGE_MPEG, VideoLayout::Gray8},
        {AV_PIX_FMT_YUV444P, AVCOL_RANGE_MPEG, VideoLayout::Gray8},
        {AV_PIX_FMT_YUV420P10LE, AVCOL_RANGE_MPEG, VideoLayout::Gray16},
        {AV_PIX_FMT_YUV420P10LE, AVCOL_RANGE_JPEG, VideoLayout::Gray16},
        {AV_PIX_FMT_GRAY8, AVCOL_RANGE_UNSPECIFIED, VideoLayout::Gray16},
        {AV_PIX_FMT_GRAY10LE, AVCOL_RANGE_UNSPECIFIED, VideoLayout::Gray16},
    };
    VideoConverter converter;  // one for all pictures: each change of format or range prepares anew
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(av_get_pix_fmt_name(c.format)) + " range " + std::to_string(c.range) + " into " +
                     (c.layout == VideoLayout::Gray8 ? "Gray8" : "Gray16"));
        const FramePtr frame = NoisePicture(c.format, c.range);
        const int bytes = static_cast<int>(VideoConverter::BytesPerPixel(c.layout));
        std::vector<uint8_t> pixels(size_t{kWidth} * kHeight * bytes);
        ASSERT_TRUE(converter.Convert(*frame, c.layout, pixels.data()));
        const std::vector<uint8_t> expected =
            Reference(*frame, c.layout == VideoLayout::Gray8 ? AV_PIX_FMT_GRAY8 : AV_PIX_FMT_GRAY16, bytes);
        ASSERT_EQ(pixels, expected);
    }
}

// Bits above a 10-bit picture's depth, which a damaged picture may hold, are left out of the lookup
// instead of leading beyond the table.
TEST(VideoConverterTest, DeepSamplesIgnoreBitsAboveTheirDepth) {
    const FramePtr frame = NoisePicture(AV_PIX_FMT_YUV420P10LE, AVCOL_RANGE_MPEG);
    VideoConverter converter;
    std::vector<uint8_t> clean(size_t{kWidth} * kHeight * 2);
    ASSERT_TRUE(converter.Convert(*frame, VideoLayout::Gray16, clean.data()));
    for (int y = 0; y < kHeight; ++y) {
        auto* row = reinterpret_cast<uint16_t*>(frame->data[0] + ptrdiff_t{y} * frame->linesize[0]);
        for (int x = 0; x < kWidth; ++x) {
            row[x] |= 0xFC00;
        }
    }
    std::vector<uint8_t> damaged(clean.size());
    ASSERT_TRUE(converter.Convert(*frame, VideoLayout::Gray16, damaged.data()));
    EXPECT_EQ(damaged, clean);
}

}  // namespace
