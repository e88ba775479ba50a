// libFuzzer target: reads its input as a video file (MP4, Matroska, AVI) through the reader that
// replays the videos users give the simulated cameras, with a small side limit. The bytes live in
// an in-memory file that the reader opens by its /proc/self/fd path, so nothing touches the disk.
//
// An input the reader accepts has a size within the limit and a duration for every frame that is
// not negative. Its frames are read up to the end (at most kMaxFrames of them, so that a long
// valid video does not count as a hang), switching between the reader's own layout and the one
// the input's last byte picks; each frame comes in order and whole. A rewind then gives the first
// frames again, byte for byte: every byte Next leaves unwritten shows, as the buffers are filled
// with a different pattern on each pass. Refusals (std::runtime_error) are fine; anything else
// aborts, which libFuzzer reports as a crash, and sanitizers report the rest.
//
// FFmpeg's demuxers size some tables by the entry counts a header claims, before reading them
// (an MP4 chunk offset table of 250 million entries in a 1 KiB file asks for 2 GiB). FFmpeg caps
// every allocation of its own at av_max_alloc, 2 GiB by default, and fails the file with ENOMEM
// beyond that; here the cap is kFFmpegMaxAlloc, below the -malloc_limit_mb of scripts/fuzz.sh, so
// that such a claim is refused as on a machine without the memory, while allocations of the
// reader's own (a frame's samples, the frame durations) stay under the fuzzer's limit.
extern "C" {
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "simulator/VideoReader.h"

namespace {

using Quibbon::Sim::VideoFrame;
using Quibbon::Sim::VideoLayout;
using Quibbon::Sim::VideoReader;
using Quibbon::Sim::VideoStatus;

constexpr uint32_t kMaxSide = 256;
constexpr uint64_t kMaxFrames = 200;
constexpr uint64_t kRewoundFrames = 3;
constexpr size_t kFFmpegMaxAlloc = size_t{128} << 20;
constexpr std::array<VideoLayout, 4> kLayouts{VideoLayout::Gray8, VideoLayout::Gray16, VideoLayout::Rgb24,
                                              VideoLayout::Rgb48};

int g_file = -1;  // the in-memory file each input is written to

[[noreturn]] void Abort(const char* what, const VideoReader& reader, uint64_t frame) {
    std::fprintf(stderr, "VideoFuzzer: %s at frame %llu: %ux%u, %u bits, %llu frames\n", what,
                 static_cast<unsigned long long>(frame), reader.Width(), reader.Height(), reader.BitDepth(),
                 static_cast<unsigned long long>(reader.FrameCount()));
    std::abort();
}

bool WriteInput(const uint8_t* data, size_t size) {
    if (ftruncate(g_file, 0) != 0) {
        return false;
    }
    for (size_t done = 0; done < size;) {
        const ssize_t written = pwrite(g_file, data + done, size - done, static_cast<off_t>(done));
        if (written <= 0) {
            return false;
        }
        done += static_cast<size_t>(written);
    }
    return true;
}

// One frame in a buffer prefilled with pattern; what came back is kept in frame and its status.
VideoStatus ReadFrame(VideoReader& reader, VideoLayout layout, uint8_t pattern, uint64_t index, VideoFrame& frame) {
    reader.SetLayout(layout);
    frame.pixels.assign(reader.FrameBytes(), pattern);
    const VideoStatus status = reader.Next(frame);
    if (status == VideoStatus::End) {
        return status;
    }
    if (frame.index != index) {
        Abort("frame out of order", reader, index);
    }
    const bool whole = frame.pixels.size() == reader.FrameBytes();
    if (status == VideoStatus::Frame ? !whole : !(whole || frame.pixels.empty())) {
        Abort("frame of the wrong size", reader, index);
    }
    if (status == VideoStatus::Damaged && frame.error.empty()) {
        Abort("damaged frame without a reason", reader, index);
    }
    return status;
}

void Exercise(VideoReader& reader, uint8_t choice) {
    if (reader.Width() == 0 || reader.Height() == 0 || reader.Width() > kMaxSide || reader.Height() > kMaxSide ||
        reader.BitDepth() < 8) {
        Abort("accepted", reader, 0);
    }
    for (uint64_t frame = 0; frame <= reader.FrameCount(); ++frame) {
        if (reader.FrameDuration(frame).count() < 0) {
            Abort("negative duration", reader, frame);
        }
    }
    const VideoLayout own = reader.Layout();
    const VideoLayout other = kLayouts[choice % kLayouts.size()];
    auto layoutOf = [&](uint64_t frame) { return frame % 2 == 0 ? own : other; };

    std::vector<VideoStatus> statuses;
    std::vector<std::vector<uint8_t>> first;
    VideoFrame frame;
    for (uint64_t index = 0; index < kMaxFrames; ++index) {
        const VideoStatus status = ReadFrame(reader, layoutOf(index), 0xa5, index, frame);
        if (status == VideoStatus::End) {
            break;
        }
        if (index < kRewoundFrames) {
            statuses.push_back(status);
            first.push_back(frame.pixels);
        }
    }

    reader.Rewind();
    for (uint64_t index = 0; index < statuses.size(); ++index) {
        const VideoStatus status = ReadFrame(reader, layoutOf(index), 0x5a, index, frame);
        if (status != statuses[index] || frame.pixels != first[index]) {
            Abort("rewound frame differs", reader, index);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    av_log_set_level(AV_LOG_QUIET);  // FFmpeg's complaints about bad videos would flood the log
    av_max_alloc(kFFmpegMaxAlloc);
    g_file = memfd_create("video", MFD_CLOEXEC);
    if (g_file < 0) {
        std::perror("VideoFuzzer: memfd_create");
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    if (!WriteInput(data, size)) {
        std::perror("VideoFuzzer: writing the input");
        std::abort();
    }
    try {
        VideoReader reader("/proc/self/fd/" + std::to_string(g_file), kMaxSide);
        Exercise(reader, data[size - 1]);
    } catch (const std::runtime_error&) {
        // A refused file, at opening or at the rewind.
    }
    return 0;
}
