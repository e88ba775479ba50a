// The events a camera raised and the consumer has not taken yet: a queue of bounded length, so
// that a consumer that never takes them costs the camera no memory. When it is full the oldest
// event makes room and is counted as dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

#include "framegrabber/Quibbon.h"

namespace Quibbon::Sim {

class CameraEvents {
public:
    static constexpr size_t kCapacity = 1024;

    void Raise(const CameraEvent& event);
    // Moves up to capacity of the oldest events into events; returns how many.
    uint64_t Take(CameraEvent* events, uint64_t capacity);
    // The events dropped since the previous call.
    uint64_t TakeDropped();
    bool Pending() const { return !m_events.empty(); }

private:
    std::deque<CameraEvent> m_events;
    uint64_t m_dropped = 0;
};

}  // namespace Quibbon::Sim
