// The camera model of the built-in rig: numbered parameters (Quibbon.h) for size, frame rate,
// test pattern, trigger and the producer's event and chunk settings; the pixel format is fixed.
// The producer owns this camera's register space and document.
#pragma once

#include <memory>

#include "simulator/CameraModel.h"
#include "simulator/CameraConfig.h"

namespace Quibbon::Sim {

class BasicCamera final : public CameraModel {
public:
    // The configuration must have been checked (CheckCameraConfig).
    explicit BasicCamera(const CameraConfig& config);

    int32_t SetParameter(int32_t param, int32_t value, CameraControl& control) override;
    std::optional<int32_t> GetNumber(int32_t param) const override;
    std::optional<std::string> GetText(int32_t param) const override;
    FrameShape Shape() const override;
    bool ChunkMode() const override { return m_chunkMode != 0; }
    FrameTiming Timing() const override;

private:
    bool SetSize(uint32_t& target, int32_t value, uint32_t imagesValue);
    bool SetPattern(int32_t value);
    bool SetTriggerMode(int32_t value, CameraControl& control);
    bool SoftwareTrigger(int32_t value, CameraControl& control) const;
    uint32_t PayloadSize() const;

    const CameraIdentity m_identity;
    const std::shared_ptr<const ImageSet> m_images;
    uint32_t m_width;
    uint32_t m_height;
    uint32_t m_frameRate;
    uint32_t m_pattern;
    int32_t m_eventNotification = 0;
    int32_t m_remoteEventTrigger = 0;
    int32_t m_chunkMode = 0;
    bool m_triggerMode = false;
};

}  // namespace Quibbon::Sim
