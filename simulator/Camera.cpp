#include "simulator/Camera.h"

#include <algorithm>
#include <stdexcept>
#include <thread>

#include "simulator/BasicCamera.h"
#include "simulator/ImageReplay.h"
#include "simulator/SfncCamera.h"
#include "simulator/TransformedSource.h"
#include "simulator/VideoReplay.h"

namespace Quibbon::Sim {

namespace {

// Software triggers beyond this many pending ones are dropped.
constexpr uint32_t kMaxPendingTriggers = 1u << 16;

// Counts a grab as running for its session while it exists; the end of the last grab of a
// session wakes CloseSession.
class RunningGrab {
public:
    RunningGrab(std::unique_lock<std::mutex>& lock, GrabSession& session, WakeSignal& changed)
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
            m_changed.NotifyAll();
        }
    }

private:
    std::unique_lock<std::mutex>& m_lock;
    GrabSession& m_session;
    WakeSignal& m_changed;
};

// The configuration, once it is known to be one the camera can run.
const CameraConfig& Checked(const CameraConfig& config) {
    CheckCameraConfig(config);
    return config;
}

std::unique_ptr<CameraModel> MakeModel(const CameraConfig& config) {
    if (config.profile == CameraProfile::Sfnc) {
        return std::make_unique<SfncCamera>(config);
    }
    return std::make_unique<BasicCamera>(config);
}

}  // namespace

Camera::Camera(const CameraConfig& config)
    : m_identity(Checked(config).identity),
      m_profile(config.profile),
      m_images(config.images),
      m_video(config.video),
      m_loop(config.loop),
      m_sourcePaced(config.sourcePaced),
      m_model(MakeModel(config)),
      m_faults(config.faults),
      m_lastEdge(Clock::now()) {}

Camera::~Camera() = default;

int32_t Camera::SetParameter(int32_t param, int32_t value) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const bool accepted =
        FaultInjector::IsFaultParameter(param) ? m_faults.Set(param, value) : m_model->SetParameter(param, value, *this) == kOk;
    if (accepted) {
        m_changed.NotifyAll();
    }
    return accepted ? kOk : kFailed;
}

std::optional<int32_t> Camera::GetNumber(int32_t param) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (FaultInjector::IsFaultParameter(param)) {
        return m_faults.Get(param);
    }
    return m_model->GetNumber(param);
}

std::optional<std::string> Camera::GetText(int32_t param) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_model->GetText(param);
}

int32_t Camera::ReadRegisters(uint64_t address, void* data, uint64_t size, std::string& error) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_model->ReadRegisters(address, data, size, error);
}

int32_t Camera::WriteRegisters(uint64_t address, const void* data, uint64_t size, std::string& error) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const int32_t result = m_model->WriteRegisters(address, data, size, *this, error);
    if (result == kOk) {
        m_changed.NotifyAll();
    }
    return result;
}

uint64_t Camera::Resets() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_model->Resets();
}

int32_t Camera::TakeEvents(CameraEvent* events, uint64_t& count, uint64_t& dropped) {
    std::lock_guard<std::mutex> lock(m_mutex);
    CameraEvents* raised = m_model->Events();
    if (raised == nullptr) {
        return kFailed;
    }
    count = raised->Take(events, count);
    dropped = raised->TakeDropped();
    return kOk;
}

void Camera::AddTrigger(Clock::time_point when) {
    if (m_triggers.size() < kMaxPendingTriggers) {
        m_triggers.push_back(when);
    }
}

void Camera::ClearTriggers() {
    m_triggers.clear();
    m_lastEdge = Clock::now();
}

int32_t Camera::Start() {
    if (m_grabbing) {
        return kFailed;
    }
    m_grabbing = true;
    ++m_numStarted;
    const Clock::time_point now = Clock::now();
    m_lastEdge = now;
    m_model->AcquisitionChanged(true, now);
    return kOk;
}

int32_t Camera::Stop() {
    ++m_stops;
    m_changed.NotifyAll();
    if (!m_grabbing) {
        return kFailed;
    }
    m_grabbing = false;
    m_model->AcquisitionChanged(false, Clock::now());
    return kOk;
}

bool Camera::Grabbing() const { return m_grabbing; }

bool Camera::TriggerPending() const { return !m_triggers.empty(); }

int32_t Camera::StartAcquisition() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return Start();
}

int32_t Camera::StopAcquisition() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return Stop();
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
    m_changed.NotifyAll();
}

bool Camera::Replaying() const { return m_model->Shape().sensor.pattern == kPatternImages; }

Camera::Clock::duration Camera::Interval(const FrameTiming& timing) const {
    return m_sourcePaced && Replaying() ? m_shownFor : timing.interval;
}

bool Camera::PastTheEnd(const GrabSession& session) const {
    if (m_loop || !Replaying()) {
        return false;
    }
    const uint64_t frames = m_video ? m_video->FrameCount() : m_images->images.size();
    return session.nextFrame >= frames;
}

Camera::Clock::time_point Camera::NextDue(Clock::time_point now) const {
    const FrameTiming timing = m_model->Timing();
    Clock::time_point due = std::max(m_lastFrame ? *m_lastFrame + Interval(timing) : now, m_model->EarliestFrame());
    if (timing.triggered && timing.lineTrigger) {
        due = std::max(due, m_model->NextLineEdge(m_lastEdge) + timing.delay);
    } else if (timing.triggered && !m_triggers.empty()) {
        due = std::max(due, m_triggers.front() + timing.delay);
    }
    return due;
}

