// SDL's video and its font library, up for the life of the object, and the event that wakes
// the viewer's loop when a camera thread has a new frame.
#pragma once

#include <cstdint>

namespace quarvo::tool {

class SdlVideo {
public:
    // Throws UsageError, one line that suggests grab, when there is no display to show a window on.
    SdlVideo();
    ~SdlVideo();
    SdlVideo(const SdlVideo&) = delete;
    SdlVideo& operator=(const SdlVideo&) = delete;

    // Posts the wake event; safe from any thread.
    void Wake() const;

private:
    uint32_t m_wakeEvent = 0;
};

}  // namespace quarvo::tool
