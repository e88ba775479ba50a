// Helpers shared by the event unit tests.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "events/EventFeatureInvalidate.h"
#include "support/BlockingCall.h"
#include "gentl/Exceptions.h"

namespace GenTL::test {

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

// A registered event of kind E holding the given entry.
template <class E, class Entry>
std::unique_ptr<E> Queued(std::shared_ptr<Entry> entry) {
    auto event = std::make_unique<E>();
    event->EnableEvent();
    event->Push(entry);
    return event;
}

// A size-valued GetInfo answer, which is always a size_t.
inline size_t SizeInfo(CEventObj& event, EVENT_INFO_CMD iInfoCmd) {
    size_t value = 0;
    size_t size = sizeof value;
    INFO_DATATYPE type = 0;
    event.GetInfo(iInfoCmd, &type, &value, &size);
    EXPECT_EQ(INFO_DATATYPE_SIZET, type);
    EXPECT_EQ(8u, size);
    return value;
}

// Takes the front entry without waiting; empty when nothing was delivered.
inline std::string Take(CEventObj& event) {
    std::vector<char> buffer(256);
    size_t size = buffer.size();
    return event.GetData(buffer.data(), &size, 0) == EventData::Delivered ? std::string(buffer.data(), size)
                                                                        : std::string();
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
        : m_event(event), m_call([this, iTimeout] { return Run(iTimeout); }) {}
    AsyncWaiter(const AsyncWaiter&) = delete;
    AsyncWaiter& operator=(const AsyncWaiter&) = delete;

    ~AsyncWaiter() {
        if (m_call.Finished(std::chrono::milliseconds(0))) {
            return;
        }
        try {
            m_event.Kill();
            m_event.Push(Invalidate("release"));
        } catch (const std::exception&) {
        }
    }

    bool Finished(std::chrono::milliseconds wait) { return m_call.Finished(wait); }
    // Whether the thread is blocked inside GetData (see BlockingCall::Blocks).
    bool BlocksInGetData() { return m_call.Blocks(); }
    // The outcome, once GetData has returned within the watchdog time.
    WaitOutcome Outcome() { return m_call.Get(); }

private:
    WaitOutcome Run(uint64_t iTimeout) {
        WaitOutcome outcome;
        std::vector<char> buffer(256);
        size_t size = buffer.size();
        try {
            outcome.b_delivered = m_event.GetData(buffer.data(), &size, iTimeout) == EventData::Delivered;
            outcome.str_data.assign(buffer.data(), outcome.b_delivered ? size : 0);
        } catch (const gentl_exception& e) {
            outcome.i_error = e.GetErrorCode();
            outcome.str_text = e.what();
        }
        return outcome;
    }

    CEventFeatureInvalidate& m_event;
    quarvo_test::BlockingCall<WaitOutcome> m_call;
};

}  // namespace GenTL::test
