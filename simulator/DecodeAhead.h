// The frames of one video decoded ahead of their use by a thread of their own, a few at a time,
// each made into a camera's payload as soon as it is decoded. Asking for the frame after the last
// one asked for (the usual case) finds it ready; asking for an earlier one starts the video again,
// a later one decodes forward to it. Memory stays bounded whatever the video's length.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "simulator/VideoClip.h"
#include "simulator/VideoReader.h"

namespace Quibbon::Sim {

class DecodeAhead {
public:
    struct Payload {
        uint64_t index = 0;
        std::vector<uint8_t> bytes;  // empty when the frame is lost
        bool whole = false;          // decoded without errors and made into bytes
    };
    // Makes a decoded frame (with pixels) into payload bytes; it may take the frame's pixels.
    // Runs on the decoding thread; an exception loses the frame.
    using MakePayload = std::function<void(VideoFrame& frame, std::vector<uint8_t>& bytes)>;

    // Starts decoding frames 0 to depth - 1 at once.
    DecodeAhead(std::shared_ptr<const VideoClip> clip, VideoLayout layout, MakePayload make, size_t depth);
    ~DecodeAhead();
    DecodeAhead(const DecodeAhead&) = delete;
    DecodeAhead& operator=(const DecodeAhead&) = delete;

    // Frame index of the video (below its frame count), once decoded. A frame that cannot be
    // decoded, or lies beyond the last one the file really holds, comes back lost, not whole.
    // Safe to call from any number of threads.
    std::shared_ptr<const Payload> Get(uint64_t index);

private:
    void Run();
    // Decodes the frame at the reader's position into frame and, when given, payload; false at
    // the end of the file.
    bool DecodeOne(VideoReader& reader, VideoFrame& frame, Payload* payload);
    bool Holds(uint64_t index) const;
    // The index the next ready frame must have.
    uint64_t NextReady() const;
    void DropBefore(uint64_t index);

    const std::shared_ptr<const VideoClip> m_clip;
    const VideoLayout m_layout;
    const MakePayload m_make;
    const size_t m_depth;

    // One Get at a time: grabs of two streams asking for different frames take turns rather than
    // undo each other's request.
    std::mutex m_asking;
    std::mutex m_mutex;
    std::condition_variable m_wanted;   // the thread waits for a frame to be wanted
    std::condition_variable m_decoded;  // Get waits for its frame
    std::deque<std::shared_ptr<Payload>> m_ready;  // decoded frames in index order
    uint64_t m_want = 0;                           // the frame asked for last
    uint64_t m_end = UINT64_MAX;                   // the file ended before this frame
    bool m_broken = false;                         // the file can no longer be read
    bool m_stop = false;
    std::thread m_thread;
};

}  // namespace Quibbon::Sim
