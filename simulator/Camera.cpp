#include "simulator/Camera.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace Quibbon::Sim {

namespace {

// Software triggers beyond this many pending ones are dropped.
constexpr uint32_t kMaxPendingTriggers = 1u << 16;

// Counts a grab as running for its session while it exists; the end of the last grab of a
// session wakes CloseSession.
class RunningGrab {
public:
    RunningGrab(std::unique_lock<std::mutex>& lock, GrabSession& session, std::condition_variable& changed)
        : m_lock(lock), m_session(session), m_changed(changed) {
        ++m_session.active;
    }
    RunningGrab(const RunningGrab&) = delete;
    RunningGrab& operator=(const RunningGrab&) = delete;
    ~RunningGrab() {
        if (!m_lock.owns_lock()) {
            m_lock.lock();
        }
        if (--m_session.active == 0) {
            m_changed.notify_all();
        }
    }

private:
    std::unique_lock<std::mutex>& m_lock;
    GrabSession& m_session;
    std::condition_variable& m_changed;
};

}  // namespace

Camera::Camera(CameraIdentity identity) : m_identity(std::move(identity)) {
    if (FindPixelFormat(m_identity.pixelFormat) == nullptr) {
        throw std::invalid_argument("unknown pixel format");
    }
}

int32_t Camera::SetParameter(int32_t param, int32_t value) {
    std::lock_guard<std::mutex> lock(m_mutex);
    bool accepted = true;
    switch (param) {
        case kParamWidth:
            accepted = SetSize(m_settings.width, value);
            break;
        case kParamHeight:
            accepted = SetSize(m_settings.height, value);
            break;
        case kParamFrameRate:
            m_settings.frameRate = static_cast<uint32_t>(value);
            break;
        case kParamTestPattern:
            accepted = IsValidPattern(static_cast<uint32_t>(value));
            if (accepted) {
                m_settings.pattern = static_cast<uint32_t>(value);
            }
            break;
        case kParamEventNotification:
            m_settings.eventNotification = value;
            break;
        case kParamRemoteEventTrigger:
            m_settings.remoteEventTrigger = value;
            break;
        case kParamChunkMode:
            m_settings.chunkMode = value;
            break;
        case kParamTriggerMode:
            accepted = value == 0 || value == 1;
            if (accepted && m_settings.triggerMode != (value == 1)) {
                m_settings.triggerMode = value == 1;
                m_pendingTriggers = 0;
            }
            break;
        case kParamTriggerSource:
            accepted = value == kTriggerSourceSoftware;
            break;
        case kParamSoftwareTrigger:
            accepted = SoftwareTrigger(value) == kOk;
            break;
        default:
            accepted = false;
            break;
    }
    if (accepted) {
        m_changed.notify_all();
    }
    return accepted ? kOk : kFailed;
}

bool Camera::SetSize(uint32_t& target, int32_t value) {
    if (value < static_cast<int32_t>(kMinSize) || value > static_cast<int32_t>(kMaxSize) || value % kSizeStep != 0) {
        return false;
    }
    target = static_cast<uint32_t>(value);
    return true;
}

int32_t Camera::SoftwareTrigger(int32_t value) {
    if (value != 0 && value != 1) {
        return kFailed;
    }
    if (value == 1 && m_settings.triggerMode && m_pendingTriggers < kMaxPendingTriggers) {
        ++m_pendingTriggers;
    }
    return kOk;
}

std::optional<int32_t> Camera::GetNumber(int32_t param) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    switch (param) {
        case kParamWidth:
            return static_cast<int32_t>(m_settings.width);
        case kParamHeight:
            return static_cast<int32_t>(m_settings.height);
        case kParamPixelFormat:
            return static_cast<int32_t>(m_identity.pixelFormat);
        case kParamFrameRate:
            return static_cast<int32_t>(m_settings.frameRate);
        case kParamTestPattern:
            return static_cast<int32_t>(m_settings.pattern);
        case kParamEventNotification:
            return m_settings.eventNotification;
        case kParamRemoteEventTrigger:
            return m_settings.remoteEventTrigger;
        case kParamChunkMode:
            return m_settings.chunkMode;
        case kParamPayloadSize:
            return static_cast<int32_t>(PayloadSizeLocked());
        case kParamTriggerMode:
            return m_settings.triggerMode ? 1 : 0;
        case kParamTriggerSource:
            return kTriggerSourceSoftware;
        case kParamSoftwareTrigger:
            return 0;
        default:
            return std::nullopt;
    }
}

