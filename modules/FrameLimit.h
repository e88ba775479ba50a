#pragma once

#include <atomic>
#include <cstdint>

namespace GenTL {

// How many frames an acquisition still delivers: written by start and by the consumer through
// the stream's register 0x34, counted down by the acquisition thread. 0xFFFFFFFF means no limit
// and is never counted down; 0 ends the acquisition.
class CFrameLimit {
public:
    static constexpr uint64_t kNoLimit = 0xFFFFFFFF;

    // A start's request: every count of 0xFFFFFFFF or more means no limit. Returns the old limit.
    uint64_t Start(uint64_t iNumToAcquire) {
        return m_i_remaining.exchange(iNumToAcquire < kNoLimit ? iNumToAcquire : kNoLimit);
    }
    void Set(uint64_t iRemaining) { m_i_remaining = iRemaining; }
    uint64_t Remaining() const { return m_i_remaining.load(); }
    bool Reached() const { return Remaining() == 0; }
    // Counts one delivered frame off in one step, so that a Set meanwhile is never undone.
    void CountDown();

private:
    std::atomic<uint64_t> m_i_remaining{kNoLimit};
};

}  // namespace GenTL
