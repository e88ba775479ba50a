// The camera model that speaks SFNC: it owns a register space (SfncRegisters.h) and the GenApi
// document that describes it (SfncDocument.h), and turns its settings into frames: a region of
// the sensor image, binned, decimated, mirrored and with exposure, gain, black level and gamma
// applied (FrameShape.h), paced by frame rate and exposure, started by triggers on software or
// a simulated line, in continuous, single-frame or multi-frame acquisition. It keeps user sets
// of its settings (saved for the life of the camera, so across device reopens) and a clock in
// nanoseconds that stamps its frames and raises the events the consumer asks for.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "simulator/CameraConfig.h"
#include "simulator/CameraModel.h"
#include "simulator/SfncRegisters.h"

namespace Quibbon::Sim {

class SfncCamera final : public CameraModel {
public:
    // The configuration must have been checked (CheckCameraConfig); its size is the sensor's.
    explicit SfncCamera(const CameraConfig& config);

    int32_t SetParameter(int32_t param, int32_t value, CameraControl& control) override;
    std::optional<int32_t> GetNumber(int32_t param) const override;
    std::optional<std::string> GetText(int32_t param) const override;
    int32_t ReadRegisters(uint64_t address, void* data, uint64_t size, std::string& error) override;
    int32_t WriteRegisters(uint64_t address, const void* data, uint64_t size, CameraControl& control,
                           std::string& error) override;

    FrameShape Shape() const override;
    uint64_t Timestamp(CameraClock::time_point when) const override;
    FrameChunks Chunks(uint32_t frameNumber, uint64_t timestamp, uint32_t imageSize) const override;
    FrameTiming Timing() const override;
    CameraClock::time_point NextLineEdge(CameraClock::time_point after) const override;
    bool MayDeliver() const override;
    CameraClock::time_point EarliestFrame() const override;
    void FrameTaken(CameraClock::time_point when) override;
    void AcquisitionChanged(bool grabbing, CameraClock::time_point when) override;
    void FrameDelivered(uint32_t frameNumber, uint64_t timestamp) override;
    CameraEvents* Events() override { return &m_events; }
    uint64_t Resets() const override { return m_resets; }

    // The period of the square wave on the simulated line Line0.
    static constexpr CameraClock::duration kLinePeriod = std::chrono::milliseconds(10);
    // The exposure at which the image shows the scene's own brightness.
    static constexpr double kReferenceExposureUs = 10000.0;

private:
    struct Trigger {
        uint32_t mode = 0;
        uint32_t source = 0;
        uint32_t activation = 0;
        double delayUs = 0.0;
    };
    // Everything DeviceReset restores and a user set holds (TLParamsLocked aside, which belongs to
    // the transport layer and is kept when a set is loaded).
    struct Settings {
        uint32_t width;
        uint32_t height;
        uint32_t offsetX = 0;
        uint32_t offsetY = 0;
        uint32_t pixelFormat;
        uint32_t reverseX = 0;
        uint32_t reverseY = 0;
        uint32_t binning[2] = {1, 1};        // horizontal, vertical
        uint32_t binningMode[2] = {0, 0};
        uint32_t decimation[2] = {1, 1};
        uint32_t testPattern = 0;
        uint32_t acquisitionMode = 0;
        uint32_t frameCount = 1;
        uint32_t frameRateEnable;
        double frameRate;
        uint32_t triggerSelector = 0;
        Trigger triggers[2];
        double exposureUs = kReferenceExposureUs;
        uint32_t exposureAuto = 0;
        double gainDb = 0.0;
        uint32_t gainAuto = 0;
        double blackLevel = 0.0;
        double gamma = 1.0;
        uint32_t paramsLocked = 0;
        uint32_t chunkModeActive = 0;
        uint32_t chunkSelector = 0;
        uint32_t chunkEnable = 0;  // bit v: the chunk of ChunkSelectorValue v
        uint32_t eventSelector = Sfnc::kEventFirst;
        uint32_t eventNotification = 0;  // bit e: the event kEventFirst + e
    };

    void Write(uint64_t address, const uint8_t* data, uint64_t size, CameraControl& control);
    void WriteNumber(uint64_t address, uint32_t value, CameraControl& control);
    void WriteFloat(uint64_t address, double value);
    void WriteSize(uint32_t axis, uint32_t value);
    void WriteOffset(uint32_t axis, uint32_t value);
    void WriteFactor(uint32_t (&factors)[2], uint32_t axis, uint32_t value);
    void WriteTriggerSetting(uint64_t address, uint32_t value, CameraControl& control);
    void Reset(CameraControl& control);
    void LoadUserSet(CameraControl& control);
    void SaveUserSet();
    void WriteUserSetDefault(uint32_t value);
    void RequireSaved(const char* feature, uint32_t set) const;
    void ApplyUserSets(const CameraConfig& config);
    void ApplyFeature(const UserSetFeature& feature);
    uint64_t ClockNs(CameraClock::time_point when) const;
    void TriggerSoftware(CameraControl& control);
    void Raise(uint32_t event, uint64_t timestamp, uint64_t frameId);
    void EndRun(uint64_t timestamp);
    void StartCommand(CameraControl& control);
    void RequireUnlocked(const char* feature, double value) const;

    std::string TextAt(uint64_t address) const;
    uint64_t NumberAt(uint64_t address) const;
    double FloatAt(uint64_t address) const;
    uint32_t Max(uint32_t axis) const;
    uint32_t PayloadSize() const;
    uint32_t ImageSize() const;
    uint32_t ChunksSize() const;
    bool ChunkOn(uint32_t selector) const;
    uint32_t ScenePattern() const;
    double Temperature(CameraClock::time_point now) const;
    double SceneMean() const;
    void RunAutoFunctions();
    CameraClock::duration Interval() const;
    const Trigger& FrameStartTrigger() const { return m_settings.triggers[0]; }
    const Trigger& AcquisitionStartTrigger() const { return m_settings.triggers[1]; }

    const CameraIdentity m_identity;
    const std::shared_ptr<const ImageSet> m_images;
    const uint32_t m_sensorWidth;
    const uint32_t m_sensorHeight;
    const uint32_t m_scenePattern;
    const CameraClock::time_point m_origin;  // the line's first rising edge
    const Settings m_defaults;
    Settings m_settings;
    std::string m_userID;
    bool m_grabbing = false;
    uint32_t m_framesLeft = 0;                       // in single- and multi-frame acquisition
    bool m_waitingForStart = false;                  // for an acquisition start trigger
    bool m_runEnded = true;                          // AcquisitionEnd was raised for the current run
    CameraClock::time_point m_startTriggered{};      // when the acquisition start trigger came
    double m_temperature;
    CameraClock::time_point m_temperatureTime;
    uint64_t m_resets = 0;
    std::optional<Settings> m_userSets[Sfnc::kUserSetCount];  // Default always, the others once saved
    uint32_t m_userSetSelector = Sfnc::kUserSetDefaultSet;
    uint32_t m_userSetDefault = Sfnc::kUserSetDefaultSet;
    CameraClock::time_point m_clockOrigin;  // when the clock read 0
    uint64_t m_latchedNs = 0;
    CameraEvents m_events;
    mutable double m_sceneMean = -1.0;
};

}  // namespace Quibbon::Sim
