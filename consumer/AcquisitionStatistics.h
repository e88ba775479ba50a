// Figures of an acquisition, gathered frame by frame: frame rate and bandwidth over the fill
// times of the frames (the producer's time stamps, else the time of delivery), incomplete
// frames, frames dropped (gaps in the frame IDs) and the time from the end of each fill to its
// delivery. That time needs stamps from the host's real-time clock: the first stamp tells
// whether they are, and stamps of a clock of the producer's own (a camera's, counting from its
// start) give no fill-to-delivery times.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "consumer/DeliveredBuffer.h"

namespace quarvo {

class AcquisitionStatistics {
public:
    void Add(const DeliveredBuffer& buffer);

    uint64_t Frames() const { return m_frames; }
    uint64_t Bytes() const { return m_bytes; }
    uint64_t Incomplete() const { return m_incomplete; }
    uint64_t Dropped() const { return m_dropped; }
    // Seconds from the first frame to the last.
    double Span() const;
    // Frames per second and bytes per second between the first frame and the last; nothing with
    // fewer than two frames or no time between them.
    std::optional<double> FrameRate() const;
    std::optional<double> BytesPerSecond() const;
    // Delivery time minus stamp of the first stamped frame (ns); nothing when the producer gave
    // no time stamps.
    std::optional<int64_t> FirstStampOffset() const { return m_firstStampOffset; }
    // Whether the stamps come from the host's real-time clock: the first lies within a second
    // before or after its delivery.
    bool StampsFromHostClock() const;
    // Fill-to-delivery time (ns) at that fraction (0..1) of the sorted times; nothing when the
    // producer gave no time stamps or stamps with its own clock.
    std::optional<double> LatencyQuantile(double fraction) const;

private:
    uint64_t m_frames = 0;
    uint64_t m_bytes = 0;
    uint64_t m_incomplete = 0;
    uint64_t m_dropped = 0;
    std::optional<uint64_t> m_lastFrameID;
    uint64_t m_firstTime = 0;
    uint64_t m_lastTime = 0;
    std::optional<int64_t> m_firstStampOffset;
    std::vector<int64_t> m_latencies;
};

}  // namespace quarvo
