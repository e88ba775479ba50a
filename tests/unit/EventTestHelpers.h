// Helpers shared by the event unit tests.
#pragma once

#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "events/EventFeatureInvalidate.h"
#include "gentl/Exceptions.h"

namespace GenTL::test {

constexpr auto kWatchdog = std::chrono::seconds(10);

// Runs f and checks that it raises a gentl_exception with this code and text.
template <class F>
void ExpectGentlError(F&& f, int iCode, const std::string& strText) {
    try {
        f();
        ADD_FAILURE() << "no exception, expected " << iCode << " \"" << strText << "\"";
    } catch (const gentl_exception& e) {
        EXPECT_EQ(iCode, e.GetErrorCode());
        EXPECT_EQ(strText, e.what());
    }
}

inline std::shared_ptr<EventFeatureInvalidateEntry> Invalidate(const std::string& strName) {
    return std::make_shared<EventFeatureInvalidateEntry>(strName);
}

// What one GetData call on another thread ended with.
struct WaitOutcome {
    bool b_delivered = false;
    int i_error = 0;  // code of a raised gentl_exception, 0 when none was raised
    std::string str_text;
    std::string str_data;
};

// Calls GetData on its own thread. The destructor never hangs: a waiter still blocked is
// killed and fed an entry, and the process aborts if even that does not release it.
class AsyncWaiter {
public:
    AsyncWaiter(CEventFeatureInvalidate& event, uint64_t iTimeout)
        : m_event(event), m_future(std::async(std::launch::async, [this, iTimeout] { return Run(iTimeout); })) {}

    ~AsyncWaiter() {
        if (Finished(std::chrono::seconds(0))) {
            return;
        }
        try {
            m_event.Kill();
            m_event.Push(Invalidate("release"));
        } catch (const std::exception&) {
        }
        if (!Finished(kWatchdog)) {
            std::fprintf(stderr, "GetData waiter could not be released\n");
            std::abort();
        }
    }
    AsyncWaiter(const AsyncWaiter&) = delete;
    AsyncWaiter& operator=(const AsyncWaiter&) = delete;

    // True once GetData has returned (also after its outcome was taken).
    bool Finished(std::chrono::milliseconds wait) {
        return !m_future.valid() || m_future.wait_for(wait) == std::future_status::ready;
    }

    // Waits (watchdog-bounded) until the thread sleeps inside GetData. False when GetData
    // returned instead, or the thread never went to sleep.
    bool BlocksInGetData() {
        const auto give_up = std::chrono::steady_clock::now() + kWatchdog;
        int sleeping_polls = 0;
        while (std::chrono::steady_clock::now() < give_up) {
            if (Finished(std::chrono::milliseconds(1))) {
                return false;
            }
            sleeping_polls = IsSleeping() ? sleeping_polls + 1 : 0;
            if (sleeping_polls >= 3) {
                return true;
            }
        }
        return false;
    }

    // The outcome, once GetData has returned within the watchdog time.
    WaitOutcome Outcome() {
        const bool returned = m_future.valid() && m_future.wait_for(kWatchdog) == std::future_status::ready;
        EXPECT_TRUE(returned) << "GetData did not return";
        return returned ? m_future.get() : WaitOutcome{};
    }

private:
    WaitOutcome Run(uint64_t iTimeout) {
        m_i_tid = static_cast<pid_t>(syscall(SYS_gettid));
        WaitOutcome outcome;
        std::vector<char> buffer(256);
        size_t size = buffer.size();
        try {
            outcome.b_delivered = m_event.GetData(buffer.data(), &size, iTimeout);
            if (outcome.b_delivered) {
                outcome.str_data.assign(buffer.data(), size);
            }
        } catch (const gentl_exception& e) {
            outcome.i_error = e.GetErrorCode();
            outcome.str_text = e.what();
        } catch (const std::exception& e) {
            outcome.i_error = -1;
            outcome.str_text = e.what();
        }
        return outcome;
    }

    // The kernel reports the thread as sleeping ('S'), as it does for a thread blocked on a futex.
    bool IsSleeping() const {
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

    CEventFeatureInvalidate& m_event;
    std::atomic<pid_t> m_i_tid{0};
    std::future<WaitOutcome> m_future;
};

}  // namespace GenTL::test
