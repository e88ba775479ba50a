// Waits for a filled buffer on a new-buffer event the way every test should: with a time-out far
// longer than any delivery takes, failing the test when the wait lasted half of it. A delivery
// must wake a waiting consumer at once; a lost wake-up shows only as a wait that ends when its
// time-out runs out (the waiter then finds the buffer), which a short time-out would hide as a
// merely slow test.
#pragma once

#include <gtest/gtest.h>

#include <chrono>

#include "support/ProducerLib.h"

namespace quarvo_test {

constexpr uint64_t kNewBufferTimeoutMs = 10000;

inline GC_ERROR WaitForNewBuffer(ProducerLib& lib, EVENT_HANDLE newBuffer, EVENT_NEW_BUFFER_DATA& data) {
    size_t size = sizeof data;
    const auto start = std::chrono::steady_clock::now();
    const GC_ERROR result = lib.EventGetData(newBuffer, &data, &size, kNewBufferTimeoutMs);
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_LT(waited.count(), static_cast<int64_t>(kNewBufferTimeoutMs / 2))
        << "ms: the wait for a filled buffer ended only as its time-out ran out (result " << result
        << "): no delivery woke it";
    return result;
}

}  // namespace quarvo_test
