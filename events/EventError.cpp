#include "events/EventError.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#include "gentl/InfoWriters.h"

namespace GenTL {

namespace {

constexpr size_t kCodeSize = 4;

}  // namespace

EventErrorEntry::EventErrorEntry(GC_ERROR iCode, std::string strMessage)
    : m_i_code(iCode), m_str_message(std::move(strMessage)) {}

size_t EventErrorEntry::Size() const {
    return kCodeSize + m_str_message.size() + 1;
}

void EventErrorEntry::ToBuffer(void* pBuffer, size_t* piSize) const {
    uint8_t* out = PrepareEntryBuffer(pBuffer, piSize, Size(), "Invalid buffer Size");
    const auto code = static_cast<uint32_t>(m_i_code);
    for (size_t i = 0; i < kCodeSize; ++i) {
        out[i] = static_cast<uint8_t>(code >> (8 * i));
    }
    std::memcpy(out + kCodeSize, m_str_message.data(), m_str_message.size());
}

void CEventError::GetInfo(EVENT_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) {
    AnswerInfo(iInfoCmd, piType, pBuffer, piSize, [](const EventErrorEntry& entry) {
        return std::max(kCodeSize, entry.Message().size() + 1);
    });
}

void CEventError::GetDataInfo(const void* pInBuffer, size_t iInSize, EVENT_DATA_INFO_CMD iInfoCmd,
                              INFO_DATATYPE* piType, void* pOutBuffer, size_t* piOutSize) {
    if (iInfoCmd != EVENT_DATA_ID && iInfoCmd != EVENT_DATA_VALUE) {
        RejectDataInfoCmd(iInfoCmd);
    }
    const auto* in = reinterpret_cast<const uint8_t*>(CheckInBuffer(pInBuffer, iInSize, kCodeSize));
    if (iInfoCmd == EVENT_DATA_ID) {
        uint32_t code = 0;
        for (size_t i = 0; i < kCodeSize; ++i) {
            code |= static_cast<uint32_t>(in[i]) << (8 * i);
        }
        SetReturnParam(pOutBuffer, piOutSize, piType, static_cast<int>(code));
    } else {
        SetReturnParam(pOutBuffer, piOutSize, piType, INFO_DATATYPE_STRING, in + kCodeSize, iInSize - kCodeSize);
    }
}

}  // namespace GenTL
