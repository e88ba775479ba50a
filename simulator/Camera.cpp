#include "simulator/Camera.h"

#include <algorithm>
#include <stdexcept>
#include <thread>

#include "simulator/ImageReplay.h"

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

// The configuration, once it is known to be one the camera can run.
const CameraConfig& Checked(const CameraConfig& config) {
    if (FindPixelFormat(config.identity.pixelFormat) == nullptr) {
        throw std::invalid_argument("unknown pixel format");
    }
    if (!Camera::IsValidSize(config.width) || !Camera::IsValidSize(config.height)) {
        throw std::invalid_argument("size out of range");
    }
    if (config.pattern == kPatternImages) {
        if (!config.images || config.images->width != config.width || config.images->height != config.height) {
            throw std::invalid_argument("no images of the camera's size to replay");
        }
    } else if (!IsValidPattern(config.pattern)) {
        throw std::invalid_argument("unknown pattern");
    }
    return config;
}

}  // namespace

bool Camera::IsValidSize(int64_t value) { return value >= kMinSize && value <= kMaxSize && value % kSizeStep == 0; }

Camera::Camera(const CameraConfig& config)
    : m_identity(Checked(config).identity),
      m_images(config.images),
      m_settings{config.width, config.height, config.frameRate, config.pattern},
      m_faults(config.faults) {}

int32_t Camera::SetParameter(int32_t param, int32_t value) {
    std::lock_guard<std::mutex> lock(m_mutex);
    bool accepted = true;
    switch (param) {
        case kParamWidth:
            accepted = SetSize(m_settings.width, value, m_images ? m_images->width : 0);
            break;
        case kParamHeight:
            accepted = SetSize(m_settings.height, value, m_images ? m_images->height : 0);
            break;
        case kParamFrameRate:
            m_settings.frameRate = static_cast<uint32_t>(value);
            break;
        case kParamTestPattern:
            accepted = SetPattern(value);
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
            accepted = m_faults.Set(param, value);
            break;
    }
    if (accepted) {
        m_changed.notify_all();
    }
    return accepted ? kOk : kFailed;
}

bool Camera::SetSize(uint32_t& target, int32_t value, uint32_t imagesValue) {
    // Replayed images fix the size while they are shown.
    if (!IsValidSize(value) || (m_settings.pattern == kPatternImages && static_cast<uint32_t>(value) != imagesValue)) {
        return false;
    }
    target = static_cast<uint32_t>(value);
    return true;
}

