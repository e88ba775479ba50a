#include "consumer/PixelFormat.h"

#include <algorithm>
#include <iterator>

namespace quarvo {

namespace {

using L = PixelLayout;

constexpr PixelFormat kFormats[] = {
    {0x01080001, "Mono8", L::Mono, 8, ""},
    {0x01080002, "Mono8Signed", L::MonoSigned, 8, ""},
    {0x01100003, "Mono10", L::Mono, 10, ""},
    {0x010C0004, "Mono10Packed", L::Packed12, 10, ""},
    {0x01100005, "Mono12", L::Mono, 12, ""},
    {0x010C0006, "Mono12Packed", L::Packed12, 12, ""},
    {0x01100007, "Mono16", L::Mono, 16, ""},
    {0x01080008, "BayerGR8", L::Bayer, 8, "GRBG"},
    {0x01080009, "BayerRG8", L::Bayer, 8, "RGGB"},
    {0x0108000A, "BayerGB8", L::Bayer, 8, "GBRG"},
    {0x0108000B, "BayerBG8", L::Bayer, 8, "BGGR"},
    {0x0110000C, "BayerGR10", L::Bayer, 10, "GRBG"},
    {0x0110000D, "BayerRG10", L::Bayer, 10, "RGGB"},
    {0x0110000E, "BayerGB10", L::Bayer, 10, "GBRG"},
    {0x0110000F, "BayerBG10", L::Bayer, 10, "BGGR"},
    {0x01100010, "BayerGR12", L::Bayer, 12, "GRBG"},
    {0x01100011, "BayerRG12", L::Bayer, 12, "RGGB"},
    {0x01100012, "BayerGB12", L::Bayer, 12, "GBRG"},
    {0x01100013, "BayerBG12", L::Bayer, 12, "BGGR"},
    {0x02180014, "RGB8", L::Interleaved, 8, "RGB"},
    {0x02180015, "BGR8", L::Interleaved, 8, "BGR"},
    {0x02180016, "RGBa8", L::Interleaved, 8, "RGBa"},
    {0x02180017, "BGRa8", L::Interleaved, 8, "BGRa"},
    {0x02300018, "RGB10Packed", L::Interleaved, 10, "RGB"},
    {0x02300019, "BGR10Packed", L::Interleaved, 10, "BGR"},
    {0x0230001A, "RGB12Packed", L::Interleaved, 12, "RGB"},
    {0x0230001B, "BGR12Packed", L::Interleaved, 12, "BGR"},
    {0x0220001C, "RGB10V1Packed", L::Rgb10V1, 10, "RGB"},
    {0x0220001D, "RGB10V2Packed", L::Rgb10V2, 10, "RGB"},
    {0x020C001E, "YUV411Packed", L::Yuv411, 8, ""},
    {0x0210001F, "YUV422Packed", L::Yuv422, 8, ""},
    {0x02180020, "YUV444Packed", L::Yuv444, 8, ""},
    {0x02180021, "RGB8Planar", L::Planar, 8, "RGB"},
    {0x02300022, "RGB10Planar", L::Planar, 10, "RGB"},
    {0x02300023, "RGB12Planar", L::Planar, 12, "RGB"},
    {0x02300024, "RGB16Planar", L::Planar, 16, "RGB"},
};

size_t GroupBytes(const PixelFormat& format) {
    switch (format.layout) {
        case L::Packed12:
        case L::Yuv444:
            return 3;
        case L::Rgb10V1:
        case L::Rgb10V2:
        case L::Yuv422:
            return 4;
        case L::Yuv411:
            return 6;
        case L::Interleaved:
            return std::char_traits<char>::length(format.order) * ContainerBytes(format);
        default:
            return ContainerBytes(format);
    }
}

}  // namespace

const PixelFormat* FindPixelFormat(uint64_t code) {
    const auto* found = std::find_if(std::begin(kFormats), std::end(kFormats),
                                     [code](const PixelFormat& format) { return format.code == code; });
    return found == std::end(kFormats) ? nullptr : found;
}

const PixelFormat* FindPixelFormat(const std::string& name) {
    const auto* found = std::find_if(std::begin(kFormats), std::end(kFormats),
                                     [&name](const PixelFormat& format) { return name == format.name; });
    return found == std::end(kFormats) ? nullptr : found;
}

size_t ContainerBytes(const PixelFormat& format) { return format.bits > 8 ? 2 : 1; }

size_t GroupPixels(const PixelFormat& format) {
    switch (format.layout) {
        case L::Packed12:
        case L::Yuv422:
            return 2;
        case L::Yuv411:
            return 4;
        default:
            return 1;
    }
}

size_t RowBytes(const PixelFormat& format, size_t width) { return width / GroupPixels(format) * GroupBytes(format); }

size_t PlaneCount(const PixelFormat& format) { return format.layout == L::Planar ? 3 : 1; }

bool IsGrey(const PixelFormat& format) {
    return format.layout == L::Mono || format.layout == L::MonoSigned || format.layout == L::Packed12;
}

}  // namespace quarvo
