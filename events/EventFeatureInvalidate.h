// EVENT_FEATURE_INVALIDATE: the name of a feature whose cached value is stale.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "events/EventQueue.h"
#include "gentl/GenTL.h"

namespace GenTL {

// Delivered as the feature name and a zero byte.
class EventFeatureInvalidateEntry {
public:
    explicit EventFeatureInvalidateEntry(std::string strFeatureName);
    virtual ~EventFeatureInvalidateEntry() = default;

    size_t Size() const;
    void ToBuffer(void* pBuffer, size_t* piSize) const;
    const std::string& FeatureName() const { return m_str_feature_name; }

private:
    std::string m_str_feature_name;
};

class CEventFeatureInvalidate : public CEventQueue<std::shared_ptr<EventFeatureInvalidateEntry>> {
public:
    void GetInfo(EVENT_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) override;
    void GetDataInfo(const void* pInBuffer, size_t iInSize, EVENT_DATA_INFO_CMD iInfoCmd, INFO_DATATYPE* piType,
                     void* pOutBuffer, size_t* piOutSize) override;
};

}  // namespace GenTL
