// The figures of an acquisition: drops counted from gaps in the frame IDs, incomplete frames,
// rates over the fill time stamps (the delivery times where the producer gives none) and the
// fill-to-delivery quantiles.
#include <gtest/gtest.h>

#include "consumer/AcquisitionStatistics.h"

namespace quarvo_test {
namespace {

quarvo::DeliveredBuffer Frame(uint64_t id, uint64_t filledAt, uint64_t receivedAt, bool incomplete = false) {
    quarvo::DeliveredBuffer buffer;
    buffer.frameID = id;
    buffer.filled = 1000;
    buffer.timestampNs = filledAt;
    buffer.receivedNs = receivedAt;
    buffer.incomplete = incomplete;
    return buffer;
}

TEST(AcquisitionStatistics, CountsDropsIncompleteFramesAndRates) {
    quarvo::AcquisitionStatistics statistics;
    EXPECT_FALSE(statistics.FrameRate());
    EXPECT_FALSE(statistics.LatencyQuantile(0.5));
    // Frames 0, 1, 4, 5, 9 over 400 ms: five dropped; five frames make four intervals.
    const uint64_t ids[] = {0, 1, 4, 5, 9};
    for (size_t i = 0; i < 5; ++i) {
        statistics.Add(Frame(ids[i], 1'000'000'000 + i * 100'000'000, 1'000'000'000 + i * 100'000'000 + (i + 1) * 1000, i == 2));
    }
    EXPECT_EQ(5u, statistics.Frames());
    EXPECT_EQ(5u, statistics.Dropped());
    EXPECT_EQ(1u, statistics.Incomplete());
    EXPECT_DOUBLE_EQ(0.4, statistics.Span());
    EXPECT_DOUBLE_EQ(10.0, *statistics.FrameRate());
    EXPECT_DOUBLE_EQ(10'000.0, *statistics.BytesPerSecond());
    EXPECT_DOUBLE_EQ(1000.0, *statistics.LatencyQuantile(0.0));
    EXPECT_DOUBLE_EQ(3000.0, *statistics.LatencyQuantile(0.5));
    EXPECT_DOUBLE_EQ(5000.0, *statistics.LatencyQuantile(1.0));
}

// A camera's own clock counts from its start, far from the host's real-time clock: such stamps
// still time the frames but give no fill-to-delivery times.
TEST(AcquisitionStatistics, TakesLatencyOnlyFromStampsOfTheHostClock) {
    const uint64_t host = 1'765'000'000'000'000'000;  // ns since the epoch, in 2025
    quarvo::AcquisitionStatistics device, late, early;
    for (uint64_t i = 0; i < 3; ++i) {
        device.Add(Frame(i, 5'000'000 + i * 10'000'000, host + i * 10'000'000));
        late.Add(Frame(i, host - 900'000'000 + i * 10'000'000, host + i * 10'000'000));
        early.Add(Frame(i, host + 1'100'000'000, host));
    }
    EXPECT_FALSE(device.StampsFromHostClock());
    EXPECT_EQ(static_cast<int64_t>(host - 5'000'000), *device.FirstStampOffset());
    EXPECT_FALSE(device.LatencyQuantile(0.5));
    EXPECT_DOUBLE_EQ(100.0, *device.FrameRate());
    EXPECT_TRUE(late.StampsFromHostClock());
    EXPECT_DOUBLE_EQ(900'000'000.0, *late.LatencyQuantile(1.0));
    EXPECT_FALSE(early.StampsFromHostClock()) << "a stamp more than a second after its delivery";
    EXPECT_FALSE(early.LatencyQuantile(0.0));
}

TEST(AcquisitionStatistics, WithoutTimeStampsOrIDs) {
    quarvo::AcquisitionStatistics statistics;
    for (uint64_t i = 0; i < 3; ++i) {
        quarvo::DeliveredBuffer buffer;
        buffer.receivedNs = i * 500'000'000;
        statistics.Add(buffer);
    }
    EXPECT_DOUBLE_EQ(2.0, *statistics.FrameRate());
    EXPECT_EQ(0u, statistics.Dropped());
    EXPECT_FALSE(statistics.LatencyQuantile(0.5));
}

}  // namespace
}  // namespace quarvo_test
