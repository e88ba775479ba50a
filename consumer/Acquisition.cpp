#include "consumer/Acquisition.h"

#include <algorithm>

namespace quarvo {

Acquisition::Acquisition(const Device& device, GenApiPort& remote, size_t buffers, uint64_t frames)
    : m_remote(remote), m_stream(device, FirstStream(device)) {
    m_payloadSize = ReadPayloadSize();
    m_bufferCount = std::max(buffers, m_stream.MinimumBuffers());
    m_stream.AnnounceAndQueue(m_bufferCount, m_payloadSize);
    Lock(true);
    m_stream.Start(frames);
    m_running = true;
    Command("AcquisitionStart");
}

Acquisition::~Acquisition() {
    try {
        Stop();
    } catch (const std::exception&) {
        // The stream's own teardown stops what is left.
    }
}

void Acquisition::Stop() {
    if (!m_running) {
        return;
    }
    m_running = false;
    Command("AcquisitionStop");
    m_stream.Stop();
    Lock(false);
}

std::string Acquisition::FirstStream(const Device& device) {
    const std::vector<std::string> streams = device.StreamIDs();
    if (streams.empty()) {
        throw GenApiError("device " + device.ID() + " has no data stream");
    }
    return streams.front();
}

uint64_t Acquisition::ReadPayloadSize() {
    if (const auto defined = m_stream.DefinedPayloadSize()) {
        return *defined;
    }
    const int64_t payload = m_remote.Integer("PayloadSize");
    if (payload <= 0) {
        throw GenApiError("PayloadSize: the camera states no payload (" + std::to_string(payload) + ")");
    }
    return static_cast<uint64_t>(payload);
}

void Acquisition::Lock(bool locked) {
    ArvGcNode* node = m_remote.FindNode("TLParamsLocked");
    if (node != nullptr && ARV_IS_GC_INTEGER(node)) {
        m_remote.SetInteger("TLParamsLocked", locked ? 1 : 0);
    }
}

void Acquisition::Command(const char* name) {
    if (m_remote.IsCommand(name)) {
        m_remote.Execute(name);
    }
}

}  // namespace quarvo
