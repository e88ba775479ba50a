// Decoding of image files (PNG, TIFF, BMP, JPEG and whatever else FFmpeg's libraries read) into
// plain 16-bit samples, the form replayed images are converted from.
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

// Reads the first image of a file. Grey images (with or without alpha, of any depth) give a grey
// image, all others (palette, RGB, YUV as JPEG stores it) a colour one; alpha is dropped. Samples
// of more than 8 bits keep their 16-bit value, fewer are widened as above. Images wider or higher
// than maxSide are refused before their pixels are decoded. Throws std::runtime_error with a text
// that says what is wrong with the file (without its name).
SourceImage ReadImage(const std::string& path, uint32_t maxSide);
// The same for the size bytes of an image file at data.
SourceImage ReadImageBytes(const void* data, size_t size, uint32_t maxSide);

}  // namespace Quibbon::Sim
