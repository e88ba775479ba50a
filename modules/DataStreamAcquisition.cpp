// The acquisition engine of a data stream: start, stop, the acquisition thread and the hand-out of
// filled buffers.
#include <chrono>
#include <cstring>
#include <exception>
#include <system_error>

#include "gentl/Exceptions.h"
#include "gentl/InfoWriters.h"
#include "gentl/MsgComposer.h"
#include "gentl/Platform.h"
#include "gentl/TimedWait.h"
#include "modules/BufferInfo.h"
#include "modules/DataStream.h"
#include "modules/Device.h"
#include "modules/RemotePort.h"

namespace GenTL {

namespace {

constexpr uint64_t kRegThreadRunning = 0x50;
// How long a grab may wait for its frame, and how long the thread waits for a queued buffer.
constexpr uint32_t kGrabTimeoutMs = 500;
constexpr auto kInputWait = std::chrono::milliseconds(500);
// After a grab that failed without waiting, the thread pauses this long (or until the input pool
// changes or the acquisition stops) before it tries again, so that it never spins.
constexpr auto kRetryPause = std::chrono::milliseconds(10);
constexpr uint64_t kPayloadTypeImage = 1;     // PAYLOAD_TYPE_IMAGE
constexpr uint64_t kPayloadTypeChunkData = 4;  // PAYLOAD_TYPE_CHUNK_DATA: an image with chunks
constexpr uint64_t kPayloadTypeChunkOnly = 8;  // PAYLOAD_TYPE_CHUNK_ONLY

uint32_t ReadParameter(Quibbon::IDevice* pDevice, int32_t iParameter) {
    uint32_t value = 0;
    uint64_t size = sizeof value;
    pDevice->GetParameter(iParameter, &value, &size);
    return value;
}

// Why a start failed, for the consumer: the system refusing a thread, or what else was raised.
std::string StartFailure(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::system_error& refused) {
        return MsgComposer("Unable to start the acquisition: the system refused a new thread (error %d).",
                           refused.code().value());
    } catch (const std::exception& other) {
        return MsgComposer("Unable to start the acquisition: %s.", other.what());
    } catch (...) {
        return "Unable to start the acquisition: unknown exception.";
    }
}

}  // namespace

bool CDataStream::Acquiring() const { return m_b_acquiring.load(std::memory_order_acquire); }

void CDataStream::DSStartAcquisition(int32_t /*iStartFlags*/, uint64_t iNumToAcquire) {
    std::lock_guard<std::mutex> control(m_mutex_control);
    if (m_b_closed) {
        RaiseClosed();
    }
    if (Acquiring()) {
        throw resource_in_use_exception("Acquisition already started.");
    }
    JoinThread();
    const uint64_t previousLimit = m_frame_limit.Start(iNumToAcquire);
    try {
        if (m_p_fg_stream != nullptr) {
            m_p_fg_stream->StartAcquisition(Quibbon::kStreamOnly, -1);
        }
        m_b_acquiring = true;
        // Published here rather than by the thread, so that it reads 1 as soon as start returns.
        Map().SetReg(kRegThreadRunning, 1);
        std::lock_guard<std::mutex> input(m_mutex_input);
        m_thread = std::thread(&CDataStream::AcqThreadProc, this);
    } catch (...) {
        // Without its thread the stream must not look started: undo every step above.
        m_b_acquiring = false;
        Map().SetReg(kRegThreadRunning, 0);
        if (m_p_fg_stream != nullptr) {
            m_p_fg_stream->StopAcquisition(Quibbon::kStreamOnly, 0);
        }
        m_frame_limit.Set(previousLimit);
        throw std::runtime_error(StartFailure(std::current_exception()));
    }
}

void CDataStream::DSStopAcquisition(int32_t /*iStopFlags*/) {
    std::lock_guard<std::mutex> control(m_mutex_control);
    if (!Acquiring()) {
        throw resource_in_use_exception("The acquisition has already been terminated or it has not been started.");
    }
    m_b_acquiring = false;
    // Wake the thread wherever it waits: in the grab, or for a queued buffer.
    if (m_p_fg_stream != nullptr) {
        m_p_fg_stream->StopAcquisition(Quibbon::kStreamOnly, 0);
    }
    {
        std::lock_guard<std::mutex> input(m_mutex_input);
    }
    m_cv_input.notify_all();
    JoinThread();
}

void CDataStream::JoinThread() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void CDataStream::AcqThreadProc() noexcept {
    CBufferInfo* held = nullptr;  // taken from the input pool and in no queue yet
    try {
        while (Acquiring() && !m_frame_limit.Reached()) {
            held = TakeFromInputPool();
            if (held == nullptr) {
                continue;
            }
            Quibbon::FrameRecord record{};
            const int32_t result = Fill(*held, record);
            if (record.eventsPending != 0) {
                // The frame's events reach the consumer before the frame does.
                m_sp_device->GetPort()->CollectEvents();
            }
            if (result >= 0) {
                Deliver(held, record, result);
            } else {
                ReturnToInputPool(held, result);
            }
        }
    } catch (const std::exception& e) {
        EndOnFailure(held, e.what());
    } catch (...) {
        EndOnFailure(held, "unknown exception");
    }
    Map().SetReg(kRegThreadRunning, 0);
}

