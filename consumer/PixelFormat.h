// The pixel formats this consumer understands: the GigE Vision codes a remote description
// lists, with the memory layout of each. Multi-byte containers are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quarvo {

enum class PixelLayout {
    Mono,         // one sample per pixel in a 1- or 2-byte container (value in the low bits)
    MonoSigned,   // one 8-bit two's-complement sample per pixel
    Packed12,     // two pixels in three bytes: high bits of pixel 0, both low-bit groups, high bits of pixel 1
    Bayer,        // one colour sample per pixel, the colour given by the 2x2 filter cell
    Interleaved,  // the samples of a pixel one after another (RGB, BGR, RGBa, BGRa)
    Rgb10V1,      // 32 bits: byte 0 the two low bits of R, G, B; bytes 1..3 the high eight of R, G, B
    Rgb10V2,      // one 32-bit word: R in bits 0..9, G in 10..19, B in 20..29
    Yuv411,       // U0 Y0 Y1 V0 Y2 Y3 per four pixels
    Yuv422,       // U0 Y0 V0 Y1 per two pixels
    Yuv444,       // U Y V per pixel
    Planar,       // a whole plane of R samples, then G, then B
};

struct PixelFormat {
    uint32_t code;
    const char* name;
    PixelLayout layout;
    uint8_t bits;  // significant bits of each sample
    // Interleaved: the channel of each sample in memory order ('R', 'G', 'B', 'a').
    // Bayer: the filter colours of the 2x2 cell, row 0 then row 1, even column first.
    const char* order;
};

// The format of that code, or null for one this consumer cannot read.
const PixelFormat* FindPixelFormat(uint64_t code);
// The format of that name, or null.
const PixelFormat* FindPixelFormat(const std::string& name);

// Bytes of one sample container (1 up to 8 bits, else 2).
size_t ContainerBytes(const PixelFormat& format);
// Bytes of one row of a plane of that width (without padding). The width must be a whole number
// of the layout's pixel groups.
size_t RowBytes(const PixelFormat& format, size_t width);
// Pixels of the smallest group that starts at a byte boundary.
size_t GroupPixels(const PixelFormat& format);
// Planes of an image (3 for the planar layout, else 1).
size_t PlaneCount(const PixelFormat& format);
// Whether images of the format convert to grey (else to RGB).
bool IsGrey(const PixelFormat& format);

}  // namespace quarvo
