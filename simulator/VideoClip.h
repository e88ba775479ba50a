// What a rig knows of a replayed video once it is loaded: its size, its kind, how long each frame
// is shown and its first frame. The frames themselves are decoded while they are shown.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "simulator/ImageFolder.h"
#include "simulator/MediaImage.h"
#include "simulator/VideoReader.h"

namespace Quibbon::Sim {

struct VideoClip {
    std::string path;
    uint32_t width = 0;
    uint32_t height = 0;
    bool grey = true;
    uint32_t bitDepth = 8;
    std::vector<std::chrono::nanoseconds> durations;  // of every frame, in presentation order
    SourceImage first;                                // frame 0 as replayed images are kept

    uint64_t FrameCount() const { return durations.size(); }
    // The rate the video's own time stamps give on average, rounded, at least 1.
    uint32_t AverageFrameRate() const;
    // The layout frames are decoded into for a camera whose format shows grey (else colour):
    // 8-bit samples for videos of up to 8 bits, else 16-bit ones.
    VideoLayout LayoutFor(bool grey) const;
};

// Opens the video, counts its frames and decodes its first one. Throws std::runtime_error with
// VideoReader's text of what is wrong with the file.
std::shared_ptr<const VideoClip> LoadVideoClip(const std::string& path, uint32_t maxSide);

// The video's first frame as a set of one replayed image: it stands for the video where a camera
// checks its images (size, scene) against its settings.
std::shared_ptr<const ImageSet> FirstFrameImages(const VideoClip& clip);

// A frame decoded in that layout as a replayed image: 8-bit samples widened as image files are.
SourceImage ImageOfFrame(const std::vector<uint8_t>& pixels, VideoLayout layout, uint32_t width, uint32_t height);

}  // namespace Quibbon::Sim
