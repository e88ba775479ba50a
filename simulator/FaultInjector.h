// The fault settings of one camera and their counts. Each "every N" fault counts its own events
// from the moment its setting was last written (or the camera was made) and strikes on the Nth,
// 2Nth, ... of them. Not locked: the camera uses it under its own lock.
#pragma once

#include <cstdint>
#include <optional>

namespace Quibbon::Sim {

struct FaultSettings {
    uint32_t failEvery = 0;
    uint32_t timeoutEvery = 0;
    uint32_t delayMs = 0;
    uint32_t dropEvery = 0;
    uint32_t incompleteEvery = 0;
};

// What happens to a frame that was not failed.
struct FrameFate {
    bool dropped;
    bool incomplete;
};

class FaultInjector {
public:
    explicit FaultInjector(const FaultSettings& settings);

    static bool IsFaultParameter(int32_t param);
    // Stores a fault parameter and restarts its count; false (nothing changes) for a negative
    // value or another parameter.
    bool Set(int32_t param, int32_t value);
    std::optional<int32_t> Get(int32_t param) const;

    // Counts a grab call; true when it is to wait out its time-out.
    bool CountGrabCall();
    // Counts a frame coming due for a grab; true when the grab is to fail instead.
    bool CountDueFrame();
    // Counts a frame that was not failed (it is dropped or delivered).
    FrameFate CountFrame();

    uint32_t DelayMs() const;

private:
    static constexpr int32_t kFirst = 101;  // kParamFaultFailEvery
    static constexpr int kCount = 5;

    // Advances the count of an "every N" fault; true on its Nth event.
    bool Tick(int32_t param);

    uint32_t m_values[kCount];        // by parameter number - kFirst
    uint32_t m_counts[kCount] = {};   // events since the value was written
};

}  // namespace Quibbon::Sim
