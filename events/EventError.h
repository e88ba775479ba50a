// EVENT_ERROR: error code and message text per entry.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "events/EventQueue.h"
#include "gentl/GenTL.h"

namespace GenTL {

// Delivered as the 4-byte little-endian code, the message and a zero byte.
class EventErrorEntry {
public:
    EventErrorEntry(GC_ERROR iCode, std::string strMessage);
    virtual ~EventErrorEntry() = default;

    size_t Size() const;
    void ToBuffer(void* pBuffer, size_t* piSize) const;
    const std::string& Message() const { return m_str_message; }

private:
    GC_ERROR m_i_code;
    std::string m_str_message;
};

class CEventError : public CEventQueue<std::shared_ptr<EventErrorEntry>> {
public:
    void GetInfo(EVENT_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) override;
    void GetDataInfo(const void* pInBuffer, size_t iInSize, EVENT_DATA_INFO_CMD iInfoCmd, INFO_DATATYPE* piType,
                     void* pOutBuffer, size_t* piOutSize) override;
};

}  // namespace GenTL
