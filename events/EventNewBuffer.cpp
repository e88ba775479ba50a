#include "events/EventNewBuffer.h"

#include <cstring>

#include "gentl/Exceptions.h"
#include "gentl/InfoWriters.h"
#include "gentl/MsgComposer.h"
#include "modules/DataStream.h"

namespace GenTL {

namespace {

constexpr size_t kRecordSize = sizeof(EVENT_NEW_BUFFER_DATA);
constexpr size_t kInfoDataSizeMax = 8;
const char* const kDisabled = "Event feature has been disabled.";

[[noreturn]] void RejectInfoCmd(int32_t iInfoCmd) {
    throw implementation_exception(
        MsgComposer("Requested i_info_cmd is not implemented; i_info_cmd = %d.", iInfoCmd));
}

}  // namespace

CEventNewBuffer::CEventNewBuffer(std::weak_ptr<CDataStream> wpStream) : m_wp_stream(std::move(wpStream)) {}

std::shared_ptr<CDataStream> CEventNewBuffer::Stream() const {
    if (!IsRegistered()) {
        throw invalid_handle_exception(kDisabled);
    }
    std::shared_ptr<CDataStream> stream = m_wp_stream.lock();
    if (!stream) {
        throw invalid_handle_exception("The data stream of the event has been closed.");
    }
    return stream;
}

void CEventNewBuffer::EnableEvent() {
    if (!ChangeRegistration(false, true)) {
        throw resource_in_use_exception("Event already registered");
    }
}

void CEventNewBuffer::DisableEvent() {
    if (!ChangeRegistration(true, false)) {
        throw invalid_handle_exception(kDisabled);
    }
}

EventData CEventNewBuffer::GetData(void* pBuffer, size_t* piSize, uint64_t iTimeout) {
    const std::shared_ptr<CDataStream> stream = Stream();
    if (*piSize < kRecordSize) {
        throw buffer_too_small_exception(MsgComposer("Prepared buffer is too small. Required: %d. Prepared: %d.",
                                                     static_cast<int>(kRecordSize), static_cast<int>(*piSize)));
    }
    return stream->GetFilledBuffer(pBuffer, piSize, iTimeout, *this);
}

void CEventNewBuffer::GetInfo(EVENT_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) {
    const std::shared_ptr<CDataStream> stream = Stream();
    size_t value = 0;
    switch (iInfoCmd) {
        case EVENT_NUM_IN_QUEUE:
            stream->DSGetInfo(STREAM_INFO_NUM_AWAIT_DELIVERY, piType, pBuffer, piSize);
            return;
        case EVENT_SIZE_MAX: value = kRecordSize; break;
        case EVENT_INFO_DATA_SIZE_MAX: value = kInfoDataSizeMax; break;
        default: RejectInfoCmd(iInfoCmd);
    }
    SetReturnSizeT(pBuffer, piSize, piType, value);
}

void CEventNewBuffer::GetDataInfo(const void* pInBuffer, size_t iInSize, EVENT_DATA_INFO_CMD iInfoCmd,
                                  INFO_DATATYPE* piType, void* pOutBuffer, size_t* piOutSize) {
    Stream();
    if (iInfoCmd != EVENT_DATA_ID && iInfoCmd != EVENT_DATA_VALUE && iInfoCmd != EVENT_DATA_NUMID) {
        RejectInfoCmd(iInfoCmd);
    }
    EVENT_NEW_BUFFER_DATA record{};
    std::memcpy(&record, CheckInBuffer(pInBuffer, iInSize, kRecordSize), kRecordSize);
    if (iInfoCmd == EVENT_DATA_NUMID) {
        const uint64_t number = reinterpret_cast<uintptr_t>(record.BufferHandle);
        SetReturnParam(pOutBuffer, piOutSize, piType, INFO_DATATYPE_UINT64, &number, sizeof number);
        return;
    }
    const void* pointer = iInfoCmd == EVENT_DATA_ID ? record.BufferHandle : record.pUserPointer;
    SetReturnPointer(pOutBuffer, piOutSize, piType, pointer);
}

void CEventNewBuffer::Flush() { Stream()->DSFlushQueue(ACQ_QUEUE_OUTPUT_DISCARD); }

void CEventNewBuffer::Kill() { Stream()->KillWaitForNewBuffer(); }

void CEventNewBuffer::Abort() noexcept {
    if (const std::shared_ptr<CDataStream> stream = m_wp_stream.lock()) {
        stream->WakeWaitersForNewBuffer();
    }
}

uint32_t CEventNewBuffer::GetPayloadSize() { return Stream()->GetPayloadSize(); }

}  // namespace GenTL
