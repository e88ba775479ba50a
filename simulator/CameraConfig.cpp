#include "simulator/CameraConfig.h"

#include <stdexcept>

#include "framegrabber/Quibbon.h"

namespace Quibbon::Sim {

bool IsValidCameraSize(int64_t value) {
    return value >= kCameraMinSize && value <= kCameraMaxSize && value % kCameraSizeStep == 0;
}

void CheckCameraConfig(const CameraConfig& config) {
    if (FindPixelFormat(config.identity.pixelFormat) == nullptr) {
        throw std::invalid_argument("unknown pixel format");
    }
    if (!IsValidCameraSize(config.width) || !IsValidCameraSize(config.height)) {
        throw std::invalid_argument("size out of range");
    }
    if (config.pattern == kPatternImages) {
        if (!config.images || config.images->width != config.width || config.images->height != config.height) {
            throw std::invalid_argument("no images of the camera's size to replay");
        }
    } else if (!IsValidPattern(config.pattern)) {
        throw std::invalid_argument("unknown pattern");
    }
    if (config.video && (!config.images || config.video->width != config.images->width ||
                         config.video->height != config.images->height || config.video->FrameCount() == 0)) {
        throw std::invalid_argument("video without its first frame");
    }
    if (config.sourcePaced && !config.video) {
        throw std::invalid_argument("only a video gives frame times");
    }
}

std::optional<std::string> IdentityText(const CameraIdentity& identity, int32_t param) {
    switch (param) {
        case kParamVendor:
            return identity.vendor;
        case kParamModel:
            return identity.model;
        case kParamSerialNumber:
            return identity.serialNumber;
        case kParamUserName:
            return identity.userName;
        default:
            return std::nullopt;
    }
}

}  // namespace Quibbon::Sim
