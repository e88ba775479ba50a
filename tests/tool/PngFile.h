// A PNG file the tool wrote, read back as it is stored (grey, grey with alpha, RGB or RGBA).
#pragma once

#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <string>
#include <vector>

namespace quarvo_test {

struct Png {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t channels = 0;
    std::vector<uint8_t> pixels;
};

// A file that cannot be read is a test failure, and gives an empty image.
inline Png ReadPng(const std::string& file) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    Png png;
    if (!png_image_begin_read_from_file(&image, file.c_str())) {
        ADD_FAILURE() << file << ": " << image.message;
        return png;
    }
    png.channels = PNG_IMAGE_SAMPLE_CHANNELS(image.format);
    png.width = image.width;
    png.height = image.height;
    png.pixels.resize(PNG_IMAGE_SIZE(image));
    EXPECT_TRUE(png_image_finish_read(&image, nullptr, png.pixels.data(), 0, nullptr)) << image.message;
    return png;
}

}  // namespace quarvo_test
