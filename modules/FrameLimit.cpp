#include "modules/FrameLimit.h"

namespace GenTL {

void CFrameLimit::CountDown() {
    uint64_t remaining = m_i_remaining.load();
    while (remaining != kNoLimit && remaining != 0 && !m_i_remaining.compare_exchange_weak(remaining, remaining - 1)) {
    }
}

}  // namespace GenTL
