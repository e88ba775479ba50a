#include "simulator/FaultInjector.h"

#include "framegrabber/Quibbon.h"

namespace Quibbon::Sim {

static_assert(kParamFaultFailEvery == 101 && kParamFaultIncompleteEvery == 105, "fault parameters are 101 to 105");

FaultInjector::FaultInjector(const FaultSettings& settings)
    : m_values{settings.failEvery, settings.timeoutEvery, settings.delayMs, settings.dropEvery,
               settings.incompleteEvery} {}

bool FaultInjector::IsFaultParameter(int32_t param) { return param >= kFirst && param < kFirst + kCount; }

bool FaultInjector::Set(int32_t param, int32_t value) {
    if (!IsFaultParameter(param) || value < 0) {
        return false;
    }
    m_values[param - kFirst] = static_cast<uint32_t>(value);
    m_counts[param - kFirst] = 0;
    return true;
}

std::optional<int32_t> FaultInjector::Get(int32_t param) const {
    if (!IsFaultParameter(param)) {
        return std::nullopt;
    }
    return static_cast<int32_t>(m_values[param - kFirst]);
}

bool FaultInjector::Tick(int32_t param) {
    const uint32_t every = m_values[param - kFirst];
    uint32_t& count = m_counts[param - kFirst];
    if (every == 0 || ++count < every) {
        return false;
    }
    count = 0;
    return true;
}

bool FaultInjector::CountGrabCall() { return Tick(kParamFaultTimeoutEvery); }

bool FaultInjector::CountDueFrame() { return Tick(kParamFaultFailEvery); }

FrameFate FaultInjector::CountFrame() {
    const bool dropped = Tick(kParamFaultDropEvery);
    const bool incomplete = Tick(kParamFaultIncompleteEvery);
    return {dropped, incomplete && !dropped};
}

uint32_t FaultInjector::DelayMs() const { return m_values[kParamFaultDelayMs - kFirst]; }

}  // namespace Quibbon::Sim
