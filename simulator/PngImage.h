// Decoding of PNG files into plain 16-bit samples, the form replayed images are converted from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Quibbon::Sim {

// A decoded image: channels (1 grey, 3 red-green-blue) 16-bit samples per pixel, in row order.
// 8-bit samples v are widened to v * 257, so 0 and 255 become 0 and 65535.
struct SourceImage {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t channels = 1;
    std::vector<uint16_t> samples;
};

// Reads a PNG file of any colour type and depth: grey and grey with alpha give a grey image,
// palette, RGB and RGB with alpha a colour one; grey below 8 bits is scaled to the full range and
// alpha (also a palette's or tRNS transparency) is dropped. Images wider or higher than maxSide
// are refused before their pixels are decoded. Throws std::runtime_error with a text that says
// what is wrong with the file (without its name).
SourceImage ReadPng(const std::string& path, uint32_t maxSide);
// The same for the size bytes of a PNG file at data.
SourceImage ReadPngBytes(const void* data, size_t size, uint32_t maxSide);

}  // namespace Quibbon::Sim
