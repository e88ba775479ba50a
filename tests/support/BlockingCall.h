// Runs one call on its own thread and tells whether that thread is blocked inside the call, so a
// test can prove a waiter was waiting before it releases it: a lost wake-up then cannot pass.
#pragma once

#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <future>
#include <string>

namespace quarvo_test {

constexpr auto kWatchdog = std::chrono::seconds(20);

template <class T>
class BlockingCall {
public:
    explicit BlockingCall(std::function<T()> call)
        : m_future(std::async(std::launch::async, [this, call = std::move(call)] {
              m_i_tid = static_cast<pid_t>(syscall(SYS_gettid));
              return call();
          })) {}
    BlockingCall(const BlockingCall&) = delete;
    BlockingCall& operator=(const BlockingCall&) = delete;

    // A call that never returns would hang the test run: give up loudly instead.
    ~BlockingCall() {
        if (m_future.valid() && m_future.wait_for(kWatchdog) != std::future_status::ready) {
            std::fprintf(stderr, "a blocking call did not return\n");
            std::abort();
        }
    }

    // True once the kernel reports the thread asleep (as in a futex wait) on three polls in a
    // row; false when the call returned instead or never slept within the watchdog time.
    bool Blocks() {
        const auto give_up = std::chrono::steady_clock::now() + kWatchdog;
        for (int sleeping_polls = 0; std::chrono::steady_clock::now() < give_up;) {
            if (Finished(std::chrono::milliseconds(1))) {
                return false;
            }
            sleeping_polls = Sleeping() ? sleeping_polls + 1 : 0;
            if (sleeping_polls >= 3) {
                return true;
            }
        }
        return false;
    }

    bool Finished(std::chrono::milliseconds wait) {
        return !m_future.valid() || m_future.wait_for(wait) == std::future_status::ready;
    }

    // The call's result once it has returned within the watchdog time.
    T Get() {
        const bool returned = m_future.valid() && m_future.wait_for(kWatchdog) == std::future_status::ready;
        if (!returned) {
            ADD_FAILURE() << "the call did not return";
            std::abort();
        }
        return m_future.get();
    }

private:
    bool Sleeping() const {
        const pid_t tid = m_i_tid.load();
        if (tid == 0) {
            return false;
        }
        std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
        std::string line;
        std::getline(stat, line);
        const size_t name_end = line.rfind(')');
        return name_end != std::string::npos && name_end + 2 < line.size() && line[name_end + 2] == 'S';
    }

    std::atomic<pid_t> m_i_tid{0};
    std::future<T> m_future;
};

}  // namespace quarvo_test
