// Base of every event object. The object's address is the event handle handed to the consumer.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

#include "gentl/Exceptions.h"
#include "gentl/GenTL.h"

namespace GenTL {

// Shared ownership lets a call that works on the event keep it alive until the call returns.
class CEventObj : public std::enable_shared_from_this<CEventObj> {
public:
    // Enters the live-handle registry; the destructor leaves it again.
    CEventObj();
    virtual ~CEventObj();
    CEventObj(const CEventObj&) = delete;
    CEventObj& operator=(const CEventObj&) = delete;

    // Delivers one event record into pBuffer. False when nothing was delivered: the time-out
    // (milliseconds, GENTL_INFINITE = no limit) expired, or *piSize was 0 and now holds the size.
    virtual bool GetData(void* pBuffer, size_t* piSize, uint64_t iTimeout) = 0;
    virtual void GetInfo(EVENT_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) = 0;
    virtual void GetDataInfo(const void* pInBuffer, size_t iInSize, EVENT_DATA_INFO_CMD iInfoCmd,
                             INFO_DATATYPE* piType, void* pOutBuffer, size_t* piOutSize) = 0;
    virtual void Flush() = 0;
    // Wakes every thread waiting in GetData on this event; each of them fails with abort_exception.
    virtual void Kill();
    // A kill only concerns the waits running when it happens, so there is nothing to reset.
    virtual void ResetKill();
    virtual bool IsRegistered() const;

protected:
    using Lock = std::unique_lock<std::recursive_mutex>;
    using Deadline = std::optional<std::chrono::steady_clock::time_point>;

    // Raises invalid_handle_exception unless the event is registered.
    void CheckRegistered() const;
    // Atomically moves the registration flag from bFrom to bTo; false when it was not bFrom.
    bool ChangeRegistration(bool bFrom, bool bTo);

    // Waits on the signal (lock held on entry and exit) until ready() holds, the deadline for
    // iTimeout passes (returns false) or Kill is called (raises abort_exception).
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
    // No deadline for GENTL_INFINITE and for time-outs beyond the clock's range.
    static Deadline DeadlineAfter(uint64_t iTimeout);

    std::atomic<bool> m_b_registered{false};
    // Number of kills so far, guarded by m_mutex_object. A wait aborts when it changes.
    uint64_t m_i_kill_count = 0;
};

template <class Ready>
bool CEventObj::WaitUntilReady(Lock& lock, uint64_t iTimeout, Ready ready) {
    const uint64_t kills_at_start = m_i_kill_count;
    const auto woken = [&] { return m_i_kill_count != kills_at_start || ready(); };
    const Deadline deadline = DeadlineAfter(iTimeout);
    if (!deadline) {
        m_cv_signal.wait(lock, woken);
    } else if (!m_cv_signal.wait_until(lock, *deadline, woken)) {
        return false;
    }
    if (m_i_kill_count != kills_at_start) {
        throw abort_exception("Wait aborted by EventKill");
    }
    return true;
}

}  // namespace GenTL
