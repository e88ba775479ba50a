// A condition variable over one futex word, for the waits of a paced grab, which usually end at
// their time rather than by a notification.
//
// After any wait, std::condition_variable hands the mutex back marked as contended, so the next
// unlock makes a futex wake call even when no thread waits for the mutex: one system call per
// paced frame for nothing. This signal takes the mutex back with an ordinary lock.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>

namespace Quibbon::Sim {

class WakeSignal {
public:
    using Clock = std::chrono::steady_clock;

    WakeSignal() = default;
    WakeSignal(const WakeSignal&) = delete;
    WakeSignal& operator=(const WakeSignal&) = delete;

    // Releases lock, sleeps until a NotifyAll after the call began or until `until`, and locks
    // it again. It may also return early for no reason: callers test their condition in a loop.
    void WaitUntil(std::unique_lock<std::mutex>& lock, Clock::time_point until);
    // The same without a time limit.
    void Wait(std::unique_lock<std::mutex>& lock);
    // Wakes every thread waiting now. Callers change what the waiters test under the mutex
    // first; the call itself needs no lock.
    void NotifyAll();

private:
    void Sleep(std::unique_lock<std::mutex>& lock, const Clock::time_point* until);

    std::atomic<uint32_t> m_sequence{0};  // changes with every notification
    std::atomic<uint32_t> m_waiters{0};
};

}  // namespace Quibbon::Sim
