// What a simulated camera starts with: its identity, its model and its first settings.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "framegrabber/Quibbon.h"
#include "simulator/FaultInjector.h"
#include "simulator/ImageFolder.h"
#include "simulator/PatternGenerator.h"

namespace Quibbon::Sim {

struct CameraIdentity {
    std::string id;
    std::string vendor;
    std::string model;
    std::string serialNumber;
    std::string userName;
    uint32_t pixelFormat;
};

// The camera models: the built-in rig's, reached through numbered parameters, and the one that
// owns its register space and speaks SFNC feature names.
enum class CameraProfile { Basic, Sfnc };

struct CameraConfig {
    CameraIdentity identity;
    CameraProfile profile = CameraProfile::Basic;
    uint32_t width = 640;     // the sensor's, for an SFNC camera
    uint32_t height = 480;
    uint32_t frameRate = 60;  // frames per second, 0 = as fast as grabs come
    uint32_t pattern = kPatternMovingRamp;
    FaultSettings faults;
    std::shared_ptr<const ImageSet> images;  // what kPatternImages replays; may be null
};

constexpr uint32_t kCameraMinSize = 8;
constexpr uint32_t kCameraMaxSize = 4096;
constexpr uint32_t kCameraSizeStep = 4;

bool IsValidCameraSize(int64_t value);

// Throws std::invalid_argument for a configuration no camera can run: unknown pixel format, size
// out of range, unknown pattern, replayed images missing or of another size.
void CheckCameraConfig(const CameraConfig& config);

// The identity texts by parameter number (vendor, model, serial number, user name).
std::optional<std::string> IdentityText(const CameraIdentity& identity, int32_t param);

}  // namespace Quibbon::Sim
