#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "events/EventError.h"
#include "events/EventNewBuffer.h"
#include "framegrabber/Quibbon.h"
#include "modules/FrameLimit.h"
#include "modules/PortModule.h"

namespace GenTL {

class CBufferInfo;
class CDevice;

// The GenTL Data Stream module: the buffers announced to it, their input pool and output queue,
// the acquisition thread that moves buffers from one to the other through the frame grabber, and
// the stream's port and events. The stream keeps its device alive while it lives.
//
// Locks: the input-pool lock guards the input pool and the announced list, the output-queue lock
// the output queue; when both are needed the input-pool lock is taken first. No lock is held
// while the frame grabber fills a buffer or while a thread is joined.
class CDataStream : public CPortModule, public std::enable_shared_from_this<CDataStream> {
public:
    static const std::string m_str_file_name;
    static constexpr ModuleKind kKind = ModuleKind::DataStream;

    // The stream with that identifier on the device, its frame-grabber stream opened; "DS" and a
    // number, the first two characters being skipped whatever they are.
    static std::shared_ptr<CDataStream> Create(const std::string& sID, std::shared_ptr<CDevice> spDevice);
    virtual ~CDataStream();

    ModuleKind Kind() const override { return kKind; }
    ICommonBase* GetParent() override;
    void Register(EVENT_TYPE iEventID, EVENT_HANDLE* phEvent) override;
    void Unregister(EVENT_TYPE iEventID) override;

    // Buffers (the handle of a buffer is the CBufferInfo).
    virtual void DSAnnounceBuffer(void* pBuffer, size_t iSize, void* pPrivate, void** phBuffer);
    virtual void DSAllocAndAnnounceBuffer(void** ppBuffer, size_t iSize, void* pPrivate, void** phBuffer);
    // Returns the buffer's memory, also when ppBuffer leaves it unreported.
    virtual void* DSRevokeBuffer(void* hBuffer, void** ppBuffer, void** ppPrivate);
    virtual void DSQueueBuffer(void* hBuffer);
    virtual void DSFlushQueue(int32_t iOperation);
    virtual void DSGetBufferID(uint32_t iIndex, void*& hBuffer);
    virtual size_t GetNumAnnounced();

    // Acquisition.
    virtual void DSStartAcquisition(int32_t iStartFlags, uint64_t iNumToAcquire);
    virtual void DSStopAcquisition(int32_t iStopFlags);
    // Waits (in milliseconds, GENTL_INFINITE without limit) for the oldest filled buffer and hands
    // it out for event as its 16-byte record; with pBuffer null only reports the record's size.
    // A wait ends early, with abort_exception, on a kill, or when event is unregistered or closed.
    EventData GetFilledBuffer(void* pBuffer, size_t* piSize, uint64_t iTimeout, const CEventObj& event);
    // Ends every wait for a filled buffer (abort_exception); a kill with nobody waiting is void.
    void KillWaitForNewBuffer();
    // Lets waiters for a filled buffer look at their event's state again.
    void WakeWaitersForNewBuffer() noexcept;
    uint32_t GetPayloadSize();

    // Information.
    virtual void DSGetInfo(int32_t iInfoCmd, INFO_DATATYPE* piType, void* pBuffer, size_t* piSize);
    virtual void DSGetBufferInfo(void* hBuffer, int32_t iInfoCmd, INFO_DATATYPE* piType, void* pBuffer,
                                 size_t* piSize);
    const std::string& GetID() const { return m_str_id; }
    std::string GetDisplayName() const { return "Stream " + m_str_id; }
    int32_t GetStreamNumber() const { return m_i_stream_number; }

    void PushEventError(GC_ERROR iCode, const std::string& sText);

    // Stops the acquisition, wakes every waiter on the stream's events, withdraws the handles of
    // the stream and its buffers and leaves the device. Never fails; the stream, its buffers and
    // their memory go when the last user does.
    void Close() noexcept;
    // The answer to a call that finds the stream closed under it.
    [[noreturn]] static void RaiseClosed();

