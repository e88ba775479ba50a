#include "simulator/PngImage.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace Quibbon::Sim {

namespace {

// What the decoder fills in. It lives in the caller's frame: libpng reports errors by a long jump
// back into DecodePng, which therefore keeps no object with a destructor of its own.
struct PngReadState {
    uint32_t maxSide = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t channels = 0;
    uint32_t bitDepth = 0;
    std::vector<uint8_t> bytes;
    std::vector<png_bytep> rows;
    char error[256] = {};

    bool Allocate(size_t rowBytes) noexcept {
        try {
            bytes.resize(rowBytes * height);
            rows.resize(height);
            for (uint32_t y = 0; y < height; ++y) {
                rows[y] = bytes.data() + rowBytes * y;
            }
            return true;
        } catch (...) {
            std::snprintf(error, sizeof error, "out of memory");
            return false;
        }
    }
};

void OnPngError(png_structp png, png_const_charp message) {
    auto* state = static_cast<PngReadState*>(png_get_error_ptr(png));
    std::snprintf(state->error, sizeof state->error, "%s", message);
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// Asks libpng for 8- or 16-bit grey or RGB samples without alpha, whatever the file holds.
void RequestPlainSamples(png_structp png, png_infop info) {
    const int colourType = png_get_color_type(png, info);
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        png_set_palette_to_rgb(png);
    }
    if (colourType == PNG_COLOR_TYPE_GRAY && png_get_bit_depth(png, info) < 8) {
        png_set_expand_gray_1_2_4_to_8(png);
    }
    if ((colourType & PNG_COLOR_MASK_ALPHA) != 0) {
        png_set_strip_alpha(png);
    }
    png_set_interlace_handling(png);
}

bool DecodePng(FILE* file, PngReadState* state) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, state, OnPngError, OnPngWarning);
    if (png == nullptr) {
        std::snprintf(state->error, sizeof state->error, "out of memory");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_init_io(png, file);
    // Only the pixels are replayed. libpng would read every other chunk it knows into memory as
    // large as the chunk claims (up to 2 GiB, whatever the file holds); skipped, they cost nothing.
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_read_info(png, info);
    state->width = png_get_image_width(png, info);
    state->height = png_get_image_height(png, info);
    if (state->width > state->maxSide || state->height > state->maxSide) {
        png_destroy_read_struct(&png, &info, nullptr);
        return true;  // the caller refuses the size
    }
    RequestPlainSamples(png, info);
    png_read_update_info(png, info);
    state->channels = png_get_channels(png, info);
    state->bitDepth = png_get_bit_depth(png, info);
    if (!state->Allocate(png_get_rowbytes(png, info))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_read_image(png, state->rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

SourceImage ToSamples(const PngReadState& state) {
    SourceImage image;
    image.width = state.width;
    image.height = state.height;
    image.channels = state.channels;
    const size_t count = size_t{state.width} * state.height * state.channels;
    image.samples.resize(count);
    const uint8_t* in = state.bytes.data();
    for (size_t i = 0; i < count; ++i) {
        // 16-bit PNG samples are big-endian.
        image.samples[i] = state.bitDepth == 16 ? static_cast<uint16_t>(in[2 * i] << 8 | in[2 * i + 1])
                                                : static_cast<uint16_t>(in[i] * 257);
    }
    return image;
}

SourceImage ReadPngStream(FILE* file, uint32_t maxSide) {
    png_byte signature[8] = {};
    if (std::fread(signature, 1, sizeof signature, file) != sizeof signature ||
        png_sig_cmp(signature, 0, sizeof signature) != 0) {
        throw std::runtime_error("is not a PNG file");
    }
    std::rewind(file);
    PngReadState state;
    state.maxSide = maxSide;
    if (!DecodePng(file, &state)) {
        throw std::runtime_error(std::string("cannot be decoded (") + state.error + ")");
    }
    if (state.width > maxSide || state.height > maxSide) {
        throw std::runtime_error("is " + std::to_string(state.width) + "x" + std::to_string(state.height) +
                                 ", larger than " + std::to_string(maxSide) + " pixels a side");
    }
    if (state.channels != 1 && state.channels != 3) {
        throw std::runtime_error("has an unsupported colour type");
    }
    return ToSamples(state);
}

using File = std::unique_ptr<FILE, int (*)(FILE*)>;

}  // namespace

SourceImage ReadPng(const std::string& path, uint32_t maxSide) {
    const File file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) {
        throw std::runtime_error(std::string("cannot be opened (") + std::strerror(errno) + ")");
    }
    return ReadPngStream(file.get(), maxSide);
}

SourceImage ReadPngBytes(const void* data, size_t size, uint32_t maxSide) {
    if (size == 0) {
        throw std::runtime_error("is not a PNG file");
    }
    // A stream over the bytes lets libpng read them as it reads a file.
    const File file(fmemopen(const_cast<void*>(data), size, "rb"), std::fclose);
    if (!file) {
        throw std::runtime_error(std::string("cannot be opened (") + std::strerror(errno) + ")");
    }
    return ReadPngStream(file.get(), maxSide);
}

}  // namespace Quibbon::Sim
