#include "tools/NewestFrame.h"

#include <algorithm>
#include <utility>

namespace quarvo::tool {

RawImage ViewFrame::Raw() const {
    return {image.data(), image.size(), static_cast<size_t>(width), static_cast<size_t>(height),
            static_cast<size_t>(xPadding), pixelFormat};
}

DeliveredBuffer ViewFrame::AsBuffer() const {
    DeliveredBuffer buffer;
    buffer.data = image.data();
    buffer.filled = image.size();
    buffer.width = width;
    buffer.height = height;
    buffer.xPadding = xPadding;
    buffer.pixelFormat = pixelFormat;
    buffer.frameID = frameID;
    buffer.incomplete = incomplete;
    return buffer;
}

bool NewestFrame::Put(const DeliveredBuffer& buffer) {
    const size_t offset = std::min(buffer.imageOffset, buffer.filled);
    m_filling.image.assign(buffer.data + offset, buffer.data + buffer.filled);
    m_filling.width = buffer.width;
    m_filling.height = buffer.height;
    m_filling.xPadding = buffer.xPadding;
    m_filling.pixelFormat = buffer.pixelFormat;
    m_filling.frameID = buffer.frameID;
    m_filling.incomplete = buffer.incomplete;
    const std::lock_guard<std::mutex> lock(m_mutex);
    std::swap(m_filling, m_waiting);
    const bool wasTaken = !m_fresh;
    m_skipped += wasTaken ? 0 : 1;
    m_fresh = true;
    return wasTaken;
}

bool NewestFrame::Take(ViewFrame& shown) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_fresh) {
        return false;
    }
    std::swap(m_waiting, shown);
    m_fresh = false;
    return true;
}

uint64_t NewestFrame::Skipped() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_skipped;
}

}  // namespace quarvo::tool