    // The stream number an identifier names: its decimal digits after the first two characters.
    // Raises std::out_of_range for fewer than two characters or a number beyond 32 bits.
    static int32_t ParseStreamNumber(const std::string& sID);

private:
    CDataStream(int32_t iStreamNumber, std::shared_ptr<CDevice> spDevice);
    PortInfoTexts GetPortInfoTexts() override;
    void InitPort();
    void OpenFrameGrabberStream();
    std::shared_ptr<CBufferInfo> Announce(std::shared_ptr<CBufferInfo> buffer, void** phBuffer);
    // The announced buffer behind a handle; raises for a handle that is not a buffer of this
    // stream. Input-pool lock held.
    std::shared_ptr<CBufferInfo> FindAnnounced(void* hBuffer) const;
    void RemoveFromOutput(CBufferInfo* pBuffer);
    static void ClearQueueFlags(CBufferInfo& buffer);
    void FlushLocked(int32_t iOperation);
    // The most chunks a buffer of this stream may carry: the camera's answer, else 1.
    size_t MaxChunks() const;

    // The acquisition thread.
    // Never lets an exception out: a failure ends the acquisition as described at EndOnFailure.
    void AcqThreadProc() noexcept;
    // The next buffer of the input pool, waiting for one at most 500 ms; null when none came or the
    // acquisition stops.
    CBufferInfo* TakeFromInputPool();
    // Fills the buffer through the frame grabber; the frame-grabber result.
    // record.info is always written; the rest only by a frame grabber that fills frame records.
    int32_t Fill(CBufferInfo& buffer, Quibbon::FrameRecord& record);
    int32_t FillWithoutGrab(CBufferInfo& buffer, Quibbon::FrameInfo& info);
    // Deliver and ReturnToInputPool put the held buffer into a queue and then clear pHeld, so that
    // a failure after that point never puts it in a second place.
    void Deliver(CBufferInfo*& pHeld, const Quibbon::FrameRecord& record, int32_t iResult);
    void ReturnToInputPool(CBufferInfo*& pHeld, int32_t iResult);
    void EndOnFailure(CBufferInfo* pHeld, const char* sReason) noexcept;
    bool Acquiring() const;
    void JoinThread();

    static void RegCB_UpdateStat(uint64_t iAddress, uint32_t& iValue, void* pContext);
    static void RegCB_ParamAccessWrite(uint64_t iAddress, uint32_t& iValue, void* pContext);
    static void RegCB_ParamAccessRead(uint64_t iAddress, uint32_t& iValue, void* pContext);

    const int32_t m_i_stream_number;
    const std::string m_str_id;
    const std::shared_ptr<CDevice> m_sp_device;
    Quibbon::IDataStream* m_p_fg_stream = nullptr;
    // Whether the frame grabber offers its grab (written to the buffer with its description).
    bool m_b_has_grab = false;
    bool m_b_has_frame_record = false;  // its Grab fills a Quibbon::FrameRecord on request

    std::mutex m_mutex_input;
    std::condition_variable m_cv_input;
    std::vector<std::shared_ptr<CBufferInfo>> m_vec_announced;
    std::deque<CBufferInfo*> m_deque_input;

    // The output queue, which the new-buffer event shares.
    std::mutex m_mutex_output;
    std::condition_variable m_cv_output;
    std::deque<CBufferInfo*> m_deque_output;
    uint64_t m_i_kill_count = 0;

    // Start, stop and close are serialised; the thread reads the flags without a lock.
    std::mutex m_mutex_control;
    std::atomic<bool> m_b_acquiring{false};
    std::thread m_thread;
    bool m_b_closed = false;

    std::atomic<uint64_t> m_i_underruns{0};
    std::atomic<uint64_t> m_i_delivered{0};
    CFrameLimit m_frame_limit;
    // Next frame ID; only the acquisition thread changes it.
    uint64_t m_i_frame_counter = 0;
    // Filled by the frame grabber when it has no grab and the payload exceeds a buffer.
    std::vector<uint8_t> m_vec_scratch;

    std::shared_ptr<CEventNewBuffer> m_sp_event_new_buffer;
    std::shared_ptr<CEventError> m_sp_event_error;
};

}  // namespace GenTL
