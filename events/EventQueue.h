// First-in first-out event queue shared by the queued event kinds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <utility>

#include "events/EventObj.h"
#include "gentl/Exceptions.h"
#include "gentl/InfoWriters.h"
#include "gentl/MsgComposer.h"

namespace GenTL {

// Entry side of ToBuffer: checks the caller's buffer for iRequired bytes (raising "Invalid buffer"
// or sTooSmall), sets *piSize to iRequired and zeroes that region.
inline uint8_t* PrepareEntryBuffer(void* pBuffer, size_t* piSize, size_t iRequired, const char* sTooSmall) {
    if (pBuffer == nullptr) {
        throw invalid_buffer_size_exception("Invalid buffer");
    }
    if (piSize == nullptr || iRequired > *piSize) {
        throw invalid_parameter_exception(sTooSmall);
    }
    *piSize = iRequired;
    std::memset(pBuffer, 0, iRequired);
    return static_cast<uint8_t*>(pBuffer);
}

// T is a shared pointer to an entry record. An entry offers Size(), the number of bytes it
// delivers, and ToBuffer(void*, size_t*), which writes them.
template <class T>
class CEventQueue : public CEventObj {
public:
    // Appends an entry and wakes one waiter; entries pushed while unregistered are dropped.
    virtual void Push(const T& entry);
    // Builds an entry from the arguments and pushes it; while unregistered nothing is built.
    template <class... Args>
    void Emplace(Args&&... args) {
        if (IsRegistered()) {
            Push(std::make_shared<typename T::element_type>(std::forward<Args>(args)...));
        }
    }
    // Bounds the queue: when it holds capacity entries, a new one drops the oldest, counted in
    // EVENT_INFO_NUM_DROPPED. Unbounded until called.
    void LimitTo(size_t capacity);
    // Adds entries dropped before they reached the queue to that count.
    void CountDropped(uint64_t count);
    virtual void EnableEvent();
    // Queued entries stay and are delivered after the next registration.
    virtual void DisableEvent();

    EventData GetData(void* pBuffer, size_t* piSize, uint64_t iTimeout) override;
    void Flush() override;

protected:
    using Entry = typename T::element_type;

    // The GetInfo answers common to all queued kinds; infoDataSizeMax(front entry) gives the
    // kind's EVENT_INFO_DATA_SIZE_MAX.
    template <class InfoDataSizeMax>
    void AnswerInfo(EVENT_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer, size_t* piSize,
                    InfoDataSizeMax infoDataSizeMax);

private:
    // Applies measure to the front entry under the lock; 0 when the queue is empty.
    template <class Measure>
    size_t MeasureFront(Measure measure);
    // Copies the front entry out (lock held) and removes it when that succeeded; with pBuffer null
    // only reports its size.
    EventData DeliverFront(void* pBuffer, size_t* piSize);

    std::deque<T> m_deque_entries;
    size_t m_i_capacity = 0;  // 0: unbounded
    uint64_t m_i_dropped = 0;
};

template <class T>
void CEventQueue<T>::Push(const T& entry) {
    if (!entry || !IsRegistered()) {
        return;
    }
    {
        Lock lock(m_mutex_object);
        if (m_i_capacity != 0 && m_deque_entries.size() >= m_i_capacity) {
            m_deque_entries.pop_front();
            ++m_i_dropped;
        }
        m_deque_entries.push_back(entry);
    }
    m_cv_signal.notify_one();
}

template <class T>
void CEventQueue<T>::LimitTo(size_t capacity) {
    Lock lock(m_mutex_object);
    m_i_capacity = capacity;
}

template <class T>
void CEventQueue<T>::CountDropped(uint64_t count) {
    Lock lock(m_mutex_object);
    m_i_dropped += count;
}

template <class T>
void CEventQueue<T>::EnableEvent() {
    if (!ChangeRegistration(false, true)) {
        throw resource_in_use_exception("Event already registered");
    }
}

template <class T>
void CEventQueue<T>::DisableEvent() {
    if (!ChangeRegistration(true, false)) {
        throw not_initialized_exception("Event not yet registered");
    }
}

template <class T>
EventData CEventQueue<T>::GetData(void* pBuffer, size_t* piSize, uint64_t iTimeout) {
    CheckRegistered();
    if (piSize == nullptr) {
        throw invalid_parameter_exception(MsgComposer("Specified piSize is invalid: piSize = 0x%p.", piSize));
    }
    Lock lock(m_mutex_object);
    if (!WaitUntilReady(lock, iTimeout, [this] { return !m_deque_entries.empty(); })) {
        return EventData::TimedOut;
    }
    return DeliverFront(pBuffer, piSize);
}

template <class T>
EventData CEventQueue<T>::DeliverFront(void* pBuffer, size_t* piSize) {
    const Entry& front = *m_deque_entries.front();
    const size_t required = front.Size();
    if (pBuffer == nullptr || *piSize == 0) {
        *piSize = required;
        return EventData::SizeReported;
    }
    if (*piSize < required) {
        throw buffer_too_small_exception(MsgComposer("Prepared buffer is too small. Required: %d. Prepared: %d.",
                                                     static_cast<int>(required), static_cast<int>(*piSize)));
    }
    front.ToBuffer(pBuffer, piSize);
    m_deque_entries.pop_front();
    return EventData::Delivered;
}

template <class T>
void CEventQueue<T>::Flush() {
    CheckRegistered();
    Lock lock(m_mutex_object);
    m_deque_entries.clear();
}

template <class T>
template <class Measure>
size_t CEventQueue<T>::MeasureFront(Measure measure) {
    Lock lock(m_mutex_object);
    return m_deque_entries.empty() ? 0 : measure(*m_deque_entries.front());
}

template <class T>
template <class InfoDataSizeMax>
void CEventQueue<T>::AnswerInfo(EVENT_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer, size_t* piSize,
                                InfoDataSizeMax infoDataSizeMax) {
    if (!IsRegistered()) {
        throw invalid_handle_exception(
            MsgComposer("Event ID %ld has not been registered.", static_cast<long>(iInfoCmd)));
    }
    size_t value = 0;
    switch (iInfoCmd) {
    case EVENT_EVENT_TYPE: {
        // A 4-byte zero; a size query reports only the size, not the type.
        const uint32_t type = 0;
        SetReturnParam(pBuffer, piSize, pBuffer != nullptr ? piType : nullptr, INFO_DATATYPE_SIZET, &type,
                       sizeof type);
        return;
    }
    case EVENT_NUM_IN_QUEUE: {
        Lock lock(m_mutex_object);
        value = m_deque_entries.size();
        break;
    }
    case EVENT_SIZE_MAX:
        value = MeasureFront([](const Entry& entry) { return entry.Size(); });
        break;
    case EVENT_INFO_DATA_SIZE_MAX:
        value = MeasureFront(std::move(infoDataSizeMax));
        break;
    case EVENT_INFO_NUM_DROPPED: {
        Lock lock(m_mutex_object);
        if (m_i_capacity == 0) {
            throw implementation_exception(MsgComposer("Requested iID is not implemented; iID = %d.", iInfoCmd));
        }
        value = static_cast<size_t>(m_i_dropped);
        break;
    }
    default:
        throw implementation_exception(MsgComposer("Requested iID is not implemented; iID = %d.", iInfoCmd));
    }
    SetReturnSizeT(pBuffer, piSize, piType, value);
}

}  // namespace GenTL
