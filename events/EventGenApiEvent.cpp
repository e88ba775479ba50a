#include "events/EventGenApiEvent.h"

#include <algorithm>
#include <cstring>

#include "gentl/Exceptions.h"
#include "gentl/InfoWriters.h"

namespace GenTL {

namespace {

constexpr size_t kIdDigits = 4;

std::string FormatEventId(int64_t iEventId) {
    std::string text = std::to_string(iEventId);
    if (iEventId >= 0 && text.size() < kIdDigits) {
        text.insert(0, kIdDigits - text.size(), '0');
    }
    return text;
}

std::shared_ptr<const std::vector<uint8_t>> CopyData(const void* pData, uint64_t iDataSize) {
    if (pData == nullptr && iDataSize != 0) {
        throw invalid_parameter_exception("Invalid event data");
    }
    const auto* bytes = static_cast<const uint8_t*>(pData);
    return std::make_shared<std::vector<uint8_t>>(bytes, bytes + iDataSize);
}

}  // namespace

EventGenApiEventEntry::EventGenApiEventEntry(int64_t iEventId, const void* pData, uint64_t iDataSize)
    : m_str_event_id(FormatEventId(iEventId)), m_p_data(CopyData(pData, iDataSize)) {}

size_t EventGenApiEventEntry::Size() const {
    return m_str_event_id.size() + 1 + m_p_data->size();
}

void EventGenApiEventEntry::ToBuffer(void* pBuffer, size_t* piSize) const {
    uint8_t* out = PrepareEntryBuffer(pBuffer, piSize, Size(), "Invalid buffer optiona_data_size");
    std::memcpy(out, m_str_event_id.data(), m_str_event_id.size());
    std::copy(m_p_data->begin(), m_p_data->end(), out + m_str_event_id.size() + 1);
}

void CEventGenApiEvent::GetInfo(EVENT_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) {
    AnswerInfo(iInfoCmd, piType, pBuffer, piSize, [](const EventGenApiEventEntry& entry) {
        return std::max(entry.EventIdText().size() + 1, entry.DataSize());
    });
}

void CEventGenApiEvent::GetDataInfo(const void* pInBuffer, size_t iInSize, EVENT_DATA_INFO_CMD iInfoCmd,
                                    INFO_DATATYPE* piType, void* pOutBuffer, size_t* piOutSize) {
    ClearOutBuffer(pOutBuffer, piOutSize);
    if (iInfoCmd != EVENT_DATA_ID && iInfoCmd != EVENT_DATA_VALUE) {
        RejectDataInfoCmd(iInfoCmd);
    }
    const char* in = CheckInBuffer(pInBuffer, iInSize, 1);
    const size_t id_end = FindTerminator(in, iInSize, 0);
    if (iInfoCmd == EVENT_DATA_ID) {
        SetReturnParam(pOutBuffer, piOutSize, piType, std::string(in, id_end));
    } else {
        SetReturnParam(pOutBuffer, piOutSize, piType, INFO_DATATYPE_BUFFER, in + id_end + 1, iInSize - id_end - 1);
    }
}

}  // namespace GenTL
