#include "consumer/ImageConverter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

namespace quarvo {

namespace {

std::string Hex(uint64_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%08llX", static_cast<unsigned long long>(value));
    return text;
}

// A little-endian sample of 1 or 2 bytes.
uint32_t SampleAt(const uint8_t* in, size_t bytes) { return bytes == 2 ? in[0] | (in[1] << 8) : in[0]; }

// The top eight of bits significant bits.
uint8_t TopByte(uint32_t sample, uint8_t bits) {
    return static_cast<uint8_t>((sample & ((1u << bits) - 1)) >> (bits - 8));
}

uint8_t Clamp(int value) { return static_cast<uint8_t>(std::clamp(value, 0, 255)); }

size_t ChannelIndex(char channel) {
    switch (channel) {
        case 'R':
            return 0;
        case 'G':
            return 1;
        case 'B':
            return 2;
        default:
            return 3;  // alpha, dropped
    }
}

const PixelFormat& KnownFormat(uint64_t code) {
    const PixelFormat* format = FindPixelFormat(code);
    if (format == nullptr) {
        throw std::runtime_error("pixel format " + Hex(code) + " has no 8-bit conversion");
    }
    return *format;
}

}  // namespace

Image8 ImageConverter::Convert(const RawImage& raw) {
    ImageConverter converter(raw, KnownFormat(raw.pixelFormat));
    switch (converter.m_format.layout) {
        case PixelLayout::Mono:
        case PixelLayout::MonoSigned:
            converter.Mono();
            break;
        case PixelLayout::Packed12:
            converter.Packed12();
            break;
        case PixelLayout::Bayer:
            converter.Bayer();
            break;
        case PixelLayout::Interleaved:
            converter.Interleaved();
            break;
        case PixelLayout::Rgb10V1:
        case PixelLayout::Rgb10V2:
            converter.Rgb10();
            break;
        case PixelLayout::Yuv411:
        case PixelLayout::Yuv422:
        case PixelLayout::Yuv444:
            converter.Yuv();
            break;
        case PixelLayout::Planar:
            converter.Planar();
            break;
    }
    return std::move(converter.m_image);
}

ImageConverter::ImageConverter(const RawImage& raw, const PixelFormat& format)
    : m_format(format), m_stride(RowBytes(format, raw.width) + raw.xPadding), m_data(raw.data) {
    if (raw.width == 0 || raw.height == 0 || raw.width % GroupPixels(format) != 0) {
        throw std::runtime_error(std::string(format.name) + " image of " + std::to_string(raw.width) + " x " +
                                 std::to_string(raw.height) + " pixels cannot be converted");
    }
    const size_t needed = m_stride * raw.height * PlaneCount(format);
    if (raw.size < needed) {
        m_padded.assign(needed, 0);
        std::memcpy(m_padded.data(), raw.data, raw.size);
        m_data = m_padded.data();
    }
    m_image.width = raw.width;
    m_image.height = raw.height;
    m_image.channels = IsGrey(format) ? 1 : 3;
    m_image.pixels.assign(raw.width * raw.height * m_image.channels, 0);
}

const uint8_t* ImageConverter::Row(size_t plane, size_t y) const {
    return m_data + (plane * m_image.height + y) * m_stride;
}

void ImageConverter::Mono() {
    const size_t bytes = ContainerBytes(m_format);
    const uint8_t flip = m_format.layout == PixelLayout::MonoSigned ? 0x80 : 0;
    uint8_t* out = m_image.pixels.data();
    for (size_t y = 0; y < m_image.height; ++y) {
        const uint8_t* in = Row(0, y);
        for (size_t x = 0; x < m_image.width; ++x, in += bytes) {
            *out++ = static_cast<uint8_t>(TopByte(SampleAt(in, bytes), m_format.bits) ^ flip);
        }
    }
}

// The first and third byte of each group hold the top eight bits of its two pixels.
void ImageConverter::Packed12() {
    uint8_t* out = m_image.pixels.data();
    for (size_t y = 0; y < m_image.height; ++y) {
        const uint8_t* in = Row(0, y);
        for (size_t x = 0; x < m_image.width; x += 2, in += 3) {
            *out++ = in[0];
            *out++ = in[2];
        }
    }
}

void ImageConverter::Bayer() {
    const size_t width = m_image.width, height = m_image.height, bytes = ContainerBytes(m_format);
    std::vector<uint8_t> samples(width * height);
    for (size_t y = 0; y < height; ++y) {
        const uint8_t* in = Row(0, y);
        for (size_t x = 0; x < width; ++x) {
            samples[y * width + x] = TopByte(SampleAt(in + x * bytes, bytes), m_format.bits);
        }
    }
    auto colourAt = [this](size_t x, size_t y) { return ChannelIndex(m_format.order[(y & 1) * 2 + (x & 1)]); };
    for (size_t y = 0; y < height; ++y) {
        for (size_t x = 0; x < width; ++x) {
            uint8_t* out = &m_image.pixels[(y * width + x) * 3];
            unsigned sums[3] = {0, 0, 0}, counts[3] = {0, 0, 0};
            for (size_t ny = y == 0 ? 0 : y - 1; ny <= std::min(y + 1, height - 1); ++ny) {
                for (size_t nx = x == 0 ? 0 : x - 1; nx <= std::min(x + 1, width - 1); ++nx) {
                    const size_t colour = colourAt(nx, ny);
                    sums[colour] += samples[ny * width + nx];
                    ++counts[colour];
                }
            }
            for (size_t colour = 0; colour < 3; ++colour) {
                out[colour] = counts[colour] == 0 ? 0 : static_cast<uint8_t>((sums[colour] + counts[colour] / 2) / counts[colour]);
            }
            out[colourAt(x, y)] = samples[y * width + x];
        }
    }
}

void ImageConverter::Interleaved() {
    const size_t bytes = ContainerBytes(m_format);
    const size_t samples = std::char_traits<char>::length(m_format.order);
    uint8_t* out = m_image.pixels.data();
    for (size_t y = 0; y < m_image.height; ++y) {
        const uint8_t* in = Row(0, y);
        for (size_t x = 0; x < m_image.width; ++x, out += 3) {
            for (size_t s = 0; s < samples; ++s, in += bytes) {
                const size_t channel = ChannelIndex(m_format.order[s]);
                if (channel < 3) {
                    out[channel] = TopByte(SampleAt(in, bytes), m_format.bits);
                }
            }
        }
    }
}

void ImageConverter::Rgb10() {
    uint8_t* out = m_image.pixels.data();
    for (size_t y = 0; y < m_image.height; ++y) {
        const uint8_t* in = Row(0, y);
        for (size_t x = 0; x < m_image.width; ++x, in += 4) {
            if (m_format.layout == PixelLayout::Rgb10V1) {
                std::memcpy(out, in + 1, 3);
                out += 3;
            } else {
                const uint32_t word = in[0] | (in[1] << 8) | (in[2] << 16) | (static_cast<uint32_t>(in[3]) << 24);
                for (int shift : {2, 12, 22}) {
                    *out++ = static_cast<uint8_t>(word >> shift);
                }
            }
        }
    }
}

void ImageConverter::PutYuv(uint8_t* out, int y, int u, int v) const {
    const double cb = u - 128.0, cr = v - 128.0;
    out[0] = Clamp(static_cast<int>(std::lround(y + 1.402 * cr)));
    out[1] = Clamp(static_cast<int>(std::lround(y - 0.344136 * cb - 0.714136 * cr)));
    out[2] = Clamp(static_cast<int>(std::lround(y + 1.772 * cb)));
}

void ImageConverter::Yuv() {
    // Within each group: the offsets of U and V and of the luma of each pixel.
    struct Group {
        size_t pixels, bytes, u, v, y[4];
    };
    static const Group kYuv411{4, 6, 0, 3, {1, 2, 4, 5}};
    static const Group kYuv422{2, 4, 0, 2, {1, 3, 0, 0}};
    static const Group kYuv444{1, 3, 0, 2, {1, 0, 0, 0}};
    const Group& group = m_format.layout == PixelLayout::Yuv411   ? kYuv411
                         : m_format.layout == PixelLayout::Yuv422 ? kYuv422
                                                                  : kYuv444;
    uint8_t* out = m_image.pixels.data();
    for (size_t y = 0; y < m_image.height; ++y) {
        const uint8_t* in = Row(0, y);
        for (size_t x = 0; x < m_image.width; x += group.pixels, in += group.bytes) {
            for (size_t p = 0; p < group.pixels; ++p, out += 3) {
                PutYuv(out, in[group.y[p]], in[group.u], in[group.v]);
            }
        }
    }
}

void ImageConverter::Planar() {
    const size_t bytes = ContainerBytes(m_format);
    for (size_t plane = 0; plane < 3; ++plane) {
        const size_t channel = ChannelIndex(m_format.order[plane]);
        for (size_t y = 0; y < m_image.height; ++y) {
            const uint8_t* in = Row(plane, y);
            uint8_t* out = &m_image.pixels[y * m_image.width * 3 + channel];
            for (size_t x = 0; x < m_image.width; ++x, in += bytes, out += 3) {
                *out = TopByte(SampleAt(in, bytes), m_format.bits);
            }
        }
    }
}

}  // namespace quarvo
