#include "tools/RateMeter.h"

namespace quarvo::tool {

bool RateMeter::Sample(uint64_t count, Clock::time_point now) {
    if (!m_start) {
        m_start = now;
        m_startCount = count;
        return false;
    }
    const auto elapsed = now - *m_start;
    if (elapsed < m_stretch) {
        return false;
    }
    m_rate = static_cast<double>(count - m_startCount) / std::chrono::duration<double>(elapsed).count();
    m_start = now;
    m_startCount = count;
    return true;
}

}  // namespace quarvo::tool
