// A filled buffer as the new-buffer event handed it out, with what the producer tells about it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "gentl/GenTL.h"

namespace quarvo {

struct DeliveredBuffer {
    BUFFER_HANDLE handle = nullptr;
    const uint8_t* data = nullptr;  // start of the buffer memory
    size_t filled = 0;              // bytes the producer wrote
    size_t imageOffset = 0;         // where the image starts within the data
    uint64_t width = 0;
    uint64_t height = 0;
    uint64_t xPadding = 0;  // bytes after each row
    uint64_t pixelFormat = 0;
    std::optional<uint64_t> frameID;
    bool incomplete = false;
    // End of the fill by the producer's clock, ns since the epoch, where the producer tells it.
    std::optional<uint64_t> timestampNs;
    // When EventGetData returned, ns since the epoch (CLOCK_REALTIME).
    uint64_t receivedNs = 0;
};

}  // namespace quarvo
