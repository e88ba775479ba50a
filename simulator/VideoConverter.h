// Conversion of decoded video pictures into rows of a VideoLayout. Grey rows are looked up, sample
// by sample, in a table of what libswscale makes of each level of the picture's first plane when
// that plane holds the luma (or grey) samples alone, or copied when the table gives every level
// back: libswscale's own stretch of limited-range luma into grey takes a slow generic path, six
// times as long as the lookup. Everything else goes through libswscale.
#pragma once

#include <cstdint>
#include <vector>

#include "simulator/MediaHandles.h"
#include "simulator/VideoReader.h"

namespace Quibbon::Sim {

class VideoConverter {
public:
    // Pixel formats whose pictures convert into whole rows of every layout.
    static bool Converts(AVPixelFormat format);
    static uint32_t BytesPerPixel(VideoLayout layout);

    // Writes frame as width x height pixels of layout, rows without padding, into pixels; false
    // for a picture whose format does not convert.
    bool Convert(const AVFrame& frame, VideoLayout layout, uint8_t* pixels);

private:
    // What the conversion was prepared for; a frame that differs gets a new one.
    struct Prepared {
        int format = AV_PIX_FMT_NONE;
        int width = 0;
        int height = 0;
        int colourSpace = AVCOL_SPC_UNSPECIFIED;  // as stored: a damaged stream's may be no enumerator
        int range = AVCOL_RANGE_UNSPECIFIED;
        VideoLayout layout = VideoLayout::Gray8;

        bool operator==(const Prepared& other) const;
    };

    bool Prepare(const AVFrame& frame, VideoLayout layout);

    Prepared m_prepared;
    bool m_ready = false;
    Media::ScalerPtr m_scaler;
    // The grey sample (in the layout's bytes) for each level of the first plane, when it is looked
    // up; empty when libswscale converts.
    std::vector<uint8_t> m_levels;
    bool m_deepLevels = false;  // the first plane's samples take two bytes
    bool m_copy = false;        // the table gives every level back: rows are copied
};

}  // namespace Quibbon::Sim
