// Checks that a stopped data stream accounts for every announced buffer exactly once: in the input
// pool, in the output queue, in the consumer's hands or idle (discarded), never in two places and
// never lost.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

#include "support/ProducerLib.h"

namespace quarvo_test {

inline size_t StreamCount(ProducerLib& lib, DS_HANDLE stream, STREAM_INFO_CMD command) {
    size_t value = 0;
    size_t size = sizeof value;
    INFO_DATATYPE type = 0;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.DSGetInfo(stream, command, &type, &value, &size)) << lib.Error().text;
    return value;
}

// Takes every buffer still waiting for delivery, then compares: the input pool's size, the buffers
// taken, those the consumer holds and the idle ones must add up to the announced buffers, each of
// them once. Afterwards every buffer is queued again, and the input pool must hold each exactly
// once.
inline void ExpectEveryBufferOnce(ProducerLib& lib, DS_HANDLE stream, EVENT_HANDLE newBuffer,
                                  const std::vector<BUFFER_HANDLE>& announced, const std::set<BUFFER_HANDLE>& held,
                                  const std::set<BUFFER_HANDLE>& idle = {}) {
    std::map<BUFFER_HANDLE, int> places;
    for (BUFFER_HANDLE buffer : held) {
        ++places[buffer];
    }
    for (BUFFER_HANDLE buffer : idle) {
        ++places[buffer];
        uint8_t queued = 1;
        size_t size = sizeof queued;
        INFO_DATATYPE type = 0;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.DSGetBufferInfo(stream, buffer, BUFFER_INFO_IS_QUEUED, &type, &queued, &size));
        EXPECT_EQ(0, queued) << "idle buffer " << buffer << " is queued";
    }
    for (;;) {
        EVENT_NEW_BUFFER_DATA data{};
        size_t size = sizeof data;
        if (lib.EventGetData(newBuffer, &data, &size, 0) != GC_ERR_SUCCESS) {
            break;
        }
        ++places[data.BufferHandle];
    }
    const std::set<BUFFER_HANDLE> known(announced.begin(), announced.end());
    size_t outside = 0;
    for (const auto& [buffer, count] : places) {
        EXPECT_EQ(1, count) << "buffer " << buffer << " was handed out " << count << " times";
        EXPECT_EQ(1u, known.count(buffer)) << "buffer " << buffer << " was never announced";
        outside += count;
    }
    EXPECT_EQ(announced.size(), StreamCount(lib, stream, STREAM_INFO_NUM_QUEUED) + outside)
        << "input pool + delivered + held + idle must be the announced buffers";
    EXPECT_EQ(0u, StreamCount(lib, stream, STREAM_INFO_NUM_AWAIT_DELIVERY));
    ASSERT_EQ(GC_ERR_SUCCESS, lib.DSFlushQueue(stream, ACQ_QUEUE_ALL_TO_INPUT));
    EXPECT_EQ(announced.size(), StreamCount(lib, stream, STREAM_INFO_NUM_QUEUED));
    EXPECT_EQ(announced.size(), StreamCount(lib, stream, STREAM_INFO_NUM_ANNOUNCED));
}

}  // namespace quarvo_test
