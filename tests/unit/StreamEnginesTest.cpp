// The data stream's small engines on their own: the frame limit that the acquisition thread counts
// down while the consumer may rewrite it, and the stream number read from a stream identifier.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <stdexcept>
#include <thread>

#include "modules/DataStream.h"
#include "modules/FrameLimit.h"

namespace {

using GenTL::CDataStream;
using GenTL::CFrameLimit;

TEST(FrameLimit, NoLimitAndZeroAreNeverCountedDown) {
    CFrameLimit limit;
    EXPECT_EQ(CFrameLimit::kNoLimit, limit.Remaining());
    EXPECT_EQ(CFrameLimit::kNoLimit, limit.Start(UINT64_MAX));
    limit.CountDown();
    EXPECT_EQ(CFrameLimit::kNoLimit, limit.Remaining());
    limit.Start(2);
    limit.CountDown();
    limit.CountDown();
    limit.CountDown();
    EXPECT_TRUE(limit.Reached());
}

// The counter thread counts a large limit down as fast as it can while this thread cuts it to 0:
// the cut must stick. Were the count-down a test and a decrement in two steps, a cut falling
// between them would wrap the limit to 2^64-1 and the counter would run past the original limit.
TEST(FrameLimit, ACutToZeroIsNeverUndoneByACountDown) {
    constexpr uint64_t kLimit = 1000000;
    for (int trial = 0; trial < 200; ++trial) {
        CFrameLimit limit;
        limit.Start(kLimit);
        std::atomic<uint64_t> counted{0};
        std::thread counter([&] {
            while (!limit.Reached() && counted.load(std::memory_order_relaxed) <= kLimit) {
                limit.CountDown();
                counted.fetch_add(1, std::memory_order_relaxed);
            }
        });
        while (counted.load() < 100 && !limit.Reached()) {
        }
        limit.Set(0);
        counter.join();
        ASSERT_TRUE(limit.Reached()) << "trial " << trial << ": " << limit.Remaining() << " left after "
                                     << counted.load() << " count-downs";
    }
}

TEST(StreamNumber, DigitsAfterThePrefixWithinThirtyTwoBits) {
    EXPECT_EQ(0, CDataStream::ParseStreamNumber("DS0"));
    EXPECT_EQ(7, CDataStream::ParseStreamNumber("DS007"));
    EXPECT_EQ(12, CDataStream::ParseStreamNumber("XY12abc"));
    EXPECT_EQ(0, CDataStream::ParseStreamNumber("DSx"));
    EXPECT_EQ(INT32_MAX, CDataStream::ParseStreamNumber("DS2147483647"));
    EXPECT_THROW(CDataStream::ParseStreamNumber("D"), std::out_of_range);
    EXPECT_THROW(CDataStream::ParseStreamNumber("DS2147483648"), std::out_of_range);
    EXPECT_THROW(CDataStream::ParseStreamNumber("DS99999999999999999999"), std::out_of_range);
}

}  // namespace
