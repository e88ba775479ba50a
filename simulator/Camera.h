// One simulated camera: its identity, its stream state, the frame pacing, the triggers and the
// injected faults, for every camera model alike; its settings and what they make of a frame are
// its model's (CameraModel.h). The state belongs to the camera, so every device or stream object
// opened on it sees the same settings; all members are safe to use from several threads.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "framegrabber/Quibbon.h"
#include "simulator/CameraConfig.h"
#include "simulator/CameraModel.h"
#include "simulator/FaultInjector.h"
#include "simulator/FrameShape.h"
#include "simulator/FrameSource.h"
#include "simulator/WakeSignal.h"

namespace Quibbon::Sim {

// The grabs of one stream object: whether it is armed, the numbers of its frames, and the count
// of grabs running so that closing can wait for them. Closing wakes its waiting grabs, makes them
// fail and waits until none is left running, so the stream object can go away safely.
struct GrabSession {
    bool closed = false;
    bool armed = true;
    int active = 0;
    uint32_t nextFrame = 0;  // number of the session's next frame, delivered or dropped
    uint32_t dropped = 0;    // frames dropped since the session's last delivered frame
};

class Camera final : private CameraControl {
public:
    // Throws std::invalid_argument for a configuration the camera cannot run (CheckCameraConfig).
    explicit Camera(const CameraConfig& config);
    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;
    ~Camera();

    const CameraIdentity& Identity() const { return m_identity; }
    CameraProfile Profile() const { return m_profile; }

    // Numeric parameters: kOk, or kFailed (unknown, read-only or refused value; nothing changes).
    int32_t SetParameter(int32_t param, int32_t value);
    std::optional<int32_t> GetNumber(int32_t param) const;
    // Text parameters (vendor, model, serial number, user name, and a self-describing camera's
    // description URL).
    std::optional<std::string> GetText(int32_t param) const;
    // The register space of a self-describing camera (results of IDevice::ReadRegisters and
    // WriteRegisters); error receives the text of a refusal.
    int32_t ReadRegisters(uint64_t address, void* data, uint64_t size, std::string& error);
    int32_t WriteRegisters(uint64_t address, const void* data, uint64_t size, std::string& error);
    // How often the camera was reset by its DeviceReset feature.
    uint64_t Resets() const;
    // The camera's events (IDevice::TakeEvents): kFailed for a camera without events.
    int32_t TakeEvents(CameraEvent* events, uint64_t& count, uint64_t& dropped);

    // Stream 0 of the camera. Stopping also ends every grab then waiting with kStopped.
    int32_t StartAcquisition();
    int32_t StopAcquisition();
    bool IsGrabbing() const;
    uint64_t NumStarted() const;
    // A disarmed session's grabs end with kStopped, waiting or not.
    void ArmSession(GrabSession& session, bool armed);

    // Waits until a frame is due (frame-rate limit) and, in trigger mode, a software trigger is
    // pending, then writes the frame into buffer, never more than capacity bytes: kOk, or
    // kTruncated when the payload is larger than capacity. Fails without writing when the
    // session is closed (kFailed) or disarmed or the camera stops (kStopped), the time-out passes
    // (kTimedOut) or a fault fails the frame (kCameraError). info, when given, describes the
    // frame written; record, when given, receives the camera's stamp and chunk layout of it (its
    // info member is not written).
    int32_t Grab(GrabSession& session, void* buffer, uint64_t capacity, uint32_t timeoutMs, FrameInfo* info,
                 FrameRecord* record = nullptr);
    // Marks the session closed, wakes its grabs and returns once none of them is running.
    void CloseSession(GrabSession& session);
    // Grabs now waiting (for a frame, a delay or a time-out), of all sessions.
    uint32_t WaitingGrabs() const;
    // Converts replayed images for the current settings now rather than on the first grab.
    void PrepareFrames();

private:
    using Clock = CameraClock;

    // What ends the waits of one grab early: its session closing or being disarmed, a stop of
    // the camera after the grab began, the grab's deadline.
    struct GrabWait {
        const GrabSession& session;
        uint64_t stops;
        Clock::time_point deadline;
    };

    // The frame a grab delivers, fixed while the camera is locked.
    struct TakenFrame {
        FrameShape shape;
        FrameInfo info;
        bool incomplete;
        uint32_t imageSize;
        uint64_t timestamp;
        FrameChunks chunks;
        bool eventsPending;
    };

    // What the model may ask, with the lock held.
    void AddTrigger(Clock::time_point when) override;
    void ClearTriggers() override;
    int32_t Start() override;
    int32_t Stop() override;
    bool Grabbing() const override;
    bool TriggerPending() const override;

    bool Replaying() const;
    // Time from one frame's start to the next: the model's, or how long the video shows the
    // frame last delivered when its time stamps pace the camera.
    Clock::duration Interval(const FrameTiming& timing) const;
    // Whether the session has had every replayed image or frame of a camera that does not loop.
    bool PastTheEnd(const GrabSession& session) const;
    Clock::time_point NextDue(Clock::time_point now) const;
    bool Triggered() const;
    bool FrameReady(Clock::time_point now) const;

    // kOk, or why the grab must end now.
    int32_t Interruption(const GrabWait& wait) const;
    void Sleep(std::unique_lock<std::mutex>& lock, Clock::time_point until);
    // Waits until `until` (kOk) unless the deadline comes first (kTimedOut) or the grab is
    // interrupted.
    int32_t WaitUntil(std::unique_lock<std::mutex>& lock, const GrabWait& wait, Clock::time_point until);
    // Waits until a frame may be taken. now is a reading of the clock taken just before; the clock
    // is read again only after a wait, and now is left at the reading that found the frame due.
    int32_t WaitForFrame(std::unique_lock<std::mutex>& lock, const GrabWait& wait, Clock::time_point& now);
    // The same, the injected delay later.
    int32_t WaitForDelayedFrame(std::unique_lock<std::mutex>& lock, const GrabWait& wait, Clock::time_point& now);
    // Takes frames until one is delivered: each uses up the trigger and the frame slot; a failed
    // one ends the grab, a dropped one uses a frame number and the grab waits on.
    int32_t TakeFrame(std::unique_lock<std::mutex>& lock, const GrabWait& wait, GrabSession& session, TakenFrame& taken,
                      Clock::time_point now);
    // Takes the frame slot that is due at now.
    void UseFrameSlot(Clock::time_point now);
    std::shared_ptr<const FrameSource> Source(const FrameShape& shape);

    const CameraIdentity m_identity;
    const CameraProfile m_profile;
    const std::shared_ptr<const ImageSet> m_images;
    const std::shared_ptr<const VideoClip> m_video;
    const bool m_loop;
    const bool m_sourcePaced;

    mutable std::mutex m_mutex;
    WakeSignal m_changed;
    std::unique_ptr<CameraModel> m_model;
    FaultInjector m_faults;
    std::deque<Clock::time_point> m_triggers;  // pending frame start triggers, oldest first
    Clock::time_point m_lastEdge;              // line triggers: the next frame follows an edge after this
    uint32_t m_waitingGrabs = 0;
    std::optional<Clock::time_point> m_lastFrame;
    Clock::duration m_shownFor{};  // paced by a video: how long it shows the frame last delivered
    bool m_grabbing = false;
    uint64_t m_numStarted = 0;
    uint64_t m_stops = 0;

    std::mutex m_sourceMutex;
    std::optional<FrameShape> m_sourceShape;
    std::shared_ptr<const FrameSource> m_source;
};

}  // namespace Quibbon::Sim