bool Camera::Triggered() const {
    const FrameTiming timing = m_model->Timing();
    return m_model->MayDeliver() && (!timing.triggered || timing.lineTrigger || !m_triggers.empty());
}

bool Camera::FrameReady(Clock::time_point now) const { return Triggered() && now >= NextDue(now); }

int32_t Camera::Grab(GrabSession& session, void* buffer, uint64_t capacity, uint32_t timeoutMs, FrameInfo* info,
                     FrameRecord* record) {
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
    const uint64_t image = std::min<uint64_t>(written, taken.imageSize);
    if (!Source(taken.shape)->RenderPrefix(taken.info.frameNumber, bytes, image)) {
        taken.info.flags |= kFrameIncomplete;
    }
    if (taken.info.chunkMode != 0) {
        WriteFrameChunk(bytes, taken.info.frameNumber, written);
    }
    // The chunks follow the image; a payload cut short keeps only what fits.
    std::copy_n(taken.chunks.trailer.data(), written - image, bytes + image);
    if (info != nullptr) {
        *info = taken.info;
        info->filledSize = static_cast<uint32_t>(written);
    }
    if (record != nullptr) {
        record->timestamp = taken.timestamp;
        record->chunkLayoutId = taken.chunks.layoutId;
        record->imageSize = taken.imageSize;
        record->eventsPending = taken.eventsPending ? 1 : 0;
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
    m_changed.WaitUntil(lock, until);
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
        const bool ended = PastTheEnd(wait.session);
        if (!ended && FrameReady(now)) {
            return kOk;
        }
        if (now >= wait.deadline) {
            return kTimedOut;
        }
        Sleep(lock, !ended && Triggered() ? std::min(wait.deadline, NextDue(now)) : wait.deadline);
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
        taken.shape = m_model->Shape();
        taken.incomplete = fate.incomplete;
        taken.info = FrameInfo{};
        taken.info.width = taken.shape.geometry.width;
        taken.info.height = taken.shape.geometry.height;
        taken.info.pixelFormat = taken.shape.sensor.pixelFormat;
        taken.imageSize = static_cast<uint32_t>(
            PayloadSize(*FindPixelFormat(taken.info.pixelFormat), taken.info.width, taken.info.height));
        taken.timestamp = m_model->Timestamp(now);
        taken.chunks = m_model->Chunks(number, taken.timestamp, taken.imageSize);
        taken.info.payloadSize = taken.imageSize + static_cast<uint32_t>(taken.chunks.trailer.size());
        taken.info.chunkMode = m_model->ChunkMode() ? 1 : 0;
        taken.info.frameNumber = number;
        if (m_sourcePaced) {
            m_shownFor = m_video->durations[number % m_video->FrameCount()];
        }
        taken.info.flags = fate.incomplete ? kFrameIncomplete : 0;
        taken.info.droppedBefore = session.dropped;
        session.dropped = 0;
        m_model->FrameDelivered(number, taken.timestamp);
        const CameraEvents* events = m_model->Events();
        taken.eventsPending = events != nullptr && events->Pending();
        return kOk;
    }
}

void Camera::UseFrameSlot(Clock::time_point now) {
    const FrameTiming timing = m_model->Timing();
    const Clock::time_point due = NextDue(now);
    if (timing.triggered && timing.lineTrigger) {
        // The frame answers the last edge before now; edges missed meanwhile are gone.
        m_lastEdge = now - timing.delay;
    } else if (timing.triggered) {
        m_triggers.pop_front();
    }
    // Keep to the schedule while on time; after falling behind by a whole interval, start afresh.
    m_lastFrame = (now - due < Interval(timing)) ? due : now;
    m_model->FrameTaken(now);
}

void Camera::CloseSession(GrabSession& session) {
    std::unique_lock<std::mutex> lock(m_mutex);
    session.closed = true;
    m_changed.NotifyAll();
    while (session.active != 0) {
        m_changed.Wait(lock);
    }
}

uint32_t Camera::WaitingGrabs() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_waitingGrabs;
}

void Camera::PrepareFrames() {
    FrameShape shape{};
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        shape = m_model->Shape();
    }
    if (shape.sensor.pattern == kPatternImages) {
        Source(shape);
    }
}

std::shared_ptr<const FrameSource> Camera::Source(const FrameShape& shape) {
    std::lock_guard<std::mutex> lock(m_sourceMutex);
    if (!m_source || !(*m_sourceShape == shape)) {
        if (shape.sensor.pattern == kPatternImages && m_video) {
            m_source = std::make_shared<const VideoReplay>(shape, m_video);
        } else if (!IsNeutral(shape.geometry, shape.sensor) || !IsNeutral(shape.values)) {
            m_source = std::make_shared<const TransformedSource>(shape, m_images);
        } else if (shape.sensor.pattern == kPatternImages) {
            m_source = std::make_shared<const ImageReplay>(*m_images, shape.sensor.pixelFormat);
        } else {
            m_source = SharedImageGenerator(shape.sensor);
        }
        m_sourceShape = shape;
    }
    return m_source;
}

}  // namespace Quibbon::Sim
