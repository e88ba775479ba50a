#include "consumer/AcquisitionStatistics.h"

#include <algorithm>
#include <cmath>

namespace quarvo {

void AcquisitionStatistics::Add(const DeliveredBuffer& buffer) {
    const uint64_t time = buffer.timestampNs.value_or(buffer.receivedNs);
    if (m_frames == 0) {
        m_firstTime = time;
    }
    m_lastTime = time;
    ++m_frames;
    m_bytes += buffer.filled;
    m_incomplete += buffer.incomplete ? 1 : 0;
    if (buffer.frameID) {
        if (m_lastFrameID && *buffer.frameID > *m_lastFrameID + 1) {
            m_dropped += *buffer.frameID - *m_lastFrameID - 1;
        }
        m_lastFrameID = buffer.frameID;
    }
    if (buffer.timestampNs) {
        const auto latency = static_cast<int64_t>(buffer.receivedNs - *buffer.timestampNs);
        if (!m_firstStampOffset) {
            m_firstStampOffset = latency;
        }
        if (StampsFromHostClock()) {
            m_latencies.push_back(latency);
        }
    }
}

bool AcquisitionStatistics::StampsFromHostClock() const {
    constexpr int64_t kToleranceNs = 1'000'000'000;
    return m_firstStampOffset && *m_firstStampOffset >= -kToleranceNs && *m_firstStampOffset <= kToleranceNs;
}

double AcquisitionStatistics::Span() const { return m_lastTime > m_firstTime ? (m_lastTime - m_firstTime) / 1e9 : 0.0; }

std::optional<double> AcquisitionStatistics::FrameRate() const {
    if (m_frames < 2 || Span() <= 0.0) {
        return std::nullopt;
    }
    return (m_frames - 1) / Span();
}

std::optional<double> AcquisitionStatistics::BytesPerSecond() const {
    const auto rate = FrameRate();
    if (!rate) {
        return std::nullopt;
    }
    return *rate * static_cast<double>(m_bytes) / static_cast<double>(m_frames);
}

std::optional<double> AcquisitionStatistics::LatencyQuantile(double fraction) const {
    if (m_latencies.empty()) {
        return std::nullopt;
    }
    std::vector<int64_t> sorted = m_latencies;
    const size_t index = static_cast<size_t>(std::lround(std::clamp(fraction, 0.0, 1.0) * (sorted.size() - 1)));
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(index), sorted.end());
    return static_cast<double>(sorted[index]);
}

}  // namespace quarvo
