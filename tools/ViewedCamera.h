// One camera the viewer shows: opened, acquiring until the viewer ends, each delivered buffer
// copied into its newest frame and given back to the stream at once by a thread of its own, so
// the display, however slow, never holds a buffer the camera could be filling. A failure of the
// acquisition ends the thread and is kept for the viewer to show.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "consumer/Acquisition.h"
#include "consumer/Device.h"
#include "consumer/GenApiPort.h"
#include "tools/NewestFrame.h"

namespace quarvo::tool {

class ViewedCamera {
public:
    struct Counts {
        uint64_t delivered = 0;
        uint64_t incomplete = 0;
        uint64_t dropped = 0;  // frame IDs the producer never delivered
        uint64_t skipped = 0;  // frames delivered but replaced before the display took them
    };

    // Opens the device and starts acquiring with that many buffers; newFrame is called from the
    // acquisition thread when a frame comes that the display may be waiting for.
    ViewedCamera(const Interface& iface, const std::string& id, size_t buffers, std::function<void()> newFrame);
    // Stops the thread (RequestStop, then waiting for it), then the acquisition.
    ~ViewedCamera();
    ViewedCamera(const ViewedCamera&) = delete;
    ViewedCamera& operator=(const ViewedCamera&) = delete;

    const std::string& ID() const { return m_device.ID(); }
    // Swaps the newest frame into shown when one came since the last take.
    bool TakeNewest(ViewFrame& shown) { return m_newest.Take(shown); }
    Counts Current() const;
    // What ended the acquisition, or empty while it runs.
    std::string Failure() const;
    // The image size the camera states (Width, Height), where it has them.
    std::optional<std::pair<int, int>> ImageSize();
    // Fires TriggerSoftware; false when the camera has no such command. Throws what the camera refuses.
    bool Trigger();
    // Asks the acquisition thread to end, without waiting for it.
    void RequestStop() { m_stopping = true; }

private:
    void Acquire();

    Device m_device;
    GenApiPort m_remote;
    Acquisition m_acquisition;
    std::function<void()> m_newFrame;
    NewestFrame m_newest;
    std::atomic<uint64_t> m_delivered{0};
    std::atomic<uint64_t> m_incomplete{0};
    std::atomic<uint64_t> m_dropped{0};
    std::atomic<bool> m_stopping{false};
    mutable std::mutex m_failureMutex;
    std::string m_failure;
    std::thread m_thread;
};

}  // namespace quarvo::tool
