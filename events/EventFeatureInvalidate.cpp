#include "events/EventFeatureInvalidate.h"

#include <cstring>
#include <utility>

#include "gentl/InfoWriters.h"

namespace GenTL {

EventFeatureInvalidateEntry::EventFeatureInvalidateEntry(std::string strFeatureName)
    : m_str_feature_name(std::move(strFeatureName)) {}

size_t EventFeatureInvalidateEntry::Size() const {
    return m_str_feature_name.size() + 1;
}

void EventFeatureInvalidateEntry::ToBuffer(void* pBuffer, size_t* piSize) const {
    uint8_t* out = PrepareEntryBuffer(pBuffer, piSize, Size(), "Invalid buffer Size");
    std::memcpy(out, m_str_feature_name.data(), m_str_feature_name.size());
}

void CEventFeatureInvalidate::GetInfo(EVENT_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer,
                                      size_t* piSize) {
    AnswerInfo(iInfoCmd, piType, pBuffer, piSize,
               [](const EventFeatureInvalidateEntry& entry) { return entry.FeatureName().size() + 1; });
}

void CEventFeatureInvalidate::GetDataInfo(const void* pInBuffer, size_t iInSize, EVENT_DATA_INFO_CMD iInfoCmd,
                                          INFO_DATATYPE* piType, void* pOutBuffer, size_t* piOutSize) {
    if (iInfoCmd != EVENT_DATA_ID) {
        RejectDataInfoCmd(iInfoCmd);
    }
    // The whole record is the name with its terminator.
    const char* in = CheckInBuffer(pInBuffer, iInSize, 1);
    SetReturnParam(pOutBuffer, piOutSize, piType, INFO_DATATYPE_STRING, in, iInSize);
}

}  // namespace GenTL
