// Encoding of pixels given as 16-bit samples into the byte layout of any supported pixel format.
// Test patterns and replayed images both go through here, so every format is written one way.
#pragma once

#include <cstdint>
#include <vector>

#include "simulator/PixelFormats.h"

namespace Quibbon::Sim {

// One pixel in 16-bit samples. A format shows the top bits of each sample.
struct ScenePixel {
    uint16_t r;
    uint16_t g;
    uint16_t b;
    uint16_t mono;  // what grey formats show
};

struct Yuv {
    uint8_t y;
    uint8_t u;  // offset by 128
    uint8_t v;  // offset by 128
};

// Sample of one channel reduced to bits significant bits (alpha is always opaque).
uint16_t ChannelSample(const ScenePixel& pixel, uint8_t channel, uint8_t bits);
// Full-range BT.601 conversion of the pixel's 8-bit colour.
Yuv ToYuv(const ScenePixel& pixel);
// BT.601 luma of 16-bit red, green and blue (weights 0.299, 0.587, 0.114).
uint16_t Luminance(uint32_t r, uint32_t g, uint32_t b);

// Encodes count pixels (a whole number of groups, the first at an even x) of a row whose y has
// parity yParity; for planar formats only the samples of plane. Bayer formats take from each
// pixel the colour of its filter site.
void EncodeRun(const PixelFormatInfo& format, const ScenePixel* pixels, uint32_t count, uint32_t yParity,
               uint32_t plane, uint8_t* out);
// A whole image from width * height pixels in row order; width must be a multiple of the
// format's group size.
std::vector<uint8_t> EncodeImage(const PixelFormatInfo& format, uint32_t width, uint32_t height,
                                 const std::vector<ScenePixel>& pixels);

}  // namespace Quibbon::Sim
