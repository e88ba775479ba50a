#include "simulator/VideoConverter.h"

extern "C" {
#include <libavutil/avconfig.h>
#include <libavutil/imgutils.h>
#include <libavutil/mem.h>
}

#include <cstddef>
#include <cstring>
#include <tuple>

namespace Quibbon::Sim {

using namespace Media;

namespace {

// FFmpeg copies the colour codes a stream declares into its frames unchecked, so a damaged
// stream's may lie outside their enumeration, where reading them as the enumeration is undefined:
// they are read as the integers FFmpeg stored.
template <typename Code>
int StoredCode(const Code& field) {
    static_assert(sizeof(Code) == sizeof(int));
    int value = 0;
    std::memcpy(&value, &field, sizeof value);
    return value;
}

AVPixelFormat Target(VideoLayout layout) {
    switch (layout) {
        case VideoLayout::Gray8: return AV_PIX_FMT_GRAY8;
        case VideoLayout::Gray16: return AV_PIX_FMT_GRAY16;
        case VideoLayout::Rgb24: return AV_PIX_FMT_RGB24;
        case VideoLayout::Rgb48: return AV_PIX_FMT_RGB48;
    }
    return AV_PIX_FMT_NONE;
}

// A converter of width x height pictures of format into layout. A YUV picture turns into RGB by
// the matrix colours names (BT.709 for most HD video, not the converter's BT.601 default) and into
// full-range RGB or grey from the range colours names.
ScalerPtr MakeScaler(AVPixelFormat format, int width, int height, VideoLayout layout, const AVFrame& colours) {
    ScalerPtr scaler(
        sws_getContext(width, height, format, width, height, Target(layout), SWS_POINT, nullptr, nullptr, nullptr));
    const auto* described = av_pix_fmt_desc_get(format);
    if (!scaler || (described->flags & AV_PIX_FMT_FLAG_RGB) != 0 || IsGrey(*described)) {
        return scaler;
    }
    const int fullRange = StoredCode(colours.color_range) == AVCOL_RANGE_JPEG ? 1 : 0;
    // Refused (and the defaults kept) for a matrix the converter does not know.
    sws_setColorspaceDetails(scaler.get(), sws_getCoefficients(StoredCode(colours.colorspace)), fullRange,
                             sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
    return scaler;
}

// The depth of the samples of the first plane when each of them is looked up into grey: the plane
// holds the luma (or grey) samples alone, a byte or a 16-bit word of this machine's order each,
// and libswscale converts each sample by its level alone (its 8-bit grey from deeper samples
// depends on their position too: it dithers them). 0 when libswscale converts.
int LookedUpDepth(const AVPixFmtDescriptor& described, VideoLayout layout) {
    constexpr uint64_t kNotLuma =
        AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BAYER | AV_PIX_FMT_FLAG_FLOAT |
        AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_HWACCEL;
    const bool bigEndian = (described.flags & AV_PIX_FMT_FLAG_BE) != 0;
    if ((layout != VideoLayout::Gray8 && layout != VideoLayout::Gray16) || (described.flags & kNotLuma) != 0 ||
        bigEndian != (AV_HAVE_BIGENDIAN != 0) || described.nb_components == 0) {
        return 0;
    }
    const AVComponentDescriptor& luma = described.comp[0];
    const int bytes = luma.depth > 8 ? 2 : 1;
    const bool alone = luma.plane == 0 && luma.step == bytes && luma.offset == 0 && luma.shift == 0;
    const bool levelAlone = layout == VideoLayout::Gray16 || luma.depth == 8;
    return alone && levelAlone && luma.depth >= 8 && luma.depth <= 16 ? luma.depth : 0;
}

// libswscale's conversion of every level of a first plane of depth bits into layout, in order: a
// picture of the frame's format and colours whose first plane counts up from 0, 256 samples a row.
std::vector<uint8_t> Levels(const AVFrame& frame, int depth, VideoLayout layout) {
    const auto format = static_cast<AVPixelFormat>(frame.format);
    const int rows = (1 << depth) / 256;
    const ScalerPtr scaler = MakeScaler(format, 256, rows, layout, frame);
    uint8_t* planes[4] = {};
    int strides[4] = {};
    const int size = scaler ? av_image_alloc(planes, strides, 256, rows, format, 64) : -1;
    if (size < 0) {
        return {};
    }
    std::memset(planes[0], 0, static_cast<size_t>(size));  // one buffer holds all planes
    for (int level = 0; level < rows * 256; ++level) {
        uint8_t* sample = planes[0] + ptrdiff_t{strides[0]} * (level / 256);
        if (depth > 8) {
            const auto word = static_cast<uint16_t>(level);
            std::memcpy(sample + (level % 256) * 2, &word, 2);
        } else {
            sample[level % 256] = static_cast<uint8_t>(level);
        }
    }
    const uint32_t outBytes = VideoConverter::BytesPerPixel(layout);
    std::vector<uint8_t> levels(size_t{256} * rows * outBytes);
    uint8_t* out[4] = {levels.data(), nullptr, nullptr, nullptr};
    const int outStrides[4] = {static_cast<int>(256 * outBytes), 0, 0, 0};
    sws_scale(scaler.get(), planes, strides, 0, rows, out, outStrides);
    av_freep(&planes[0]);
    return levels;
}

// Each sample of the frame's first plane (of type In) through the table levels (of type Out).
template <typename In, typename Out>
void LookUp(const AVFrame& frame, const std::vector<uint8_t>& levels, uint8_t* pixels) {
    const auto* table = reinterpret_cast<const Out*>(levels.data());
    // Bits above the plane's depth of 16-bit samples, which only a damaged picture may set, would
    // lead beyond the table; a byte's table holds every level.
    const In mask = static_cast<In>(levels.size() / sizeof(Out) - 1);
    const auto level = [&](In sample) { return table[sizeof(In) == 1 ? sample : sample & mask]; };
    constexpr int kBlock = 8;
    const int width = frame.width;
    const ptrdiff_t stride = frame.linesize[0];
    const uint8_t* row = frame.data[0];
    auto* out = reinterpret_cast<Out*>(pixels);
    for (int y = 0; y < frame.height; ++y, row += stride, out += width) {
        const auto* in = reinterpret_cast<const In*>(row);
        int x = 0;
        // Blocks of samples are looked up before they are stored: a store through Out may touch
        // the table as far as the compiler knows, and would hold the next lookup back.
        for (; x + kBlock <= width; x += kBlock) {
            Out block[kBlock];
            for (int i = 0; i < kBlock; ++i) {
                block[i] = level(in[x + i]);
            }
            std::memcpy(out + x, block, sizeof block);
        }
        for (; x < width; ++x) {
            out[x] = level(in[x]);
        }
    }
}

// Whether levels gives every level back as it is, in samples of the same size, so that the first
// plane's rows are only copied.
bool GivesLevelsBack(const std::vector<uint8_t>& levels, bool deep, VideoLayout layout) {
    if (deep != (layout == VideoLayout::Gray16)) {
        return false;
    }
    const size_t bytes = deep ? 2 : 1;
    for (size_t level = 0; level < levels.size() / bytes; ++level) {
        uint16_t value = levels[level];
        if (deep) {
            std::memcpy(&value, &levels[level * 2], 2);
        }
        if (value != level) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool VideoConverter::Prepared::operator==(const Prepared& other) const {
    return std::tie(format, width, height, colourSpace, range, layout) ==
           std::tie(other.format, other.width, other.height, other.colourSpace, other.range, other.layout);
}

// libswscale writes 1-bit pictures eight pixels at a time, past the end of a row of another width,
// so those are left out (no video uses them).
bool VideoConverter::Converts(AVPixelFormat format) {
    const auto* described = av_pix_fmt_desc_get(format);
    return described != nullptr && sws_isSupportedInput(format) != 0 &&
           (described->flags & AV_PIX_FMT_FLAG_BITSTREAM) == 0;
}

uint32_t VideoConverter::BytesPerPixel(VideoLayout layout) {
    switch (layout) {
        case VideoLayout::Gray8: return 1;
        case VideoLayout::Gray16: return 2;
        case VideoLayout::Rgb24: return 3;
        case VideoLayout::Rgb48: return 6;
    }
    return 0;
}

bool VideoConverter::Prepare(const AVFrame& frame, VideoLayout layout) {
    m_scaler.reset();
    m_levels.clear();
    const auto format = static_cast<AVPixelFormat>(frame.format);
    if (!Converts(format)) {
        return false;
    }
    if (const int depth = LookedUpDepth(*av_pix_fmt_desc_get(format), layout); depth != 0) {
        m_levels = Levels(frame, depth, layout);
        m_deepLevels = depth > 8;
        m_copy = GivesLevelsBack(m_levels, m_deepLevels, layout);
    }
    if (m_levels.empty()) {
        m_scaler = MakeScaler(format, frame.width, frame.height, layout, frame);
        return m_scaler != nullptr;
    }
    return true;
}

bool VideoConverter::Convert(const AVFrame& frame, VideoLayout layout, uint8_t* pixels) {
    const Prepared wanted{frame.format,
                          frame.width,
                          frame.height,
                          StoredCode(frame.colorspace),
                          StoredCode(frame.color_range),
                          layout};
    if (!m_ready || !(wanted == m_prepared)) {
        m_ready = Prepare(frame, layout);
        if (!m_ready) {
            return false;
        }
        m_prepared = wanted;
    }
    if (m_levels.empty()) {
        uint8_t* planes[4] = {pixels, nullptr, nullptr, nullptr};
        const int strides[4] = {static_cast<int>(frame.width * BytesPerPixel(layout)), 0, 0, 0};
        sws_scale(m_scaler.get(), frame.data, frame.linesize, 0, frame.height, planes, strides);
    } else if (m_copy) {
        const int rowBytes = frame.width * static_cast<int>(BytesPerPixel(layout));
        av_image_copy_plane(pixels, rowBytes, frame.data[0], frame.linesize[0], rowBytes, frame.height);
    } else if (m_deepLevels) {
        LookUp<uint16_t, uint16_t>(frame, m_levels, pixels);
    } else if (layout == VideoLayout::Gray16) {
        LookUp<uint8_t, uint16_t>(frame, m_levels, pixels);
    } else {
        LookUp<uint8_t, uint8_t>(frame, m_levels, pixels);
    }
    return true;
}

}  // namespace Quibbon::Sim
