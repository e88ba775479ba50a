#include "simulator/VideoClip.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace Quibbon::Sim {

uint32_t VideoClip::AverageFrameRate() const {
    std::chrono::nanoseconds total{0};
    for (const std::chrono::nanoseconds duration : durations) {
        total += duration;
    }
    if (total.count() <= 0) {
        return 1;
    }
    const double rate = std::round(static_cast<double>(durations.size()) * 1e9 / static_cast<double>(total.count()));
    return static_cast<uint32_t>(std::clamp(rate, 1.0, 1e6));
}

VideoLayout VideoClip::LayoutFor(bool greyCamera) const {
    const bool deep = bitDepth > 8;
    if (greyCamera) {
        return deep ? VideoLayout::Gray16 : VideoLayout::Gray8;
    }
    return deep ? VideoLayout::Rgb48 : VideoLayout::Rgb24;
}

std::shared_ptr<const VideoClip> LoadVideoClip(const std::string& path, uint32_t maxSide) {
    VideoReader reader(path, maxSide);
    auto clip = std::make_shared<VideoClip>();
    clip->path = path;
    clip->width = reader.Width();
    clip->height = reader.Height();
    clip->grey = reader.Grey();
    clip->bitDepth = reader.BitDepth();
    for (uint64_t frame = 0; frame < reader.FrameCount(); ++frame) {
        clip->durations.push_back(reader.FrameDuration(frame));
    }
    reader.SetLayout(clip->LayoutFor(clip->grey));
    VideoFrame first;
    if (reader.Next(first) != VideoStatus::Frame) {
        throw std::runtime_error("cannot decode its first frame" + (first.error.empty() ? "" : " (" + first.error + ")"));
    }
    clip->first = ImageOfFrame(first.pixels, reader.Layout(), clip->width, clip->height);
    return clip;
}

std::shared_ptr<const ImageSet> FirstFrameImages(const VideoClip& clip) {
    auto images = std::make_shared<ImageSet>();
    images->folder = clip.path;
    images->images.push_back(clip.first);
    images->width = clip.width;
    images->height = clip.height;
    return images;
}

SourceImage ImageOfFrame(const std::vector<uint8_t>& pixels, VideoLayout layout, uint32_t width, uint32_t height) {
    SourceImage image;
    image.width = width;
    image.height = height;
    image.channels = layout == VideoLayout::Gray8 || layout == VideoLayout::Gray16 ? 1 : 3;
    image.samples.resize(size_t{width} * height * image.channels);
    if (layout == VideoLayout::Gray16 || layout == VideoLayout::Rgb48) {
        std::memcpy(image.samples.data(), pixels.data(), std::min(pixels.size(), image.samples.size() * 2));
    } else {
        std::transform(pixels.begin(), pixels.begin() + static_cast<std::ptrdiff_t>(std::min(pixels.size(), image.samples.size())),
                       image.samples.begin(), [](uint8_t value) { return static_cast<uint16_t>(value * 257); });
    }
    return image;
}

}  // namespace Quibbon::Sim
