// Base of every event object. The object's address is the event handle handed to the consumer.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include "gentl/Exceptions.h"
#include "gentl/GenTL.h"
#include "gentl/TimedWait.h"

namespace GenTL {

// Ends a wait for event data with abort_exception: killed (EventKill), or the event was
// unregistered or its module closed.
[[noreturn]] void RaiseWaitAborted(bool bKilled);

// What one GetData call achieved.
enum class EventData {
    Delivered,     // one record was copied out and removed
    SizeReported,  // a size query: *piSize holds the record's size, the record stays queued
    TimedOut,      // nothing arrived before the time-out
};

// Events are held in shared ownership: a call that works on an event keeps it alive until the
// call returns, also when its module closes meanwhile.
class CEventObj {
public:
    CEventObj();
    virtual ~CEventObj();
    CEventObj(const CEventObj&) = delete;
    CEventObj& operator=(const CEventObj&) = delete;

    // Delivers one event record into pBuffer, or with pBuffer null reports the size of the next
    // one. The time-out is in milliseconds, GENTL_INFINITE waits without limit.
    virtual EventData GetData(void* pBuffer, size_t* piSize, uint64_t iTimeout) = 0;
    virtual void GetInfo(EVENT_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) = 0;
    virtual void GetDataInfo(const void* pInBuffer, size_t iInSize, EVENT_DATA_INFO_CMD iInfoCmd,
                             INFO_DATATYPE* piType, void* pOutBuffer, size_t* piOutSize) = 0;
    virtual void Flush() = 0;
    // Wakes every thread waiting in GetData on this event; each of them fails with abort_exception.
    virtual void Kill();
    // A kill only concerns the waits running when it happens, so there is nothing to reset.
    virtual void ResetKill();
    virtual bool IsRegistered() const;

    // Wakes every waiting GetData with abort_exception; never fails. Used when the event is
    // unregistered.
    virtual void Abort() noexcept;
    // The event's module closes: unregisters the event and wakes every waiter for good, so that
    // no later wait can start. Never fails.
    void Shutdown() noexcept;
    bool IsShutDown() const { return m_b_shut_down; }
    // Raises invalid_handle_exception once the event's module has closed.
    void CheckNotShutDown() const;

    // Number of event objects alive in the process, for leak checks.
    static uint64_t LiveCount();

protected:
    using Lock = std::unique_lock<std::recursive_mutex>;

    // Raises invalid_handle_exception unless the event is registered.
    void CheckRegistered() const;
    // Atomically moves the registration flag from bFrom to bTo; false when it was not bFrom.
    bool ChangeRegistration(bool bFrom, bool bTo);

    // Waits on the signal (lock held on entry and exit) until ready() holds, the deadline for
    // iTimeout passes (returns false), or the wait is ended by Kill, Abort, Shutdown or the event
    // being unregistered (raises abort_exception).
    template <class Ready>
    bool WaitUntilReady(Lock& lock, uint64_t iTimeout, Ready ready);

    // Helpers for parsing the event data a consumer hands back to GetDataInfo; they never look
    // beyond iInSize bytes.
    // Raises invalid_parameter_exception when pInBuffer is null or shorter than iRequired bytes.
    static const char* CheckInBuffer(const void* pInBuffer, size_t iInSize, size_t iRequired);
    // Offset of the first zero byte at or after iFrom within iInSize bytes; raises
    // invalid_parameter_exception when there is none.
    static size_t FindTerminator(const char* pInBytes, size_t iInSize, size_t iFrom);
    // Zeroes the caller's output buffer, when one is given.
    static void ClearOutBuffer(void* pOutBuffer, const size_t* piOutSize);
    [[noreturn]] static void RejectDataInfoCmd(EVENT_DATA_INFO_CMD iInfoCmd);

    std::recursive_mutex m_mutex_object;
    std::condition_variable_any m_cv_signal;

private:
    std::atomic<bool> m_b_registered{false};
    std::atomic<bool> m_b_shut_down{false};
    // Number of kills so far, guarded by m_mutex_object. A wait aborts when it changes.
    uint64_t m_i_kill_count = 0;
};

template <class Ready>
bool CEventObj::WaitUntilReady(Lock& lock, uint64_t iTimeout, Ready ready) {
    const uint64_t kills_at_start = m_i_kill_count;
    // Unregistering and shutting down change their flag before they signal under the lock, so a
    // waiter checking the flags here under the lock cannot miss them.
    const auto ended = [&] { return m_i_kill_count != kills_at_start || !IsRegistered() || m_b_shut_down; };
    const auto woken = [&] { return ended() || ready(); };
    if (!WaitWithTimeout(m_cv_signal, lock, iTimeout, woken)) {
        return false;
    }
    if (ended()) {
        RaiseWaitAborted(m_i_kill_count != kills_at_start && IsRegistered());
    }
    return true;
}

}  // namespace GenTL
