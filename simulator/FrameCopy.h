// How frames are written into the consumer's buffers. A large frame is written with non-temporal
// (streaming) stores: it goes straight to memory without first reading every destination line into
// the caches, which nearly doubles the memory traffic of an ordinary copy, and without pushing the
// rest of the process out of them. Small frames stay with ordinary copies: their buffers are likely
// still cached, and the consumer reads them from there.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Quibbon::Sim {

// Frames of at least this many bytes are streamed.
constexpr uint64_t kStreamingFrameBytes = 1024 * 1024;

// Copies bytes like memcpy, either as an ordinary copy or with streaming stores.
class FrameWriter {
public:
    explicit FrameWriter(uint64_t frameBytes) : m_streaming(frameBytes >= kStreamingFrameBytes) {}
    FrameWriter(const FrameWriter&) = delete;
    FrameWriter& operator=(const FrameWriter&) = delete;
    // Makes the streamed bytes visible to other threads in order with later stores.
    ~FrameWriter();

    void Copy(uint8_t* destination, const uint8_t* source, size_t bytes) const;
    bool Streaming() const { return m_streaming; }

private:
    const bool m_streaming;
};

// memcpy with streaming stores for the aligned middle of the destination; the caller fences.
void StreamingCopy(uint8_t* destination, const uint8_t* source, size_t bytes);

}  // namespace Quibbon::Sim
