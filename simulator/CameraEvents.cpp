#include "simulator/CameraEvents.h"

#include <algorithm>

namespace Quibbon::Sim {

void CameraEvents::Raise(const CameraEvent& event) {
    if (m_events.size() == kCapacity) {
        m_events.pop_front();
        ++m_dropped;
    }
    m_events.push_back(event);
}

uint64_t CameraEvents::Take(CameraEvent* events, uint64_t capacity) {
    const uint64_t count = std::min<uint64_t>(capacity, m_events.size());
    std::copy_n(m_events.begin(), count, events);
    m_events.erase(m_events.begin(), m_events.begin() + static_cast<std::ptrdiff_t>(count));
    return count;
}

uint64_t CameraEvents::TakeDropped() {
    const uint64_t dropped = m_dropped;
    m_dropped = 0;
    return dropped;
}

}  // namespace Quibbon::Sim
