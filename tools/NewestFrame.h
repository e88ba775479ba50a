// The newest frame of one camera, handed from its acquisition thread to the display: the thread
// copies each delivered image in and gives its buffer back to the stream at once; the display
// takes the newest when it draws. A frame replaced before the display took it is counted as
// skipped. Three frame stores take turns (being filled, waiting, shown), so no copy is made
// under the lock and none is allocated once they have grown to the image size.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "consumer/DeliveredBuffer.h"
#include "consumer/ImageConverter.h"

namespace quarvo::tool {

struct ViewFrame {
    std::vector<uint8_t> image;  // the image as delivered, from its image offset on
    uint64_t width = 0;
    uint64_t height = 0;
    uint64_t xPadding = 0;
    uint64_t pixelFormat = 0;
    std::optional<uint64_t> frameID;
    bool incomplete = false;

    RawImage Raw() const;
    // The frame as a delivered buffer of its own memory, for the image writer.
    DeliveredBuffer AsBuffer() const;
};

class NewestFrame {
public:
    // Acquisition thread: copies the buffer's image in. Returns whether the display had taken
    // the frame before, that is, whether it may be waiting for this one.
    bool Put(const DeliveredBuffer& buffer);
    // Display thread: swaps the newest frame into shown when one came since the last take.
    bool Take(ViewFrame& shown);
    uint64_t Skipped() const;

private:
    ViewFrame m_filling;  // the acquisition thread's own
    mutable std::mutex m_mutex;
    ViewFrame m_waiting;
    bool m_fresh = false;
    uint64_t m_skipped = 0;
};

}  // namespace quarvo::tool
