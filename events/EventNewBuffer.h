// EVENT_NEW_BUFFER: the filled buffers of a data stream. The event keeps no queue of its own: the
// stream's output queue is its queue, and every operation is the stream's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "events/EventObj.h"
#include "gentl/GenTL.h"

namespace GenTL {

class CDataStream;

class CEventNewBuffer : public CEventObj {
public:
    // The stream is not owned: an operation on an event whose stream is gone fails.
    explicit CEventNewBuffer(std::weak_ptr<CDataStream> wpStream);

    // Hands out the oldest filled buffer as a 16-byte EVENT_NEW_BUFFER_DATA record; with pBuffer
    // null reports the size of one and leaves the buffer queued. *piSize must hold 16 bytes.
    EventData GetData(void* pBuffer, size_t* piSize, uint64_t iTimeout) override;
    void GetInfo(EVENT_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) override;
    void GetDataInfo(const void* pInBuffer, size_t iInSize, EVENT_DATA_INFO_CMD iInfoCmd, INFO_DATATYPE* piType,
                     void* pOutBuffer, size_t* piOutSize) override;
    // Discards every buffer waiting in the stream's output queue.
    void Flush() override;
    // Wakes every consumer waiting for a buffer; each of them fails with abort_exception.
    void Kill() override;
    void Abort() noexcept override;

    virtual void EnableEvent();
    virtual void DisableEvent();
    // The payload size the camera reports now.
    virtual uint32_t GetPayloadSize();

private:
    // The stream, which must still exist, after the enabled check.
    std::shared_ptr<CDataStream> Stream() const;

    std::weak_ptr<CDataStream> m_wp_stream;
};

}  // namespace GenTL