// The thread met a failure it cannot go on from (out of memory, a frame grabber that raised):
// the buffer it held goes back to the input pool, the consumer learns of it through the error
// event, and the thread ends as after the last frame of a limited acquisition.
void CDataStream::EndOnFailure(CBufferInfo* pHeld, const char* sReason) noexcept {
    if (pHeld != nullptr) {
        std::lock_guard<std::mutex> lock(m_mutex_input);
        pHeld->m_b_is_acquiring = false;
        pHeld->m_b_new_data = false;
        pHeld->m_b_image_present = false;
        try {
            m_deque_input.push_front(pHeld);
        } catch (...) {
            // Not even the pool can grow: the buffer stays announced and idle, to be queued again.
            pHeld->m_b_queued = false;
        }
    }
    try {
        PushEventError(GC_ERR_ERROR, MsgComposer("The acquisition stopped: %s.", sReason));
    } catch (...) {
        // No memory for the report either; register 0x50 still tells that the thread ended.
    }
}

CBufferInfo* CDataStream::TakeFromInputPool() {
    std::unique_lock<std::mutex> lock(m_mutex_input);
    if (m_deque_input.empty()) {
        ++m_i_underruns;
        m_cv_input.wait_for(lock, kInputWait, [this] { return !m_deque_input.empty() || !Acquiring(); });
    }
    if (m_deque_input.empty() || !Acquiring()) {
        return nullptr;
    }
    CBufferInfo* buffer = m_deque_input.front();
    m_deque_input.pop_front();
    // Marked under the lock, so that a flush never sees the buffer in neither place.
    buffer->m_b_is_acquiring = true;
    return buffer;
}

int32_t CDataStream::Fill(CBufferInfo& buffer, Quibbon::FrameRecord& record) {
    if (m_p_fg_stream == nullptr || !buffer.HasMemory()) {
        return Quibbon::kFailed;
    }
    if (!m_b_has_grab) {
        return FillWithoutGrab(buffer, record.info);
    }
    uint64_t size = buffer.Size();
    record.info.reserved = m_b_has_frame_record ? sizeof record : 0;
    const int32_t result = m_p_fg_stream->Grab(buffer.Buffer(), &size, kGrabTimeoutMs, &record.info);
    if (record.info.reserved != sizeof record) {
        record = Quibbon::FrameRecord{record.info, 0, 0, 0, 0, 0};  // a plain FrameInfo came back
    }
    return result;
}

// A frame grabber without its grab fills a whole payload of the camera's size and reports the
// description separately. A payload larger than the buffer is filled into the stream's scratch
// buffer (grown when needed, never per frame) and as much of it as fits is copied.
int32_t CDataStream::FillWithoutGrab(CBufferInfo& buffer, Quibbon::FrameInfo& info) {
    Quibbon::IDevice* device = m_sp_device->GetComponent();
    const uint32_t payload = ReadParameter(device, Quibbon::kParamPayloadSize);
    const bool fits = payload <= buffer.Size();
    if (!fits && m_vec_scratch.size() < payload) {
        m_vec_scratch.resize(payload);
    }
    const int32_t result = m_p_fg_stream->Fill(fits ? buffer.Buffer() : m_vec_scratch.data(), kGrabTimeoutMs);
    if (result < 0) {
        return result;
    }
    if (!fits) {
        std::memcpy(buffer.Buffer(), m_vec_scratch.data(), buffer.Size());
    }
    info.width = ReadParameter(device, Quibbon::kParamWidth);
    info.height = ReadParameter(device, Quibbon::kParamHeight);
    info.pixelFormat = ReadParameter(device, Quibbon::kParamPixelFormat);
    info.chunkMode = ReadParameter(device, Quibbon::kParamChunkMode);
    info.payloadSize = payload;
    info.filledSize = static_cast<uint32_t>(fits ? payload : buffer.Size());
    return fits ? Quibbon::kOk : Quibbon::kTruncated;
}

