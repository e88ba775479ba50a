#include "simulator/VideoReplay.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "simulator/FrameCopy.h"

namespace Quibbon::Sim {

namespace {

// Formats whose bytes are the samples of that layout, one pixel after another.
bool IsDecodedLayout(const PixelFormatInfo& format, VideoLayout layout) {
    const std::string name = format.name;
    return (name == "Mono8" && layout == VideoLayout::Gray8) || (name == "RGB8" && layout == VideoLayout::Rgb24);
}

}  // namespace

VideoReplay::VideoReplay(const FrameShape& shape, std::shared_ptr<const VideoClip> clip) : m_clip(std::move(clip)) {
    const PixelFormatInfo* format = FindPixelFormat(shape.sensor.pixelFormat);
    if (!m_clip || format == nullptr) {
        throw std::invalid_argument(m_clip ? "unknown pixel format" : "no video to replay");
    }
    // Checks the shape against the video's size, as for images.
    auto transform = std::make_unique<const TransformedSource>(shape, FirstFrameImages(*m_clip));
    m_payloadSize = transform->PayloadSize();
    const VideoLayout layout = m_clip->LayoutFor(ShowsGrey(*format));
    const bool neutral = IsNeutral(shape.geometry, shape.sensor) && IsNeutral(shape.values);
    if (!neutral || !IsDecodedLayout(*format, layout)) {
        m_transform = std::move(transform);
    }
    m_frames = std::make_unique<DecodeAhead>(m_clip, layout, PayloadMaker(layout), kVideoFramesAhead);
}

DecodeAhead::MakePayload VideoReplay::PayloadMaker(VideoLayout layout) const {
    if (!m_transform) {
        return [](VideoFrame& frame, std::vector<uint8_t>& bytes) { std::swap(frame.pixels, bytes); };
    }
    return [this, layout](VideoFrame& frame, std::vector<uint8_t>& bytes) {
        const SourceImage image = ImageOfFrame(frame.pixels, layout, m_clip->width, m_clip->height);
        bytes.resize(m_payloadSize);
        m_transform->RenderImage(image, bytes.data(), bytes.size());
    };
}

bool VideoReplay::RenderPrefix(uint32_t frame, uint8_t* destination, uint64_t bytes) const {
    bytes = std::min(bytes, m_payloadSize);
    const auto payload = m_frames->Get(frame % m_clip->FrameCount());
    const uint64_t copied = payload->bytes.size() == m_payloadSize ? bytes : 0;
    if (copied > 0) {
        FrameWriter(copied).Copy(destination, payload->bytes.data(), copied);
    }
    std::memset(destination + copied, 0, bytes - copied);
    return payload->whole && copied == bytes;
}

}  // namespace Quibbon::Sim
