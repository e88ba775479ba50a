// The pixel formats the simulated cameras can deliver: GigE Vision codes, names and the byte
// layout each one is generated in.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Quibbon::Sim {

// How the samples of a format are laid out in memory. Multi-byte containers are little-endian.
enum class Layout {
    Mono,        // one sample per pixel in a 1- or 2-byte container (value in the low bits)
    MonoSigned,  // one 8-bit sample per pixel, two's complement around mid grey
    Packed12,    // two pixels in three bytes (GigE Vision 10/12-bit packing)
    Bayer,       // one colour sample per pixel, colour chosen by the 2x2 filter pattern
    Interleaved, // the colour samples of a pixel one after another (RGB, BGR, RGBa, BGRa)
    Rgb10V1,     // 32 bits: byte 0 the two low bits of R, G, B; bytes 1..3 the high bits of R, G, B
    Rgb10V2,     // 32-bit little-endian word: R in bits 0..9, G in 10..19, B in 20..29
    Yuv411,      // U0 Y0 Y1 V0 Y2 Y3 per four pixels
    Yuv422,      // U0 Y0 V0 Y1 per two pixels
    Yuv444,      // U Y V per pixel
    Planar,      // a full plane of R samples, then G, then B
};

// Sample channels of the generated scene.
enum Channel : uint8_t { kRed = 0, kGreen = 1, kBlue = 2, kAlpha = 3 };

struct PixelFormatInfo {
    uint32_t code;
    const char* name;
    Layout layout;
    uint8_t sampleBits;    // significant bits of each sample
    uint8_t channelCount;  // Interleaved: samples per pixel; Bayer: 4 (the 2x2 filter cell)
    // Interleaved: channel of each sample in memory order. Bayer: filter colours of the cell,
    // row 0 then row 1 (even x first).
    uint8_t channels[4];
};

// All formats of the camera's pixel format enumeration, in its order.
const PixelFormatInfo* PixelFormatsBegin();
size_t PixelFormatCount();
// The format with that code, or null.
const PixelFormatInfo* FindPixelFormat(uint32_t code);

// Bits per pixel as the code states them (bits 16..23).
constexpr uint32_t CodeBitsPerPixel(uint32_t code) { return (code >> 16) & 0xFF; }

// Grey formats show only the grey sample of a pixel, colour formats only its red, green and blue.
bool ShowsGrey(const PixelFormatInfo& format);
// Bytes of one sample container (1 for up to 8 bits, else 2).
uint32_t ContainerBytes(const PixelFormatInfo& format);
// Pixels and bytes of the smallest byte-aligned run of a row (a packed group).
uint32_t GroupPixels(const PixelFormatInfo& format);
uint32_t GroupBytes(const PixelFormatInfo& format);
// Planes of the image (3 for planar formats, else 1).
uint32_t PlaneCount(const PixelFormatInfo& format);
// Bytes of one row of one plane; width must be a multiple of GroupPixels.
uint64_t RowBytes(const PixelFormatInfo& format, uint32_t width);
// Bytes of a whole image, following the layout (32 bits per pixel for RGBa8 and BGRa8, whose
// codes state 24).
uint64_t PayloadSize(const PixelFormatInfo& format, uint32_t width, uint32_t height);

}  // namespace Quibbon::Sim
