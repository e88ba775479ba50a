#include "events/EventObj.h"

#include <cstdint>
#include <cstring>

#include "gentl/MsgComposer.h"
#include "gentl/controller/HandleRegistry.h"

namespace GenTL {

CEventObj::CEventObj() {
    CHandleRegistry::Instance().Add(this, HandleKind::Event);
}

CEventObj::~CEventObj() {
    CHandleRegistry::Instance().Remove(this);
}

void CEventObj::Kill() {
    CheckRegistered();
    {
        Lock lock(m_mutex_object);
        ++m_i_kill_count;
    }
    m_cv_signal.notify_all();
}

void CEventObj::ResetKill() {}

bool CEventObj::IsRegistered() const {
    return m_b_registered.load();
}

void CEventObj::CheckRegistered() const {
    if (!IsRegistered()) {
        throw invalid_handle_exception("Inquired event has not been registered.");
    }
}

bool CEventObj::ChangeRegistration(bool bFrom, bool bTo) {
    return m_b_registered.compare_exchange_strong(bFrom, bTo);
}

CEventObj::Deadline CEventObj::DeadlineAfter(uint64_t iTimeout) {
    using namespace std::chrono;
    if (iTimeout == GENTL_INFINITE) {
        return std::nullopt;
    }
    const auto now = steady_clock::now();
    const auto room = duration_cast<milliseconds>(steady_clock::time_point::max() - now);
    if (iTimeout >= static_cast<uint64_t>(room.count())) {
        // Further away than the clock can count: no caller can tell this from waiting forever.
        return std::nullopt;
    }
    return now + milliseconds(static_cast<milliseconds::rep>(iTimeout));
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
