// EVENT_FEATURE_CHANGE: a feature name and its new value as text.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "events/EventQueue.h"
#include "gentl/GenTL.h"

namespace GenTL {

// Delivered as the feature name, a zero byte, the value text and a zero byte.
class EventFeatureChangeEntry {
public:
    EventFeatureChangeEntry(std::string strFeatureName, std::string strValue);
    virtual ~EventFeatureChangeEntry() = default;

    size_t Size() const;
    void ToBuffer(void* pBuffer, size_t* piSize) const;
    const std::string& FeatureName() const { return m_str_feature_name; }
    const std::string& Value() const { return m_str_value; }

private:
    std::string m_str_feature_name;
    std::string m_str_value;
};

class CEventFeatureChange : public CEventQueue<std::shared_ptr<EventFeatureChangeEntry>> {
public:
    void GetInfo(EVENT_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) override;
    void GetDataInfo(const void* pInBuffer, size_t iInSize, EVENT_DATA_INFO_CMD iInfoCmd, INFO_DATATYPE* piType,
                     void* pOutBuffer, size_t* piOutSize) override;
};

}  // namespace GenTL
