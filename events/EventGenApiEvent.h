// EVENT_REMOTE_DEVICE and EVENT_MODULE: a GenApi event ID with its data bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "events/EventQueue.h"
#include "gentl/GenTL.h"

namespace GenTL {

// Delivered as the event ID text, a zero byte and the data bytes. The ID text is the decimal ID,
// zero-padded to four characters when it is shorter and not negative (42 gives "0042").
class EventGenApiEventEntry {
public:
    // Copies iDataSize bytes from pData; the caller may reuse its buffer at once.
    EventGenApiEventEntry(int64_t iEventId, const void* pData, uint64_t iDataSize);
    virtual ~EventGenApiEventEntry() = default;

    size_t Size() const;
    void ToBuffer(void* pBuffer, size_t* piSize) const;
    const std::string& EventIdText() const { return m_str_event_id; }
    size_t DataSize() const { return m_p_data->size(); }

private:
    std::string m_str_event_id;
    std::shared_ptr<const std::vector<uint8_t>> m_p_data;
};

class CEventGenApiEvent : public CEventQueue<std::shared_ptr<EventGenApiEventEntry>> {
public:
    void GetInfo(EVENT_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) override;
    void GetDataInfo(const void* pInBuffer, size_t iInSize, EVENT_DATA_INFO_CMD iInfoCmd, INFO_DATATYPE* piType,
                     void* pOutBuffer, size_t* piOutSize) override;
};

}  // namespace GenTL