std::optional<std::string> Camera::GetText(int32_t param) const {
    switch (param) {
        case kParamVendor:
            return m_identity.vendor;
        case kParamModel:
            return m_identity.model;
        case kParamSerialNumber:
            return m_identity.serialNumber;
        default:
            return std::nullopt;
    }
}

int32_t Camera::StartAcquisition() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_grabbing) {
        return kFailed;
    }
    m_grabbing = true;
    ++m_numStarted;
    return kOk;
}

int32_t Camera::StopAcquisition() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_grabbing) {
        return kFailed;
    }
    m_grabbing = false;
    return kOk;
}

bool Camera::IsGrabbing() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_grabbing;
}

uint64_t Camera::NumStarted() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_numStarted;
}

uint32_t Camera::PayloadSizeLocked() const {
    const PixelFormatInfo& format = *FindPixelFormat(m_identity.pixelFormat);
    return static_cast<uint32_t>(PayloadSize(format, m_settings.width, m_settings.height));
}

Camera::Clock::duration Camera::FrameInterval() const {
    if (m_settings.frameRate == 0) {
        return Clock::duration::zero();
    }
    return std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(1000000000LL / m_settings.frameRate));
}

Camera::Clock::time_point Camera::NextDue(Clock::time_point now) const {
    return m_lastFrame ? *m_lastFrame + FrameInterval() : now;
}

bool Camera::FrameReady(Clock::time_point now) const {
    const bool triggered = !m_settings.triggerMode || m_pendingTriggers > 0;
    return triggered && now >= NextDue(now);
}

int32_t Camera::Grab(GrabSession& session, void* buffer, uint64_t capacity, uint32_t timeoutMs, FrameInfo* info) {
    if (buffer == nullptr) {
        return kFailed;
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    if (session.closed) {
        return kFailed;
    }
    RunningGrab running(lock, session, m_changed);
    const int32_t waited = WaitForFrame(lock, session, Clock::now() + std::chrono::milliseconds(timeoutMs));
    if (waited != kOk) {
        return waited;
    }
    if (PayloadSizeLocked() > capacity) {
        return kFailed;
    }
    const TakenFrame taken = TakeFrame();
    lock.unlock();

    auto* bytes = static_cast<uint8_t*>(buffer);
    Generator(taken.imageSpec)->Render(taken.info.frameNumber, bytes);
    if (taken.info.chunkMode != 0) {
        WriteFrameChunk(bytes, taken.info.frameNumber);
    }
    if (info != nullptr) {
        *info = taken.info;
    }
    return kOk;
}

int32_t Camera::WaitForFrame(std::unique_lock<std::mutex>& lock, const GrabSession& session,
                             Clock::time_point deadline) {
    for (;;) {
        if (session.closed) {
            return kFailed;
        }
        const Clock::time_point now = Clock::now();
        if (FrameReady(now)) {
            return kOk;
        }
        if (now >= deadline) {
            return kTimedOut;
        }
        const bool triggered = !m_settings.triggerMode || m_pendingTriggers > 0;
        ++m_waitingGrabs;
        m_changed.wait_until(lock, triggered ? std::min(deadline, NextDue(now)) : deadline);
        --m_waitingGrabs;
    }
}

Camera::TakenFrame Camera::TakeFrame() {
    if (m_settings.triggerMode) {
        --m_pendingTriggers;
    }
    const Clock::time_point now = Clock::now();
    const Clock::time_point due = NextDue(now);
    // Keep to the schedule while on time; after falling behind by a whole interval, start afresh.
    m_lastFrame = (now - due < FrameInterval()) ? due : now;
    const ImageSpec imageSpec{m_identity.pixelFormat, m_settings.width, m_settings.height, m_settings.pattern};
    const FrameInfo info{imageSpec.width, imageSpec.height, imageSpec.pixelFormat, PayloadSizeLocked(),
                         m_settings.chunkMode != 0 ? 1u : 0u, m_frameCounter++};
    return {imageSpec, info};
}

void Camera::CloseSession(GrabSession& session) {
    std::unique_lock<std::mutex> lock(m_mutex);
    session.closed = true;
    m_changed.notify_all();
    m_changed.wait(lock, [&session] { return session.active == 0; });
}

uint32_t Camera::WaitingGrabs() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_waitingGrabs;
}

std::shared_ptr<const ImageGenerator> Camera::Generator(const ImageSpec& imageSpec) {
    std::lock_guard<std::mutex> lock(m_generatorMutex);
    if (!m_generator || !(m_generator->Description() == imageSpec)) {
        m_generator = std::make_shared<const ImageGenerator>(imageSpec);
    }
    return m_generator;
}

}  // namespace Quibbon::Sim
