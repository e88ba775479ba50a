#include "simulator/PixelEncoding.h"

#include <algorithm>

namespace Quibbon::Sim {

namespace {

constexpr uint16_t kFull = 0xFFFF;

uint8_t* PutSample(uint8_t* out, uint16_t value, uint32_t bytes) {
    out[0] = static_cast<uint8_t>(value);
    if (bytes == 2) {
        out[1] = static_cast<uint8_t>(value >> 8);
    }
    return out + bytes;
}

uint16_t Grey(const ScenePixel& pixel, uint8_t bits) { return static_cast<uint16_t>(pixel.mono >> (16 - bits)); }

void EncodePacked12(const PixelFormatInfo& format, const ScenePixel* pixels, uint32_t count, uint8_t* out) {
    const uint32_t low = format.sampleBits - 8u;
    const uint32_t lowMask = (1u << low) - 1;
    for (uint32_t i = 0; i + 1 < count; i += 2) {
        const uint32_t a = Grey(pixels[i], format.sampleBits);
        const uint32_t b = Grey(pixels[i + 1], format.sampleBits);
        *out++ = static_cast<uint8_t>(a >> low);
        *out++ = static_cast<uint8_t>((a & lowMask) | ((b & lowMask) << 4));
        *out++ = static_cast<uint8_t>(b >> low);
    }
}

void EncodeRgb10(const PixelFormatInfo& format, const ScenePixel* pixels, uint32_t count, uint8_t* out) {
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t r = ChannelSample(pixels[i], kRed, 10);
        const uint32_t g = ChannelSample(pixels[i], kGreen, 10);
        const uint32_t b = ChannelSample(pixels[i], kBlue, 10);
        if (format.layout == Layout::Rgb10V1) {
            *out++ = static_cast<uint8_t>((r & 3) | ((g & 3) << 2) | ((b & 3) << 4));
            *out++ = static_cast<uint8_t>(r >> 2);
            *out++ = static_cast<uint8_t>(g >> 2);
            *out++ = static_cast<uint8_t>(b >> 2);
        } else {
            const uint32_t word = r | (g << 10) | (b << 20);
            for (int shift = 0; shift < 32; shift += 8) {
                *out++ = static_cast<uint8_t>(word >> shift);
            }
        }
    }
}

// YUV with the chroma of each group of groupPixels taken from the group's first pixel.
void EncodeYuv(const PixelFormatInfo& format, const ScenePixel* pixels, uint32_t count, uint8_t* out) {
    const uint32_t group = GroupPixels(format);
    for (uint32_t i = 0; i + group <= count; i += group) {
        const Yuv first = ToYuv(pixels[i]);
        switch (format.layout) {
            case Layout::Yuv411:
                *out++ = first.u;
                *out++ = first.y;
                *out++ = ToYuv(pixels[i + 1]).y;
                *out++ = first.v;
                *out++ = ToYuv(pixels[i + 2]).y;
                *out++ = ToYuv(pixels[i + 3]).y;
                break;
            case Layout::Yuv422:
                *out++ = first.u;
                *out++ = first.y;
                *out++ = first.v;
                *out++ = ToYuv(pixels[i + 1]).y;
                break;
            default:
                *out++ = first.u;
                *out++ = first.y;
                *out++ = first.v;
                break;
        }
    }
}

}  // namespace

uint16_t ChannelSample(const ScenePixel& pixel, uint8_t channel, uint8_t bits) {
    const uint16_t values[] = {pixel.r, pixel.g, pixel.b, kFull};
    return static_cast<uint16_t>(values[channel & 3] >> (16 - bits));
}

Yuv ToYuv(const ScenePixel& pixel) {
    const int r = pixel.r >> 8;
    const int g = pixel.g >> 8;
    const int b = pixel.b >> 8;
    auto clamp = [](int value) { return static_cast<uint8_t>(std::clamp(value, 0, 255)); };
    return {clamp((77 * r + 150 * g + 29 * b + 128) >> 8), clamp((-43 * r - 85 * g + 128 * b + 32896) >> 8),
            clamp((128 * r - 107 * g - 21 * b + 32896) >> 8)};
}

uint16_t Luminance(uint32_t r, uint32_t g, uint32_t b) {
    return static_cast<uint16_t>((19595 * r + 38470 * g + 7471 * b + 32768) >> 16);
}

void EncodeRun(const PixelFormatInfo& format, const ScenePixel* pixels, uint32_t count, uint32_t yParity,
               uint32_t plane, uint8_t* out) {
    const uint32_t bytes = ContainerBytes(format);
    switch (format.layout) {
        case Layout::Mono:
            for (uint32_t i = 0; i < count; ++i) {
                out = PutSample(out, Grey(pixels[i], format.sampleBits), bytes);
            }
            break;
        case Layout::MonoSigned:
            for (uint32_t i = 0; i < count; ++i) {
                *out++ = static_cast<uint8_t>(Grey(pixels[i], 8) ^ 0x80);
            }
            break;
        case Layout::Packed12:
            EncodePacked12(format, pixels, count, out);
            break;
        case Layout::Bayer:
            for (uint32_t i = 0; i < count; ++i) {
                const uint8_t channel = format.channels[yParity * 2 + (i & 1)];
                out = PutSample(out, ChannelSample(pixels[i], channel, format.sampleBits), bytes);
            }
            break;
        case Layout::Interleaved:
            for (uint32_t i = 0; i < count; ++i) {
                for (uint32_t c = 0; c < format.channelCount; ++c) {
                    out = PutSample(out, ChannelSample(pixels[i], format.channels[c], format.sampleBits), bytes);
                }
            }
            break;
        case Layout::Rgb10V1:
        case Layout::Rgb10V2:
            EncodeRgb10(format, pixels, count, out);
            break;
        case Layout::Yuv411:
        case Layout::Yuv422:
        case Layout::Yuv444:
            EncodeYuv(format, pixels, count, out);
            break;
        case Layout::Planar:
            for (uint32_t i = 0; i < count; ++i) {
                out = PutSample(out, ChannelSample(pixels[i], format.channels[plane], format.sampleBits), bytes);
            }
            break;
    }
}

std::vector<uint8_t> EncodeImage(const PixelFormatInfo& format, uint32_t width, uint32_t height,
                                 const std::vector<ScenePixel>& pixels) {
    const uint64_t rowBytes = RowBytes(format, width);
    std::vector<uint8_t> image(PayloadSize(format, width, height));
    for (uint32_t plane = 0; plane < PlaneCount(format); ++plane) {
        for (uint32_t y = 0; y < height; ++y) {
            uint8_t* row = image.data() + (uint64_t{plane} * height + y) * rowBytes;
            EncodeRun(format, pixels.data() + uint64_t{y} * width, width, y & 1, plane, row);
        }
    }
    return image;
}

}  // namespace Quibbon::Sim
