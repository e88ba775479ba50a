#include "tools/ViewedCamera.h"

#include "consumer/AcquisitionStatistics.h"

namespace quarvo::tool {

namespace {

// How long the thread waits for a buffer before it looks whether it should stop.
constexpr uint64_t kWaitMs = 50;
// Sides beyond this are taken for a camera that does not state its size.
constexpr int64_t kLargestSide = 65535;

}  // namespace

ViewedCamera::ViewedCamera(const Interface& iface, const std::string& id, size_t buffers,
                           std::function<void()> newFrame)
    : m_device(iface, id),
      m_remote(m_device.Producer(), m_device.RemotePort()),
      m_acquisition(m_device, m_remote, buffers, 0),
      m_newFrame(std::move(newFrame)),
      m_thread([this] { Acquire(); }) {}

ViewedCamera::~ViewedCamera() {
    RequestStop();
    m_thread.join();
}

ViewedCamera::Counts ViewedCamera::Current() const {
    return {m_delivered.load(), m_incomplete.load(), m_dropped.load(), m_newest.Skipped()};
}

std::string ViewedCamera::Failure() const {
    const std::lock_guard<std::mutex> lock(m_failureMutex);
    return m_failure;
}

std::optional<std::pair<int, int>> ViewedCamera::ImageSize() {
    try {
        const int64_t width = m_remote.Integer("Width"), height = m_remote.Integer("Height");
        if (width > 0 && height > 0 && width <= kLargestSide && height <= kLargestSide) {
            return std::make_pair(static_cast<int>(width), static_cast<int>(height));
        }
    } catch (const std::exception&) {
        // A camera without them gets the viewer's default size.
    }
    return std::nullopt;
}

bool ViewedCamera::Trigger() {
    if (!m_remote.IsCommand("TriggerSoftware")) {
        return false;
    }
    m_remote.Execute("TriggerSoftware");
    return true;
}

void ViewedCamera::Acquire() {
    AcquisitionStatistics statistics;
    try {
        while (!m_stopping) {
            const auto buffer = m_acquisition.Next(kWaitMs);
            if (!buffer) {
                continue;
            }
            const bool displayWaits = m_newest.Put(*buffer);
            m_acquisition.Requeue(*buffer);
            statistics.Add(*buffer);
            m_incomplete = statistics.Incomplete();
            m_dropped = statistics.Dropped();
            m_delivered = statistics.Frames();
            if (displayWaits) {
                m_newFrame();
            }
        }
    } catch (const std::exception& error) {
        {
            const std::lock_guard<std::mutex> lock(m_failureMutex);
            m_failure = error.what();
        }
        m_newFrame();
    }
}

}  // namespace quarvo::tool
