#include "simulator/DecodeAhead.h"

#include <algorithm>
#include <stdexcept>

namespace Quibbon::Sim {

DecodeAhead::DecodeAhead(std::shared_ptr<const VideoClip> clip, VideoLayout layout, MakePayload make, size_t depth)
    : m_clip(std::move(clip)), m_layout(layout), m_make(std::move(make)), m_depth(std::max<size_t>(depth, 1)) {
    m_thread = std::thread([this] { Run(); });
}

DecodeAhead::~DecodeAhead() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wanted.notify_all();
    m_thread.join();
}

std::shared_ptr<const DecodeAhead::Payload> DecodeAhead::Get(uint64_t index) {
    const std::lock_guard<std::mutex> turn(m_asking);
    std::unique_lock<std::mutex> lock(m_mutex);
    if (index != m_want) {
        m_want = index;
        DropBefore(index);
        m_wanted.notify_all();
    }
    m_decoded.wait(lock, [&] { return Holds(index) || index >= m_end || m_broken || m_stop; });
    const auto found = std::find_if(m_ready.begin(), m_ready.end(), [index](const auto& p) { return p->index == index; });
    if (found != m_ready.end()) {
        return *found;
    }
    auto lost = std::make_shared<Payload>();
    lost->index = index;
    return lost;
}

bool DecodeAhead::Holds(uint64_t index) const {
    return std::any_of(m_ready.begin(), m_ready.end(), [index](const auto& payload) { return payload->index == index; });
}

void DecodeAhead::DropBefore(uint64_t index) {
    while (!m_ready.empty() && m_ready.front()->index < index) {
        m_ready.pop_front();
    }
    if (!m_ready.empty() && m_ready.front()->index > index) {
        m_ready.clear();  // the frames held lie past one asked for again: the video starts anew
    }
}

// The reader's position is the index of the frame it decodes next. Frames from the one wanted on
// are kept until m_depth are ready; frames before it are decoded and dropped (a video decodes
// only forward), and a wanted frame behind the position starts the reader again.
void DecodeAhead::Run() {
    std::unique_ptr<VideoReader> reader;
    uint64_t position = 0;
    VideoFrame frame;  // its pixels are reused unless a payload takes them
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stop) {
        const uint64_t want = m_want;
        const bool behind = position > want && !Holds(want);
        if (!behind && (position >= m_end || m_broken || (position >= want && NextReady() >= want + m_depth))) {
            m_wanted.wait(lock);
            continue;
        }
        if (behind) {
            m_ready.clear();
        }
        const bool keep = position >= want;
        std::shared_ptr<Payload> payload = keep ? std::make_shared<Payload>() : nullptr;
        lock.unlock();
        bool decoded = false;
        bool failed = false;
        try {
            if (!reader) {
                reader = std::make_unique<VideoReader>(m_clip->path, std::max(m_clip->width, m_clip->height));
                reader->SetLayout(m_layout);
                position = 0;
            } else if (behind) {
                reader->Rewind();
                position = 0;
            }
            decoded = DecodeOne(*reader, frame, payload.get());
        } catch (const std::exception&) {
            failed = true;  // the file went away or changed: every frame from now on is lost
        }
        lock.lock();
        if (failed) {
            m_broken = true;
        } else if (!decoded) {
            m_end = position;
        } else {
            // Only the frame that continues the ready ones is kept, so that they stay in a row.
            if (payload && position == NextReady() && position < m_want + m_depth) {
                payload->index = position;
                m_ready.push_back(std::move(payload));
            }
            ++position;
        }
        m_decoded.notify_all();
    }
}

uint64_t DecodeAhead::NextReady() const { return m_ready.empty() ? m_want : m_ready.back()->index + 1; }

bool DecodeAhead::DecodeOne(VideoReader& reader, VideoFrame& frame, Payload* payload) {
    const VideoStatus status = reader.Next(frame);
    if (status == VideoStatus::End) {
        return false;
    }
    if (payload == nullptr) {
        return true;
    }
    payload->whole = false;
    if (frame.pixels.empty()) {
        payload->bytes.clear();
        return true;
    }
    try {
        m_make(frame, payload->bytes);
        payload->whole = status == VideoStatus::Frame;
    } catch (const std::exception&) {
        payload->bytes.clear();
    }
    return true;
}

}  // namespace Quibbon::Sim
