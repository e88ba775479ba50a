// Turns a delivered image of any known pixel format into viewable 8-bit grey or RGB pixels:
// deeper samples keep their top eight bits, packed formats are unpacked, Bayer images are
// demosaiced (each missing colour the mean of its neighbours in the 3x3 cell), YUV is turned into
// RGB (full-range BT.601) and planar images are interleaved.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "consumer/PixelFormat.h"

namespace quarvo {

// An image as delivered: rows of the format's layout, each followed by xPadding bytes.
struct RawImage {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t width = 0;
    size_t height = 0;
    size_t xPadding = 0;
    uint64_t pixelFormat = 0;
};

// 8-bit pixels, rows top to bottom; one sample per pixel (grey) or three (R, G, B).
struct Image8 {
    size_t width = 0;
    size_t height = 0;
    size_t channels = 1;
    std::vector<uint8_t> pixels;
};

class ImageConverter {
public:
    // Throws std::runtime_error for a pixel format it does not know or a width its layout cannot
    // hold. An image shorter than its description (an incomplete frame) converts with the
    // missing part black.
    static Image8 Convert(const RawImage& raw);

private:
    ImageConverter(const RawImage& raw, const PixelFormat& format);

    const uint8_t* Row(size_t plane, size_t y) const;
    void Mono();
    void Packed12();
    void Bayer();
    void Interleaved();
    void Rgb10();
    void Yuv();
    void Planar();
    void PutYuv(uint8_t* out, int y, int u, int v) const;

    const PixelFormat& m_format;
    size_t m_stride;
    std::vector<uint8_t> m_padded;  // the image filled up to its full size, when it came short
    const uint8_t* m_data;
    Image8 m_image;
};

}  // namespace quarvo
