#include "events/EventObj.h"

#include <cstdint>
#include <cstring>

#include "gentl/MsgComposer.h"

namespace GenTL {

namespace {
std::atomic<uint64_t> g_live_events{0};
}  // namespace

CEventObj::CEventObj() { ++g_live_events; }

CEventObj::~CEventObj() { --g_live_events; }

uint64_t CEventObj::LiveCount() { return g_live_events.load(); }

void CEventObj::Kill() {
    CheckRegistered();
    Abort();
}

void CEventObj::ResetKill() {}

void CEventObj::Abort() noexcept {
    {
        Lock lock(m_mutex_object);
        ++m_i_kill_count;
    }
    m_cv_signal.notify_all();
}

void CEventObj::Shutdown() noexcept {
    m_b_shut_down = true;
    m_b_registered = false;
    Abort();
}

bool CEventObj::IsRegistered() const {
    return m_b_registered.load();
}

void CEventObj::CheckRegistered() const {
    if (!IsRegistered()) {
        throw invalid_handle_exception("Inquired event has not been registered.");
    }
}

void CEventObj::CheckNotShutDown() const {
    if (m_b_shut_down) {
        throw invalid_handle_exception("The module of the event has been closed.");
    }
}

bool CEventObj::ChangeRegistration(bool bFrom, bool bTo) {
    CheckNotShutDown();
    if (m_b_registered.compare_exchange_strong(bFrom, bTo)) {
        return true;
    }
    // The module may have closed meanwhile on another thread, which unregisters the event.
    CheckNotShutDown();
    return false;
}

void RaiseWaitAborted(bool bKilled) {
    if (bKilled) {
        throw abort_exception("Wait aborted by EventKill");
    }
    throw abort_exception("Wait aborted: the event was unregistered or its module was closed.");
}

const char* CEventObj::CheckInBuffer(const void* pInBuffer, size_t iInSize, size_t iRequired) {
    if (pInBuffer == nullptr) {
        throw invalid_parameter_exception(
            MsgComposer("Specified pInBuffer is invalid: pInBuffer = 0x%p.", pInBuffer));
    }
    if (iInSize < iRequired) {
        throw invalid_parameter_exception(
            MsgComposer("Specified iInSize is too small for the event data: iInSize = %d, required = %d.",
                        static_cast<int>(iInSize), static_cast<int>(iRequired)));
    }
    return static_cast<const char*>(pInBuffer);
}

size_t CEventObj::FindTerminator(const char* pInBytes, size_t iInSize, size_t iFrom) {
    if (iFrom < iInSize) {
        const void* zero = std::memchr(pInBytes + iFrom, '\0', iInSize - iFrom);
        if (zero != nullptr) {
            return static_cast<size_t>(static_cast<const char*>(zero) - pInBytes);
        }
    }
    throw invalid_parameter_exception(
        MsgComposer("Specified pInBuffer holds no terminated text within iInSize: iInSize = %d.",
                    static_cast<int>(iInSize)));
}

void CEventObj::ClearOutBuffer(void* pOutBuffer, const size_t* piOutSize) {
    if (pOutBuffer != nullptr && piOutSize != nullptr) {
        std::memset(pOutBuffer, 0, *piOutSize);
    }
}

void CEventObj::RejectDataInfoCmd(EVENT_DATA_INFO_CMD iInfoCmd) {
    throw invalid_parameter_exception(MsgComposer("Specified iID is invalid: iID = 0x%p.",
                                                  reinterpret_cast<void*>(static_cast<intptr_t>(iInfoCmd))));
}

}  // namespace GenTL
