#include "events/EventFeatureChange.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "gentl/InfoWriters.h"

namespace GenTL {

EventFeatureChangeEntry::EventFeatureChangeEntry(std::string strFeatureName, std::string strValue)
    : m_str_feature_name(std::move(strFeatureName)), m_str_value(std::move(strValue)) {}

size_t EventFeatureChangeEntry::Size() const {
    return m_str_feature_name.size() + 1 + m_str_value.size() + 1;
}

void EventFeatureChangeEntry::ToBuffer(void* pBuffer, size_t* piSize) const {
    uint8_t* out = PrepareEntryBuffer(pBuffer, piSize, Size(), "Invalid buffer Size");
    std::memcpy(out, m_str_feature_name.data(), m_str_feature_name.size());
    std::memcpy(out + m_str_feature_name.size() + 1, m_str_value.data(), m_str_value.size());
}

void CEventFeatureChange::GetInfo(EVENT_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) {
    AnswerInfo(iInfoCmd, piType, pBuffer, piSize, [](const EventFeatureChangeEntry& entry) {
        return std::max(entry.FeatureName().size(), entry.Value().size()) + 1;
    });
}

void CEventFeatureChange::GetDataInfo(const void* pInBuffer, size_t iInSize, EVENT_DATA_INFO_CMD iInfoCmd,
                                      INFO_DATATYPE* piType, void* pOutBuffer, size_t* piOutSize) {
    ClearOutBuffer(pOutBuffer, piOutSize);
    if (iInfoCmd != EVENT_DATA_ID && iInfoCmd != EVENT_DATA_VALUE) {
        RejectDataInfoCmd(iInfoCmd);
    }
    const char* in = CheckInBuffer(pInBuffer, iInSize, 1);
    const size_t name_end = FindTerminator(in, iInSize, 0);
    if (iInfoCmd == EVENT_DATA_ID) {
        SetReturnParam(pOutBuffer, piOutSize, piType, std::string(in, name_end));
    } else {
        const size_t value_end = FindTerminator(in, iInSize, name_end + 1);
        SetReturnParam(pOutBuffer, piOutSize, piType, std::string(in + name_end + 1, value_end - name_end - 1));
    }
}

}  // namespace GenTL
