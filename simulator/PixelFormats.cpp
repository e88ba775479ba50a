#include "simulator/PixelFormats.h"

#include <algorithm>
#include <iterator>

namespace Quibbon::Sim {

namespace {

constexpr uint8_t R = kRed, G = kGreen, B = kBlue, A = kAlpha;

constexpr PixelFormatInfo kFormats[] = {
    {0x01080001, "Mono8", Layout::Mono, 8, 1, {R}},
    {0x01080002, "Mono8Signed", Layout::MonoSigned, 8, 1, {R}},
    {0x01100003, "Mono10", Layout::Mono, 10, 1, {R}},
    {0x010C0004, "Mono10Packed", Layout::Packed12, 10, 1, {R}},
    {0x01100005, "Mono12", Layout::Mono, 12, 1, {R}},
    {0x010C0006, "Mono12Packed", Layout::Packed12, 12, 1, {R}},
    {0x01100007, "Mono16", Layout::Mono, 16, 1, {R}},
    {0x01080008, "BayerGR8", Layout::Bayer, 8, 4, {G, R, B, G}},
    {0x01080009, "BayerRG8", Layout::Bayer, 8, 4, {R, G, G, B}},
    {0x0108000A, "BayerGB8", Layout::Bayer, 8, 4, {G, B, R, G}},
    {0x0108000B, "BayerBG8", Layout::Bayer, 8, 4, {B, G, G, R}},
    {0x0110000C, "BayerGR10", Layout::Bayer, 10, 4, {G, R, B, G}},
    {0x0110000D, "BayerRG10", Layout::Bayer, 10, 4, {R, G, G, B}},
    {0x0110000E, "BayerGB10", Layout::Bayer, 10, 4, {G, B, R, G}},
    {0x0110000F, "BayerBG10", Layout::Bayer, 10, 4, {B, G, G, R}},
    {0x01100010, "BayerGR12", Layout::Bayer, 12, 4, {G, R, B, G}},
    {0x01100011, "BayerRG12", Layout::Bayer, 12, 4, {R, G, G, B}},
    {0x01100012, "BayerGB12", Layout::Bayer, 12, 4, {G, B, R, G}},
    {0x01100013, "BayerBG12", Layout::Bayer, 12, 4, {B, G, G, R}},
    {0x02180014, "RGB8", Layout::Interleaved, 8, 3, {R, G, B}},
    {0x02180015, "BGR8", Layout::Interleaved, 8, 3, {B, G, R}},
    {0x02180016, "RGBa8", Layout::Interleaved, 8, 4, {R, G, B, A}},
    {0x02180017, "BGRa8", Layout::Interleaved, 8, 4, {B, G, R, A}},
    {0x02300018, "RGB10Packed", Layout::Interleaved, 10, 3, {R, G, B}},
    {0x02300019, "BGR10Packed", Layout::Interleaved, 10, 3, {B, G, R}},
    {0x0230001A, "RGB12Packed", Layout::Interleaved, 12, 3, {R, G, B}},
    {0x0230001B, "BGR12Packed", Layout::Interleaved, 12, 3, {B, G, R}},
    {0x0220001C, "RGB10V1Packed", Layout::Rgb10V1, 10, 3, {R, G, B}},
    {0x0220001D, "RGB10V2Packed", Layout::Rgb10V2, 10, 3, {R, G, B}},
    {0x020C001E, "YUV411Packed", Layout::Yuv411, 8, 3, {R, G, B}},
    {0x0210001F, "YUV422Packed", Layout::Yuv422, 8, 3, {R, G, B}},
    {0x02180020, "YUV444Packed", Layout::Yuv444, 8, 3, {R, G, B}},
    {0x02180021, "RGB8Planar", Layout::Planar, 8, 3, {R, G, B}},
    {0x02300022, "RGB10Planar", Layout::Planar, 10, 3, {R, G, B}},
    {0x02300023, "RGB12Planar", Layout::Planar, 12, 3, {R, G, B}},
    {0x02300024, "RGB16Planar", Layout::Planar, 16, 3, {R, G, B}},
};

}  // namespace

const PixelFormatInfo* PixelFormatsBegin() { return std::begin(kFormats); }

size_t PixelFormatCount() { return std::size(kFormats); }

const PixelFormatInfo* FindPixelFormat(uint32_t code) {
    const auto* found = std::find_if(std::begin(kFormats), std::end(kFormats),
                                     [code](const PixelFormatInfo& format) { return format.code == code; });
    return found == std::end(kFormats) ? nullptr : found;
}

bool ShowsGrey(const PixelFormatInfo& format) {
    return format.layout == Layout::Mono || format.layout == Layout::MonoSigned || format.layout == Layout::Packed12;
}

uint32_t ContainerBytes(const PixelFormatInfo& format) { return format.sampleBits > 8 ? 2 : 1; }

uint32_t GroupPixels(const PixelFormatInfo& format) {
    switch (format.layout) {
        case Layout::Packed12:
        case Layout::Yuv422:
            return 2;
        case Layout::Yuv411:
            return 4;
        default:
            return 1;
    }
}

uint32_t GroupBytes(const PixelFormatInfo& format) {
    switch (format.layout) {
        case Layout::Packed12:
        case Layout::Yuv444:
            return 3;
        case Layout::Rgb10V1:
        case Layout::Rgb10V2:
        case Layout::Yuv422:
            return 4;
        case Layout::Yuv411:
            return 6;
        case Layout::Interleaved:
            return format.channelCount * ContainerBytes(format);
        default:
            return ContainerBytes(format);
    }
}

uint32_t PlaneCount(const PixelFormatInfo& format) { return format.layout == Layout::Planar ? 3 : 1; }

uint64_t RowBytes(const PixelFormatInfo& format, uint32_t width) {
    return uint64_t{width} / GroupPixels(format) * GroupBytes(format);
}

uint64_t PayloadSize(const PixelFormatInfo& format, uint32_t width, uint32_t height) {
    return RowBytes(format, width) * height * PlaneCount(format);
}

}  // namespace Quibbon::Sim
