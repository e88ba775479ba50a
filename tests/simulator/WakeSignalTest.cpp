// The futex-based signal behind a camera's waits: no notification is lost between two threads.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "simulator/WakeSignal.h"

namespace Quibbon::Sim {
namespace {

using Clock = WakeSignal::Clock;

// Two threads hand a turn back and forth, each waiting for its turn. A notification lost between
// a thread's test of the turn and its sleep would leave it asleep until its time-out, which is
// counted; with Wait (no limit) it would hang.
TEST(WakeSignal, NoNotificationIsLostBetweenTwoThreads) {
    constexpr int kRounds = 20000;
    constexpr auto kLimit = std::chrono::seconds(10);
    std::mutex mutex;
    WakeSignal signal;
    int turn = 0;
    int timedOut = 0;
    const auto play = [&](int me, bool limited) {
        std::unique_lock<std::mutex> lock(mutex);
        for (int round = 0; round < kRounds; ++round) {
            while (turn != me) {
                if (limited) {
                    const Clock::time_point until = Clock::now() + kLimit;
                    signal.WaitUntil(lock, until);
                    timedOut += turn != me && Clock::now() >= until ? 1 : 0;
                } else {
                    signal.Wait(lock);
                }
                ASSERT_TRUE(lock.owns_lock());
            }
            turn = 1 - me;
            lock.unlock();
            signal.NotifyAll();
            lock.lock();
        }
    };
    std::thread other(play, 1, false);
    play(0, true);
    other.join();
    EXPECT_EQ(0, timedOut);
}

}  // namespace
}  // namespace Quibbon::Sim