bool Camera::SetPattern(int32_t value) {
    const auto pattern = static_cast<uint32_t>(value);
    if (pattern == kPatternImages) {
        if (!m_images || m_images->width != m_settings.width || m_images->height != m_settings.height) {
            return false;
        }
    } else if (!IsValidPattern(pattern)) {
        return false;
    }
    m_settings.pattern = pattern;
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
            return m_faults.Get(param);
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
        case kParamUserName:
            return m_identity.userName;
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
    ++m_stops;
    m_changed.notify_all();
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

void Camera::ArmSession(GrabSession& session, bool armed) {
    std::lock_guard<std::mutex> lock(m_mutex);
    session.armed = armed;
    m_changed.notify_all();
}

uint32_t Camera::PayloadSizeLocked() const {
    const PixelFormatInfo& format = *FindPixelFormat(m_identity.pixelFormat);
    return static_cast<uint32_t>(PayloadSize(format, m_settings.width, m_settings.height));
}

ImageSetup Camera::ImageSetupLocked() const {
    return {m_identity.pixelFormat, m_settings.width, m_settings.height, m_settings.pattern};
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

bool Camera::Triggered() const { return !m_settings.triggerMode || m_pendingTriggers > 0; }

bool Camera::FrameReady(Clock::time_point now) const { return Triggered() && now >= NextDue(now); }

int32_t Camera::Grab(GrabSession& session, void* buffer, uint64_t capacity, uint32_t timeoutMs, FrameInfo* info) {
    if (buffer == nullptr) {
        return kFailed;
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    if (session.closed) {
        return kFailed;
    }
    if (!session.armed) {
        return kStopped;
    }
    RunningGrab running(lock, session, m_changed);
    // One reading of the clock serves the deadline and, when the frame is due at once, the frame.
    const Clock::time_point now = Clock::now();
    const GrabWait wait{session, m_stops, now + std::chrono::milliseconds(timeoutMs)};
    if (m_faults.CountGrabCall()) {
        return WaitUntil(lock, wait, Clock::time_point::max());
    }
    TakenFrame taken{};
    const int32_t result = TakeFrame(lock, wait, session, taken, now);
    if (result != kOk) {
        return result;
    }
    lock.unlock();

    const uint64_t payload = taken.info.payloadSize;
    const uint64_t written = std::min(taken.incomplete ? payload / 2 : payload, capacity);
    auto* bytes = static_cast<uint8_t*>(buffer);
    Source(taken.imageSetup)->RenderPrefix(taken.info.frameNumber, bytes, written);
    if (taken.info.chunkMode != 0) {
        WriteFrameChunk(bytes, taken.info.frameNumber, written);
    }
    if (info != nullptr) {
        *info = taken.info;
        info->filledSize = static_cast<uint32_t>(written);
    }
    return payload > capacity ? kTruncated : kOk;
}

int32_t Camera::Interruption(const GrabWait& wait) const {
    if (wait.session.closed) {
        return kFailed;
    }
    if (!wait.session.armed || m_stops != wait.stops) {
        return kStopped;
    }
    return kOk;
}

void Camera::Sleep(std::unique_lock<std::mutex>& lock, Clock::time_point until) {
    ++m_waitingGrabs;
    m_changed.wait_until(lock, until);
    --m_waitingGrabs;
}

int32_t Camera::WaitUntil(std::unique_lock<std::mutex>& lock, const GrabWait& wait, Clock::time_point until) {
    const Clock::time_point end = std::min(until, wait.deadline);
    for (;;) {
        if (const int32_t interrupted = Interruption(wait); interrupted != kOk) {
            return interrupted;
        }
        if (Clock::now() >= end) {
            return until <= wait.deadline ? kOk : kTimedOut;
        }
        Sleep(lock, end);
    }
}

int32_t Camera::WaitForFrame(std::unique_lock<std::mutex>& lock, const GrabWait& wait, Clock::time_point& now) {
    for (;;) {
        if (const int32_t interrupted = Interruption(wait); interrupted != kOk) {
            return interrupted;
        }
        if (FrameReady(now)) {
            return kOk;
        }
        if (now >= wait.deadline) {
            return kTimedOut;
        }
        Sleep(lock, Triggered() ? std::min(wait.deadline, NextDue(now)) : wait.deadline);
        now = Clock::now();
    }
}

int32_t Camera::WaitForDelayedFrame(std::unique_lock<std::mutex>& lock, const GrabWait& wait,
                                    Clock::time_point& now) {
    const int32_t due = WaitForFrame(lock, wait, now);
    const uint32_t delayMs = m_faults.DelayMs();
    if (due != kOk || delayMs == 0) {
        return due;
    }
    const int32_t delayed = WaitUntil(lock, wait, now + std::chrono::milliseconds(delayMs));
    if (delayed != kOk) {
        return delayed;
    }
    // Another session may have taken the frame meanwhile.
    now = Clock::now();
    return WaitForFrame(lock, wait, now);
}

int32_t Camera::TakeFrame(std::unique_lock<std::mutex>& lock, const GrabWait& wait, GrabSession& session,
                          TakenFrame& taken, Clock::time_point now) {
    for (uint32_t drops = 0;;) {
        if (const int32_t due = WaitForDelayedFrame(lock, wait, now); due != kOk) {
            return due;
        }
        UseFrameSlot(now);
        if (m_faults.CountDueFrame()) {
            return kCameraError;
        }
        const FrameFate fate = m_faults.CountFrame();
        const uint32_t number = session.nextFrame++;
        if (fate.dropped) {
            ++session.dropped;
            // Without a frame-rate limit the next frame is due at once: a camera that drops every
            // frame would keep this loop, and the lock, forever. A grab that has dropped a frame
            // already ends at its deadline (a frame due at once still counts as within it), and
            // between frames it lets a stop, a close or a setting in.
            if (++drops > 1 && Clock::now() >= wait.deadline) {
                return kTimedOut;
            }
            lock.unlock();
            std::this_thread::yield();
            lock.lock();
            now = Clock::now();
            continue;
        }
        taken.imageSetup = ImageSetupLocked();
        taken.incomplete = fate.incomplete;
        taken.info = FrameInfo{};
        taken.info.width = taken.imageSetup.width;
        taken.info.height = taken.imageSetup.height;
        taken.info.pixelFormat = taken.imageSetup.pixelFormat;
        taken.info.payloadSize = PayloadSizeLocked();
        taken.info.chunkMode = m_settings.chunkMode != 0 ? 1 : 0;
        taken.info.frameNumber = number;
        taken.info.flags = fate.incomplete ? kFrameIncomplete : 0;
        taken.info.droppedBefore = session.dropped;
        session.dropped = 0;
        return kOk;
    }
}

void Camera::UseFrameSlot(Clock::time_point now) {
    if (m_settings.triggerMode) {
        --m_pendingTriggers;
    }
    const Clock::time_point due = NextDue(now);
    // Keep to the schedule while on time; after falling behind by a whole interval, start afresh.
    m_lastFrame = (now - due < FrameInterval()) ? due : now;
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

void Camera::PrepareFrames() {
    ImageSetup imageSetup{};
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        imageSetup = ImageSetupLocked();
    }
    if (imageSetup.pattern == kPatternImages) {
        Source(imageSetup);
    }
}

std::shared_ptr<const FrameSource> Camera::Source(const ImageSetup& imageSetup) {
    std::lock_guard<std::mutex> lock(m_sourceMutex);
    if (!m_source || !(m_sourceSetup == imageSetup)) {
        if (imageSetup.pattern == kPatternImages) {
            m_source = std::make_shared<const ImageReplay>(*m_images, imageSetup.pixelFormat);
        } else {
            m_source = std::make_shared<const ImageGenerator>(imageSetup);
        }
        m_sourceSetup = imageSetup;
    }
    return m_source;
}

}  // namespace Quibbon::Sim
