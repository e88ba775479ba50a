#include "simulator/BasicCamera.h"

namespace Quibbon::Sim {

BasicCamera::BasicCamera(const CameraConfig& config)
    : m_identity(config.identity),
      m_images(config.images),
      m_width(config.width),
      m_height(config.height),
      m_frameRate(config.frameRate),
      m_pattern(config.pattern) {}

int32_t BasicCamera::SetParameter(int32_t param, int32_t value, CameraControl& control) {
    bool accepted = true;
    switch (param) {
        case kParamWidth:
            accepted = SetSize(m_width, value, m_images ? m_images->width : 0);
            break;
        case kParamHeight:
            accepted = SetSize(m_height, value, m_images ? m_images->height : 0);
            break;
        case kParamFrameRate:
            m_frameRate = static_cast<uint32_t>(value);
            break;
        case kParamTestPattern:
            accepted = SetPattern(value);
            break;
        case kParamEventNotification:
            m_eventNotification = value;
            break;
        case kParamRemoteEventTrigger:
            m_remoteEventTrigger = value;
            break;
        case kParamChunkMode:
            m_chunkMode = value;
            break;
        case kParamTriggerMode:
            accepted = SetTriggerMode(value, control);
            break;
        case kParamTriggerSource:
            accepted = value == kTriggerSourceSoftware;
            break;
        case kParamSoftwareTrigger:
            accepted = SoftwareTrigger(value, control);
            break;
        default:
            accepted = false;
            break;
    }
    return accepted ? kOk : kFailed;
}

bool BasicCamera::SetSize(uint32_t& target, int32_t value, uint32_t imagesValue) {
    // Replayed images fix the size while they are shown.
    if (!IsValidCameraSize(value) || (m_pattern == kPatternImages && static_cast<uint32_t>(value) != imagesValue)) {
        return false;
    }
    target = static_cast<uint32_t>(value);
    return true;
}

bool BasicCamera::SetPattern(int32_t value) {
    const auto pattern = static_cast<uint32_t>(value);
    if (pattern == kPatternImages) {
        if (!m_images || m_images->width != m_width || m_images->height != m_height) {
            return false;
        }
    } else if (!IsValidPattern(pattern)) {
        return false;
    }
    m_pattern = pattern;
    return true;
}

bool BasicCamera::SetTriggerMode(int32_t value, CameraControl& control) {
    if (value != 0 && value != 1) {
        return false;
    }
    if (m_triggerMode != (value == 1)) {
        m_triggerMode = value == 1;
        control.ClearTriggers();
    }
    return true;
}

bool BasicCamera::SoftwareTrigger(int32_t value, CameraControl& control) const {
    if (value != 0 && value != 1) {
        return false;
    }
    if (value == 1 && m_triggerMode) {
        control.AddTrigger(CameraClock::now());
    }
    return true;
}

std::optional<int32_t> BasicCamera::GetNumber(int32_t param) const {
    switch (param) {
        case kParamWidth:
            return static_cast<int32_t>(m_width);
        case kParamHeight:
            return static_cast<int32_t>(m_height);
        case kParamPixelFormat:
            return static_cast<int32_t>(m_identity.pixelFormat);
        case kParamFrameRate:
            return static_cast<int32_t>(m_frameRate);
        case kParamTestPattern:
            return static_cast<int32_t>(m_pattern);
        case kParamEventNotification:
            return m_eventNotification;
        case kParamRemoteEventTrigger:
            return m_remoteEventTrigger;
        case kParamChunkMode:
            return m_chunkMode;
        case kParamPayloadSize:
            return static_cast<int32_t>(PayloadSize());
        case kParamTriggerMode:
            return m_triggerMode ? 1 : 0;
        case kParamTriggerSource:
            return kTriggerSourceSoftware;
        case kParamSoftwareTrigger:
            return 0;
        default:
            return std::nullopt;
    }
}

std::optional<std::string> BasicCamera::GetText(int32_t param) const { return IdentityText(m_identity, param); }

uint32_t BasicCamera::PayloadSize() const {
    const PixelFormatInfo& format = *FindPixelFormat(m_identity.pixelFormat);
    return static_cast<uint32_t>(Sim::PayloadSize(format, m_width, m_height));
}

FrameShape BasicCamera::Shape() const { return PlainShape({m_identity.pixelFormat, m_width, m_height, m_pattern}); }

FrameTiming BasicCamera::Timing() const {
    FrameTiming timing{CameraClock::duration::zero(), m_triggerMode, false, CameraClock::duration::zero()};
    if (m_frameRate != 0) {
        timing.interval = std::chrono::duration_cast<CameraClock::duration>(
            std::chrono::nanoseconds(1000000000LL / m_frameRate));
    }
    return timing;
}

}  // namespace Quibbon::Sim
