// Waits bounded by a consumer's time-out: milliseconds, with GENTL_INFINITE (and any time-out
// beyond the clock's range, which no caller could tell from it) waiting without limit.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "gentl/GenTL.h"

namespace GenTL {

using Deadline = std::optional<std::chrono::steady_clock::time_point>;

// The deadline iTimeout milliseconds from now; none for a wait without limit.
inline Deadline DeadlineAfter(uint64_t iTimeout) {
    using namespace std::chrono;
    if (iTimeout == GENTL_INFINITE) {
        return std::nullopt;
    }
    const auto now = steady_clock::now();
    const auto room = duration_cast<milliseconds>(steady_clock::time_point::max() - now);
    if (iTimeout >= static_cast<uint64_t>(room.count())) {
        return std::nullopt;
    }
    return now + milliseconds(static_cast<milliseconds::rep>(iTimeout));
}

// Waits on the condition (lock held on entry and exit) until done() holds or the time-out
// passes; false when it passed.
template <class Condition, class Lock, class Done>
bool WaitWithTimeout(Condition& condition, Lock& lock, uint64_t iTimeout, Done done) {
    const Deadline deadline = DeadlineAfter(iTimeout);
    if (!deadline) {
        condition.wait(lock, done);
        return true;
    }
    return condition.wait_until(lock, *deadline, done);
}

}  // namespace GenTL
