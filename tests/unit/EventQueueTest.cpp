// Queue mechanics shared by the queued event kinds: registration, delivery, waiting and kill.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "EventTestHelpers.h"
#include "events/EventFeatureInvalidate.h"
#include "gentl/GenTL.h"
#include "events/EventRegistration.h"
#include "gentl/controller/HandleRegistry.h"

namespace GenTL::test {
namespace {

const std::string kNotRegistered = "Inquired event has not been registered.";

size_t NumInQueue(CEventObj& event) { return SizeInfo(event, EVENT_NUM_IN_QUEUE); }

class EventQueueTest : public ::testing::Test {
protected:
    void SetUp() override { m_event.EnableEvent(); }
    CEventFeatureInvalidate m_event;
};

// Gives access to the signal, to wake waiters without an entry as a spurious wake-up would.
class NudgeableEvent : public CEventFeatureInvalidate {
public:
    void WakeWithoutEntry() { m_cv_signal.notify_all(); }
};

TEST(EventRegistrationTest, ToggleAndRefusals) {
    CEventFeatureInvalidate event;
    EXPECT_FALSE(event.IsRegistered());
    ExpectGentlError([&] { event.DisableEvent(); }, -1002, "Event not yet registered");
    size_t size = 8;
    char buffer[8];
    ExpectGentlError([&] { event.GetData(buffer, &size, 0); }, -1006, kNotRegistered);
    ExpectGentlError([&] { event.Flush(); }, -1006, kNotRegistered);
    ExpectGentlError([&] { event.Kill(); }, -1006, kNotRegistered);

    event.EnableEvent();
    EXPECT_TRUE(event.IsRegistered());
    ExpectGentlError([&] { event.EnableEvent(); }, -1004, "Event already registered");
    event.DisableEvent();
    EXPECT_FALSE(event.IsRegistered());
}

// An event's handle is listed exactly while it is registered; a lookup shares ownership, so the
// event outlives its module while a call still uses it.
TEST(EventRegistrationTest, HandleIsListedWhileRegisteredAndLookupsShareOwnership) {
    auto event = std::make_shared<CEventFeatureInvalidate>();
    EVENT_HANDLE handle = nullptr;
    RegisterEvent(event, &handle);
    EXPECT_EQ(event.get(), CHandleRegistry::Instance().FindEvent(handle).get());
    EXPECT_FALSE(CHandleRegistry::Instance().FindModule(handle));
    UnregisterEvent(event);
    EXPECT_FALSE(CHandleRegistry::Instance().FindEvent(handle));

    RegisterEvent(event, &handle);
    std::shared_ptr<CEventObj> held = CHandleRegistry::Instance().FindEvent(handle);
    event.reset();
    EXPECT_TRUE(held->IsRegistered());
    held.reset();
    EXPECT_FALSE(CHandleRegistry::Instance().FindEvent(handle));
}

// Closing the module wakes a waiter for good: the event cannot be registered or waited on again.
TEST(EventRegistrationTest, ShutdownReleasesWaitersAndEndsRegistration) {
    auto event = std::make_shared<CEventFeatureInvalidate>();
    EVENT_HANDLE handle = nullptr;
    RegisterEvent(event, &handle);
    AsyncWaiter waiter(*event, GENTL_INFINITE);
    ASSERT_TRUE(waiter.BlocksInGetData());
    ShutdownEvent(*event);
    EXPECT_EQ(-1012, waiter.Outcome().i_error);
    EXPECT_FALSE(CHandleRegistry::Instance().FindEvent(handle));
    ExpectGentlError([&] { event->EnableEvent(); }, -1006, "The module of the event has been closed.");
}

// Unregistering keeps what is queued; what is pushed while unregistered is dropped.
TEST_F(EventQueueTest, EntriesSurviveUnregisterButPushesWhileUnregisteredAreDropped) {
    m_event.Push(Invalidate("Kept"));
    m_event.DisableEvent();
    m_event.Push(Invalidate("Lost"));
    m_event.EnableEvent();
    EXPECT_EQ(1u, NumInQueue(m_event));
    EXPECT_EQ(std::string("Kept\0", 5), Take(m_event));
}

TEST_F(EventQueueTest, DeliversInPushOrderAndFlushEmptiesTheQueue) {
    m_event.Push(Invalidate("First"));
    m_event.Push(Invalidate("Second"));
    EXPECT_EQ(2u, NumInQueue(m_event));
    EXPECT_EQ(std::string("First\0", 6), Take(m_event));
    EXPECT_EQ(std::string("Second\0", 7), Take(m_event));
    EXPECT_EQ(0u, NumInQueue(m_event));
    for (const char* name : {"A", "B", "C"}) {
        m_event.Push(Invalidate(name));
    }
    m_event.Flush();
    EXPECT_EQ(0u, NumInQueue(m_event));
    EXPECT_EQ("", Take(m_event));
}

// Neither a size query nor a refused buffer takes the entry.
TEST_F(EventQueueTest, SizeQueryAndRefusedBuffersKeepTheEntry) {
    m_event.Push(Invalidate("Gain"));
    size_t size = 0;
    EXPECT_EQ(EventData::SizeReported, m_event.GetData(nullptr, &size, 0));
    EXPECT_EQ(5u, size);

    char buffer[8] = {};
    size = 4;
    ExpectGentlError([&] { m_event.GetData(buffer, &size, 0); }, -1016,
                     "Prepared buffer is too small. Required: 5. Prepared: 4.");
    size = 8;
    EXPECT_EQ(EventData::SizeReported, m_event.GetData(nullptr, &size, 0));
    EXPECT_EQ(5u, size);
    EXPECT_EQ(1u, NumInQueue(m_event));

    size = 8;
    EXPECT_EQ(EventData::Delivered, m_event.GetData(buffer, &size, 0));
    EXPECT_EQ(5u, size);
    EXPECT_STREQ("Gain", buffer);
    EXPECT_EQ(0u, NumInQueue(m_event));
}

// An expired time-out returns false without an error. A Kill with nobody waiting aborts neither
// such a wait nor a later delivery.
TEST_F(EventQueueTest, ExpiredTimeOutReturnsFalseAndKillWithoutWaiterAbortsNothing) {
    m_event.Kill();
    size_t size = 16;
    char buffer[16];
    EXPECT_EQ(EventData::TimedOut, m_event.GetData(buffer, &size, 0));
    EXPECT_EQ(16u, size);
    AsyncWaiter short_wait(m_event, 1);
    const WaitOutcome outcome = short_wait.Outcome();
    EXPECT_FALSE(outcome.b_delivered);
    EXPECT_EQ(0, outcome.i_error) << outcome.str_text;
    m_event.Kill();
    m_event.Push(Invalidate("Kept"));
    EXPECT_EQ(std::string("Kept\0", 5), Take(m_event));
}

// Each time-out must leave a waiter blocked until an entry arrives: an infinite or oversized
// time-out that overflowed into a past deadline would return at once.
class EventLongWaitTest : public EventQueueTest, public ::testing::WithParamInterface<uint64_t> {};

TEST_P(EventLongWaitTest, WaiterIsReleasedByAPushFromAnotherThread) {
    AsyncWaiter waiter(m_event, GetParam());
    ASSERT_TRUE(waiter.BlocksInGetData());
    m_event.Push(Invalidate("Wake"));
    const WaitOutcome outcome = waiter.Outcome();
    EXPECT_TRUE(outcome.b_delivered) << outcome.str_text;
    EXPECT_EQ(std::string("Wake\0", 5), outcome.str_data);
}

INSTANTIATE_TEST_SUITE_P(TimeOuts, EventLongWaitTest,
                         ::testing::Values(GENTL_INFINITE, GENTL_INFINITE - 1, uint64_t{1} << 62, uint64_t{600000}));

TEST_F(EventQueueTest, KillReleasesEveryWaiterWithAbort) {
    AsyncWaiter first(m_event, GENTL_INFINITE);
    AsyncWaiter second(m_event, 600000);
    ASSERT_TRUE(first.BlocksInGetData());
    ASSERT_TRUE(second.BlocksInGetData());
    m_event.Kill();
    for (AsyncWaiter* waiter : {&first, &second}) {
        const WaitOutcome outcome = waiter->Outcome();
        EXPECT_FALSE(outcome.b_delivered);
        EXPECT_EQ(-1012, outcome.i_error);
        EXPECT_EQ("Wait aborted by EventKill", outcome.str_text);
    }
    m_event.Push(Invalidate("After"));
    EXPECT_EQ(std::string("After\0", 6), Take(m_event));
}

TEST(EventSpuriousWakeTest, WakeWithoutEntryKeepsWaiting) {
    NudgeableEvent event;
    event.EnableEvent();
    AsyncWaiter waiter(event, 600000);
    ASSERT_TRUE(waiter.BlocksInGetData());
    for (int i = 0; i < 3; ++i) {
        event.WakeWithoutEntry();
        EXPECT_FALSE(waiter.Finished(std::chrono::milliseconds(20)));
    }
    event.Push(Invalidate("Real"));
    const WaitOutcome outcome = waiter.Outcome();
    EXPECT_TRUE(outcome.b_delivered) << outcome.str_text;
}

// Producers, a consumer and an observer of the queue run at once; every entry arrives once,
// each producer's entries in order.
TEST_F(EventQueueTest, ConcurrentPushesAndReadsDeliverEverything) {
    constexpr int kPerProducer = 200;
    auto produce = [this](char tag) {
        for (int i = 0; i < kPerProducer; ++i) {
            m_event.Push(Invalidate(std::string(1, tag) + std::to_string(i)));
        }
    };
    std::vector<std::string> received;
    std::thread consumer([&] {
        std::vector<char> buffer(32);
        while (received.size() < 2 * kPerProducer) {
            size_t size = buffer.size();
            if (m_event.GetData(buffer.data(), &size, 10000) != EventData::Delivered) {
                break;  // nothing for ten seconds: entries were lost
            }
            received.emplace_back(buffer.data());
        }
    });
    std::atomic<bool> done{false};
    std::thread observer([&] {
        while (!done) {
            for (EVENT_INFO_CMD command : {EVENT_NUM_IN_QUEUE, EVENT_SIZE_MAX, EVENT_INFO_DATA_SIZE_MAX}) {
                SizeInfo(m_event, command);
            }
        }
    });
    std::thread a(produce, 'a');
    std::thread b(produce, 'b');
    a.join();
    b.join();
    consumer.join();
    done = true;
    observer.join();

    ASSERT_EQ(2u * kPerProducer, received.size());
    int next_a = 0;
    int next_b = 0;
    for (const std::string& name : received) {
        int& next = name[0] == 'a' ? next_a : next_b;
        EXPECT_EQ(std::to_string(next), name.substr(1));
        ++next;
    }
    EXPECT_EQ(kPerProducer, next_a);
    EXPECT_EQ(kPerProducer, next_b);
}

}  // namespace
}  // namespace GenTL::test
