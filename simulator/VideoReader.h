// Sequential decoding of a video file (MP4, Matroska, AVI) into frames of 8- or 16-bit grey or RGB
// samples, the form a replayed video's frames are converted from.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Quibbon::Sim {

// Sample layouts a video's frames are converted into: rows without padding, 16-bit samples in the
// machine's byte order.
enum class VideoLayout { Gray8, Gray16, Rgb24, Rgb48 };

enum class VideoStatus {
    Frame,    // the next frame, complete
    Damaged,  // the next frame could not be decoded (or only in part): see VideoFrame::error
    End,      // no frames are left
};

struct VideoFrame {
    uint64_t index = 0;           // position in presentation order, counted from the start
    std::vector<uint8_t> pixels;  // Width() x Height() pixels in the reader's layout; empty when lost
    std::string error;            // what went wrong with a damaged frame
};

class VideoReader {
public:
    // Opens the file, checks its first video stream and decodes its first frame; one pass over the
    // file's packets (without decoding) counts the frames and their durations. Throws
    // std::runtime_error with a text that says what is wrong with the file (without its name).
    // Frames wider or higher than maxSide are refused.
    VideoReader(const std::string& path, uint32_t maxSide);
    ~VideoReader();
    VideoReader(const VideoReader&) = delete;
    VideoReader& operator=(const VideoReader&) = delete;

    uint32_t Width() const { return m_width; }
    uint32_t Height() const { return m_height; }
    // Grey videos (with or without alpha) and colour ones, by the rule image files follow.
    bool Grey() const { return m_grey; }
    // Bits per sample as stored: 8 or more.
    uint32_t BitDepth() const { return m_bitDepth; }
    // The frames the file's packets hold; a damaged file may decode to fewer.
    uint64_t FrameCount() const { return m_durations.size(); }
    // How long frame (in presentation order) is shown, from the file's timestamps, or the frame
    // rate where these are missing; zero beyond the last frame.
    std::chrono::nanoseconds FrameDuration(uint64_t frame) const;

    // The layout Next delivers; at first Gray8, Gray16, Rgb24 or Rgb48 by Grey() and BitDepth().
    VideoLayout Layout() const { return m_layout; }
    void SetLayout(VideoLayout layout) { m_layout = layout; }
    size_t FrameBytes() const;

    // Decodes the next frame into out. A frame the decoder fails on is reported as Damaged, without
    // pixels, and counts as one frame; one decoded with errors is Damaged with its pixels. Decoding
    // goes on with the next frame.
    VideoStatus Next(VideoFrame& out);
    // Starts again at frame 0, which then decodes to the same bytes as before. The file is opened
    // anew: throws like the constructor when it can no longer be.
    void Rewind();

private:
    struct Decoding;  // the open file, its decoder and its converter

    void CountFrames();
    VideoStatus Damaged(VideoFrame& out, const std::string& why);

    std::string m_path;
    uint32_t m_maxSide;
    uint32_t m_width = 0;
    uint32_t m_height = 0;
    bool m_grey = true;
    uint32_t m_bitDepth = 8;
    VideoLayout m_layout = VideoLayout::Gray8;
    int m_tickNumerator = 1;  // seconds per tick of m_durations
    int m_tickDenominator = 1;
    std::vector<uint32_t> m_durations;  // of every frame, in ticks
    uint64_t m_next = 0;                // index of the frame Next gives
    std::unique_ptr<Decoding> m_decoding;
};

}  // namespace Quibbon::Sim
