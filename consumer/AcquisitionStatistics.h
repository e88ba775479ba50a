// Figures of an acquisition, gathered frame by frame: frame rate and bandwidth over the fill
// times of the frames (the producer's time stamps, else the time of delivery), incomplete
// frames, frames dropped (gaps in the frame IDs) and the time from the end of each fill to its
// delivery.
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
    // Fill-to-delivery time (ns) at that fraction (0..1) of the sorted times; nothing when the
    // producer gave no time stamps.
    std::optional<double> LatencyQuantile(double fraction) const;

private:
    uint64_t m_frames = 0;
    uint64_t m_bytes = 0;
    uint64_t m_incomplete = 0;
    uint64_t m_dropped = 0;
    std::optional<uint64_t> m_lastFrameID;
    uint64_t m_firstTime = 0;
    uint64_t m_lastTime = 0;
    std::vector<int64_t> m_latencies;
};

}  // namespace quarvo
