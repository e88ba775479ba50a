// One simulated camera: its identity, its settings, its stream state and the frame pacing.
// The state belongs to the camera, so every device or stream object opened on it sees the same
// settings; all members are safe to use from several threads.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "framegrabber/Quibbon.h"
#include "simulator/PatternGenerator.h"

namespace Quibbon::Sim {

struct CameraIdentity {
    std::string id;
    std::string vendor;
    std::string model;
    std::string serialNumber;
    uint32_t pixelFormat;
};

// The grabs of one stream object. Closing a session wakes its waiting grabs, makes them fail and
// waits until none is left running, so the stream object can go away safely.
struct GrabSession {
    bool closed = false;
    int active = 0;
};

class Camera {
public:
    static constexpr uint32_t kMinSize = 8;
    static constexpr uint32_t kMaxSize = 4096;
    static constexpr uint32_t kSizeStep = 4;
    static constexpr uint32_t kDefaultWidth = 640;
    static constexpr uint32_t kDefaultHeight = 480;
    static constexpr uint32_t kDefaultFrameRate = 60;

    // Throws std::invalid_argument for a pixel format the generator does not know.
    explicit Camera(CameraIdentity identity);
    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

    const CameraIdentity& Identity() const { return m_identity; }

    // Numeric parameters: kOk, or kFailed (unknown, read-only or refused value; nothing changes).
    int32_t SetParameter(int32_t param, int32_t value);
    std::optional<int32_t> GetNumber(int32_t param) const;
    // Text parameters (vendor, model, serial number).
    std::optional<std::string> GetText(int32_t param) const;

    // Stream 0 of the camera.
    int32_t StartAcquisition();
    int32_t StopAcquisition();
    bool IsGrabbing() const;
    uint64_t NumStarted() const;

    // Waits until a frame is due (frame-rate limit) and, in trigger mode, a software trigger is
    // pending, then writes one payload into buffer. Fails without writing when the payload is
    // larger than capacity, the session is closed or the time-out passes (kTimedOut).
    int32_t Grab(GrabSession& session, void* buffer, uint64_t capacity, uint32_t timeoutMs, FrameInfo* info);
    // Marks the session closed, wakes its grabs and returns once none of them is running.
    void CloseSession(GrabSession& session);
    // Grabs now waiting for a frame, of all sessions.
    uint32_t WaitingGrabs() const;

private:
    using Clock = std::chrono::steady_clock;

    struct Settings {
        uint32_t width = kDefaultWidth;
        uint32_t height = kDefaultHeight;
        uint32_t frameRate = kDefaultFrameRate;
        uint32_t pattern = kPatternMovingRamp;
        int32_t eventNotification = 0;
        int32_t remoteEventTrigger = 0;
        int32_t chunkMode = 0;
        bool triggerMode = false;
    };

    // What a grab delivers, fixed while the camera is locked.
    struct TakenFrame {
        ImageSpec imageSpec;
        FrameInfo info;
    };

    bool SetSize(uint32_t& target, int32_t value);
    int32_t SoftwareTrigger(int32_t value);
    uint32_t PayloadSizeLocked() const;
    Clock::duration FrameInterval() const;
    Clock::time_point NextDue(Clock::time_point now) const;
    bool FrameReady(Clock::time_point now) const;
    // Waits (releasing lock meanwhile) until a frame may be taken: kOk, kTimedOut, or kFailed
    // when the session closes.
    int32_t WaitForFrame(std::unique_lock<std::mutex>& lock, const GrabSession& session, Clock::time_point deadline);
    // Uses up the trigger and the frame slot and numbers the frame.
    TakenFrame TakeFrame();
    std::shared_ptr<const ImageGenerator> Generator(const ImageSpec& imageSpec);

    const CameraIdentity m_identity;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    Settings m_settings;
    uint32_t m_pendingTriggers = 0;
    uint32_t m_waitingGrabs = 0;
    uint32_t m_frameCounter = 0;
    std::optional<Clock::time_point> m_lastFrame;
    bool m_grabbing = false;
    uint64_t m_numStarted = 0;

    std::mutex m_generatorMutex;
    std::shared_ptr<const ImageGenerator> m_generator;
};

}  // namespace Quibbon::Sim
