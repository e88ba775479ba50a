// What a simulated camera starts with: its identity, its model and its first settings.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "framegrabber/Quibbon.h"
#include "simulator/FaultInjector.h"
#include "simulator/ImageFolder.h"
#include "simulator/PatternGenerator.h"
#include "simulator/VideoClip.h"

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

// One feature of a user set given by a rig file: an SFNC feature name and its value as written,
// an enumeration entry name or a number (booleans as 0 and 1).
struct UserSetFeature {
    std::string feature;
    std::optional<std::string> entry;
    double number = 0.0;
    uint32_t line = 0;  // where the rig file gives it
};

// A saved user set of an SFNC camera: the features written, in order, over the Default set.
struct UserSetConfig {
    uint32_t set;  // 1 to 3: UserSet1 to UserSet3
    std::vector<UserSetFeature> features;
};

// A user set feature the camera refuses: why, and the rig file line that gives it.
class UserSetError : public std::invalid_argument {
public:
    UserSetError(const std::string& text, uint32_t line) : std::invalid_argument(text), m_line(line) {}
    uint32_t Line() const { return m_line; }

private:
    uint32_t m_line;
};

struct CameraConfig {
    CameraIdentity identity;
    CameraProfile profile = CameraProfile::Basic;
    uint32_t width = 640;     // the sensor's, for an SFNC camera
    uint32_t height = 480;
    uint32_t frameRate = 60;  // frames per second, 0 = as fast as grabs come
    uint32_t pattern = kPatternMovingRamp;
    FaultSettings faults;
    std::shared_ptr<const ImageSet> images;  // what kPatternImages replays; may be null
    // A replayed video: kPatternImages shows its frames, and images holds its first frame only.
    std::shared_ptr<const VideoClip> video;
    // Whether replay starts again after the last image or frame; else a grab session gets no
    // frame after it (its grabs time out).
    bool loop = true;
    // Whether the video's own time stamps pace the frames instead of frameRate.
    bool sourcePaced = false;
    // SFNC cameras: saved user sets, and the set the camera starts from (0 Default, 1 to 3).
    std::vector<UserSetConfig> userSets;
    uint32_t userSetDefault = 0;
};

constexpr uint32_t kCameraMinSize = 8;
constexpr uint32_t kCameraMaxSize = 4096;
constexpr uint32_t kCameraSizeStep = 4;

bool IsValidCameraSize(int64_t value);

// Throws std::invalid_argument for a configuration no camera can run: unknown pixel format, size
// out of range, unknown pattern, replayed images missing or of another size, a video without its
// first frame as images, pacing by the source without a video.
void CheckCameraConfig(const CameraConfig& config);

// The identity texts by parameter number (vendor, model, serial number, user name).
std::optional<std::string> IdentityText(const CameraIdentity& identity, int32_t param);

}  // namespace Quibbon::Sim