void CDataStream::Deliver(CBufferInfo*& pHeld, const Quibbon::FrameRecord& record, int32_t iResult) {
    const Quibbon::FrameInfo& info = record.info;
    const bool chunked = record.chunkLayoutId != 0;
    CBufferInfo& buffer = *pHeld;
    const bool truncated = iResult == Quibbon::kTruncated;
    const bool incomplete = truncated || (info.flags & Quibbon::kFrameIncomplete) != 0;
    // The description needs no ordering of its own: the output-queue lock below publishes it to
    // the consumer that takes the buffer, and a query racing with the thread may see it half
    // written either way. The queue flags further down keep their order.
    constexpr auto kRelaxed = std::memory_order_relaxed;
    buffer.m_i_width.store(info.width, kRelaxed);
    buffer.m_i_height.store(info.height, kRelaxed);
    buffer.m_i_delivered_image_height.store(info.height, kRelaxed);
    buffer.m_i_pixel_format.store(info.pixelFormat, kRelaxed);
    buffer.m_i_chunk_layout_id.store(record.chunkLayoutId, kRelaxed);
    buffer.m_b_contains_chunk_data.store(chunked || info.chunkMode != 0, kRelaxed);
    buffer.m_i_payload_type.store(chunked                ? kPayloadTypeChunkData
                                  : info.chunkMode != 0 ? kPayloadTypeChunkOnly
                                                        : kPayloadTypeImage,
                                  kRelaxed);
    buffer.m_i_delivered_chunk_payload_size.store(info.filledSize, kRelaxed);
    buffer.m_i_data_size.store(info.filledSize, kRelaxed);
    buffer.m_i_size_filled.store(info.filledSize, kRelaxed);
    buffer.m_b_data_larger_than_buffer.store(truncated, kRelaxed);
    buffer.m_b_is_incomplete.store(incomplete, kRelaxed);
    // A camera with a clock stamps its frames (and their chunks) itself.
    buffer.SetTimestamp(record.timestamp != 0 ? record.timestamp : GetTimeStamp());
    const uint64_t frameID = m_i_frame_counter + info.droppedBefore;
    buffer.m_i_frame_id.store(frameID, kRelaxed);
    buffer.m_b_image_present.store(true, kRelaxed);
    buffer.m_b_new_data.store(true, kRelaxed);
    {
        // The buffer changes queues under the output-queue lock, and is marked as in the output
        // queue before it stops being marked queued: a flush or a queueing on another thread sees
        // it in exactly one place. The frame counts only once the buffer is in the queue.
        std::lock_guard<std::mutex> lock(m_mutex_output);
        m_deque_output.push_back(&buffer);
        pHeld = nullptr;
        m_i_frame_counter = frameID + 1;
        ++m_i_delivered;
        m_frame_limit.CountDown();
        buffer.m_b_in_output = true;
        buffer.m_b_queued = false;
        buffer.m_b_is_acquiring = false;
    }
    m_cv_output.notify_one();
    if (truncated) {
        PushEventError(GC_ERR_BUFFER_TOO_SMALL,
                       MsgComposer("Frame %llu of %u bytes does not fit the buffer of %llu bytes; it was truncated.",
                                   static_cast<unsigned long long>(buffer.m_i_frame_id.load()), info.payloadSize,
                                   static_cast<unsigned long long>(buffer.Size())));
    }
}

void CDataStream::ReturnToInputPool(CBufferInfo*& pHeld, int32_t iResult) {
    std::unique_lock<std::mutex> lock(m_mutex_input);
    m_deque_input.push_front(pHeld);
    pHeld->m_b_is_acquiring = false;
    pHeld = nullptr;
    if (iResult == Quibbon::kTimedOut || iResult == Quibbon::kStopped) {
        return;  // the grab waited already, or the acquisition is ending
    }
    lock.unlock();
    if (iResult == Quibbon::kCameraError) {
        PushEventError(GC_ERR_ERROR, "The camera failed to deliver a frame.");
    }
    lock.lock();
    m_cv_input.wait_for(lock, kRetryPause, [this] { return !Acquiring(); });
}

EventData CDataStream::GetFilledBuffer(void* pBuffer, size_t* piSize, uint64_t iTimeout, const CEventObj& event) {
    std::unique_lock<std::mutex> lock(m_mutex_output);
    const uint64_t kills = m_i_kill_count;
    const auto killed = [&] { return m_i_kill_count != kills; };
    const auto ended = [&] { return killed() || !event.IsRegistered() || event.IsShutDown(); };
    if (!WaitWithTimeout(m_cv_output, lock, iTimeout, [&] { return ended() || !m_deque_output.empty(); })) {
        return EventData::TimedOut;
    }
    if (ended()) {
        RaiseWaitAborted(killed() && event.IsRegistered());
    }
    CBufferInfo* buffer = m_deque_output.front();
    EVENT_NEW_BUFFER_DATA record{buffer->Handle(), buffer->UserPointer()};
    if (pBuffer == nullptr) {
        SetReturnParam(pBuffer, piSize, nullptr, INFO_DATATYPE_BUFFER, &record, sizeof record);
        return buffer->m_b_new_data ? EventData::SizeReported : EventData::TimedOut;
    }
    m_deque_output.pop_front();
    buffer->m_b_queued = false;
    buffer->m_b_in_output = false;
    buffer->m_b_new_data = true;
    SetReturnParam(pBuffer, piSize, nullptr, INFO_DATATYPE_BUFFER, &record, sizeof record);
    return EventData::Delivered;
}

void CDataStream::KillWaitForNewBuffer() {
    {
        std::lock_guard<std::mutex> lock(m_mutex_output);
        ++m_i_kill_count;
    }
    m_cv_output.notify_all();
}

void CDataStream::WakeWaitersForNewBuffer() noexcept {
    try {
        std::lock_guard<std::mutex> lock(m_mutex_output);
    } catch (...) {
    }
    m_cv_output.notify_all();
}

uint32_t CDataStream::GetPayloadSize() { return m_sp_device->GetPort()->GetPayloadSize(); }

}  // namespace GenTL
