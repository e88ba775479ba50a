// Replay of a video as a camera's frames: frame N shows the video's frame N modulo its length,
// decoded ahead by a thread of its own and made into the camera's pixel format there, so that a
// grab finds it ready and copies it.
#pragma once

#include <cstdint>
#include <memory>

#include "simulator/DecodeAhead.h"
#include "simulator/FrameShape.h"
#include "simulator/FrameSource.h"
#include "simulator/TransformedSource.h"
#include "simulator/VideoClip.h"

namespace Quibbon::Sim {

// Frames decoded ahead of the one a grab takes.
constexpr size_t kVideoFramesAhead = 4;

class VideoReplay final : public FrameSource {
public:
    // shape's sensor is the video's full image. A grey format shows the video's grey (luma)
    // samples, a colour format its RGB samples; Mono8 and RGB8 of an 8-bit video without a
    // transform are these samples as decoded. Throws std::invalid_argument like TransformedSource.
    VideoReplay(const FrameShape& shape, std::shared_ptr<const VideoClip> clip);

    uint64_t PayloadSize() const override { return m_payloadSize; }
    // Waits for the frame's decoding; a frame that could not be decoded is written as zeros and
    // is not whole.
    bool RenderPrefix(uint32_t frame, uint8_t* destination, uint64_t bytes) const override;

private:
    DecodeAhead::MakePayload PayloadMaker(VideoLayout layout) const;

    const std::shared_ptr<const VideoClip> m_clip;
    uint64_t m_payloadSize = 0;
    std::unique_ptr<const TransformedSource> m_transform;  // null where frames are copied as decoded
    mutable std::unique_ptr<DecodeAhead> m_frames;
};

}  // namespace Quibbon::Sim
