#include "simulator/WakeSignal.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <climits>
#include <ctime>

namespace Quibbon::Sim {

namespace {

// std::chrono::steady_clock is CLOCK_MONOTONIC, the clock of FUTEX_WAIT_BITSET's absolute time.
timespec MonotonicTime(WakeSignal::Clock::time_point when) {
    const auto since = when.time_since_epoch();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
    return timespec{static_cast<time_t>(seconds.count()),
                    static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(since - seconds).count())};
}

}  // namespace

void WakeSignal::WaitUntil(std::unique_lock<std::mutex>& lock, Clock::time_point until) { Sleep(lock, &until); }

void WakeSignal::Wait(std::unique_lock<std::mutex>& lock) { Sleep(lock, nullptr); }

void WakeSignal::Sleep(std::unique_lock<std::mutex>& lock, const Clock::time_point* until) {
    // Read under the lock: a notification after the caller's last test of its condition changes
    // the word, and the kernel then refuses to sleep on the old value.
    const uint32_t sequence = m_sequence.load();
    ++m_waiters;
    lock.unlock();
    const timespec deadline = until != nullptr ? MonotonicTime(*until) : timespec{};
    syscall(SYS_futex, &m_sequence, FUTEX_WAIT_BITSET_PRIVATE, sequence, until != nullptr ? &deadline : nullptr,
            nullptr, FUTEX_BITSET_MATCH_ANY);
    --m_waiters;
    lock.lock();
}

void WakeSignal::NotifyAll() {
    ++m_sequence;
    // A waiter this reading misses has either read the new sequence, and so tested its
    // condition after the change it waits for, or read the old one, on which the kernel refuses
    // to let it sleep.
    if (m_waiters.load() != 0) {
        syscall(SYS_futex, &m_sequence, FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
    }
}

}  // namespace Quibbon::Sim
