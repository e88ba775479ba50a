#include "simulator/VideoReader.h"

#include "simulator/MediaHandles.h"
#include "simulator/VideoConverter.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <vector>

namespace Quibbon::Sim {

using namespace Media;

namespace {

// The containers a video is read from; image, raw and tag demuxers never see the bytes.
constexpr const char* kContainers = "mov,mp4,m4a,3gp,3g2,mj2,matroska,webm,avi";
constexpr AVRational kDefaultFrameRate{25, 1};

[[noreturn]] void Refuse(const std::string& why) { throw std::runtime_error(why); }

FormatPtr OpenInput(const std::string& path, uint32_t maxSide) {
    AVDictionary* options = nullptr;
    av_dict_set(&options, "format_whitelist", kContainers, 0);
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    AVFormatContext* format = nullptr;
    // The "file:" prefix keeps a colon in the name from selecting another protocol.
    int result = avformat_open_input(&format, ("file:" + path).c_str(), nullptr, &options);
    av_dict_free(&options);
    if (result < 0) {  // frees format
        // Bytes no allowed demuxer takes give "invalid data", or "invalid argument" when a demuxer
        // outside the list recognised them.
        const bool foreign = result == AVERROR_INVALIDDATA || result == AVERROR(EINVAL);
        Refuse(foreign ? "is not a video file" : "cannot be opened (" + ErrorText(result) + ")");
    }
    FormatPtr owned(format);
    // Finding the streams' sizes decodes frames already, with decoders of FFmpeg's own: they get
    // the same limit as ours, so that a header claiming millions of rows allocates nothing.
    std::vector<AVDictionary*> limits(format->nb_streams, nullptr);
    for (AVDictionary*& limit : limits) {
        av_dict_set_int(&limit, "max_pixels", int64_t{maxSide} * maxSide, 0);
    }
    result = avformat_find_stream_info(format, limits.data());
    for (AVDictionary*& limit : limits) {
        av_dict_free(&limit);
    }
    if (result < 0) {
        Refuse("is not a video file (" + ErrorText(result) + ")");
    }
    return owned;
}

int FindVideoStream(AVFormatContext& format) {
    const int stream = av_find_best_stream(&format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (stream < 0 || (format.streams[stream]->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0) {
        Refuse("holds no video stream");
    }
    return stream;
}

void CheckSize(int width, int height, uint32_t maxSide) {
    if (width <= 0 || height <= 0) {
        // FFmpeg leaves the size unset when it cannot read it and when it is beyond the limit.
        Refuse("gives no frame size that can be read, or one larger than " + std::to_string(maxSide) +
               " pixels a side");
    }
    if (static_cast<uint32_t>(width) > maxSide || static_cast<uint32_t>(height) > maxSide) {
        Refuse("is " + std::to_string(width) + "x" + std::to_string(height) + ", larger than " +
               std::to_string(maxSide) + " pixels a side");
    }
}

CodecPtr OpenDecoder(const AVStream& stream, uint32_t maxSide) {
    const AVCodecParameters& parameters = *stream.codecpar;
    const AVCodec* codec = avcodec_find_decoder(parameters.codec_id);
    if (codec == nullptr) {
        Refuse("holds video in a form that cannot be decoded (" + std::string(avcodec_get_name(parameters.codec_id)) +
               ")");
    }
    CheckSize(parameters.width, parameters.height, maxSide);
    CodecPtr decoder(avcodec_alloc_context3(codec));
    if (!decoder || avcodec_parameters_to_context(decoder.get(), &parameters) < 0) {
        throw std::bad_alloc();
    }
    // The decoder refuses pictures beyond the limit, whatever the headers said before.
    decoder->max_pixels = int64_t{maxSide} * maxSide;
    decoder->thread_count = 1;
    decoder->pkt_timebase = stream.time_base;
    if (const int result = avcodec_open2(decoder.get(), codec, nullptr); result < 0) {
        Refuse("cannot be decoded (" + ErrorText(result) + ")");
    }
    return decoder;
}

// Packets of the stream that carry a frame: empty ones (AVI's markers of dropped frames) would
// tell the decoder that the input ended.
bool CarriesFrame(const AVPacket& packet, int stream) { return packet.stream_index == stream && packet.size > 0; }

// Packets the container cuts from the presentation (by an MP4 edit list) are decoded as references
// but give no frame.
bool ShowsFrame(const AVPacket& packet, int stream) {
    return CarriesFrame(packet, stream) && (packet.flags & AV_PKT_FLAG_DISCARD) == 0;
}

AVRational FrameRate(const AVStream& stream) {
    for (const AVRational rate : {stream.avg_frame_rate, stream.r_frame_rate}) {
        if (rate.num > 0 && rate.den > 0) {
            return rate;
        }
    }
    return kDefaultFrameRate;
}

uint32_t ClampTicks(int64_t ticks) {
    return static_cast<uint32_t>(std::clamp<int64_t>(ticks, 1, std::numeric_limits<uint32_t>::max()));
}

struct Shape {
    uint32_t width;
    uint32_t height;
    bool grey;
    uint32_t bitDepth;
};

// The size and kind of the video's frames, from its first one.
Shape Describe(const AVFrame& first, uint32_t maxSide) {
    CheckSize(first.width, first.height, maxSide);
    const auto format = static_cast<AVPixelFormat>(first.format);
    const auto* described = av_pix_fmt_desc_get(format);
    if (described == nullptr || !VideoConverter::Converts(format)) {
        Refuse("holds frames in a pixel layout that cannot be converted (" +
               std::string(described != nullptr ? described->name : "unknown") + ")");
    }
    return {static_cast<uint32_t>(first.width), static_cast<uint32_t>(first.height), IsGrey(*described),
            static_cast<uint32_t>(std::max(8, described->comp[0].depth))};
}

}  // namespace

struct VideoReader::Decoding {
    FormatPtr format;
    int stream = -1;
    CodecPtr decoder;
    PacketPtr packet{av_packet_alloc()};
    FramePtr frame{av_frame_alloc()};
    bool pending = false;  // frame holds a picture Next has not given yet
    VideoConverter converter;

    Decoding(const std::string& path, uint32_t maxSide) : format(OpenInput(path, maxSide)), stream(FindVideoStream(*format)) {
        if (!packet || !frame) {
            throw std::bad_alloc();
        }
        decoder = OpenDecoder(*format->streams[stream], maxSide);
    }

    // Sends the stream's next packet to the decoder, or the end of the input; a failure to read
    // the file ends the input too.
    int Feed() {
        for (;;) {
            const int read = av_read_frame(format.get(), packet.get());
            if (read < 0) {
                avcodec_send_packet(decoder.get(), nullptr);
                return read == AVERROR_EOF ? 0 : read;
            }
            if (CarriesFrame(*packet, stream)) {
                const int sent = avcodec_send_packet(decoder.get(), packet.get());
                av_packet_unref(packet.get());
                return sent;
            }
            av_packet_unref(packet.get());
        }
    }

    // Decodes into frame: 0, AVERROR_EOF at the end, another error for a frame that failed.
    int Pull() {
        for (;;) {
            const int received = avcodec_receive_frame(decoder.get(), frame.get());
            if (received != AVERROR(EAGAIN)) {
                return received;
            }
            if (const int fed = Feed(); fed < 0) {
                return fed;
            }
        }
    }

    bool Convert(VideoLayout layout, uint8_t* pixels) { return converter.Convert(*frame, layout, pixels); }
};

VideoReader::VideoReader(const std::string& path, uint32_t maxSide)
    : m_path(path), m_maxSide(maxSide), m_decoding(std::make_unique<Decoding>(path, maxSide)) {
    if (const int result = m_decoding->Pull(); result < 0) {
        Refuse(result == AVERROR_EOF ? "holds no frame that can be decoded"
                                     : "holds no frame that can be decoded (" + ErrorText(result) + ")");
    }
    m_decoding->pending = true;
    const Shape shape = Describe(*m_decoding->frame, maxSide);
    m_width = shape.width;
    m_height = shape.height;
    m_grey = shape.grey;
    m_bitDepth = shape.bitDepth;
    const bool deep = m_bitDepth > 8;
    m_layout = m_grey ? (deep ? VideoLayout::Gray16 : VideoLayout::Gray8)
                      : (deep ? VideoLayout::Rgb48 : VideoLayout::Rgb24);
    CountFrames();
}

VideoReader::~VideoReader() = default;

// One pass over the packets of a second opening of the file: their presentation times, sorted,
// give each frame's duration.
void VideoReader::CountFrames() {
    const Decoding counting(m_path, m_maxSide);
    std::vector<int64_t> starts;
    bool stamped = true;
    int64_t latest = std::numeric_limits<int64_t>::min();
    int64_t lastDuration = 0;
    AVPacket& packet = *counting.packet;
    while (av_read_frame(counting.format.get(), &packet) >= 0) {
        if (ShowsFrame(packet, counting.stream)) {
            stamped = stamped && packet.pts != AV_NOPTS_VALUE;
            if (packet.pts != AV_NOPTS_VALUE && packet.pts >= latest) {
                latest = packet.pts;
                lastDuration = packet.duration;
            }
            starts.push_back(packet.pts);
        }
        av_packet_unref(&packet);
    }
    std::sort(starts.begin(), starts.end());
    stamped = stamped && std::adjacent_find(starts.begin(), starts.end()) == starts.end();
    const AVStream& stream = *counting.format->streams[counting.stream];
    const AVRational tick = stamped ? stream.time_base : av_inv_q(FrameRate(stream));
    m_tickNumerator = tick.num;
    m_tickDenominator = tick.den;
    const int64_t frameTicks = av_rescale_q(1, av_inv_q(FrameRate(stream)), tick);
    m_durations.assign(starts.size(), ClampTicks(frameTicks));
    if (stamped && !starts.empty()) {
        for (size_t i = 0; i + 1 < starts.size(); ++i) {
            m_durations[i] = ClampTicks(starts[i + 1] - starts[i]);
        }
        if (lastDuration > 0) {
            m_durations.back() = ClampTicks(lastDuration);
        }
    }
}

std::chrono::nanoseconds VideoReader::FrameDuration(uint64_t frame) const {
    if (frame >= m_durations.size()) {
        return std::chrono::nanoseconds(0);
    }
    return std::chrono::nanoseconds(
        av_rescale(m_durations[frame], int64_t{m_tickNumerator} * 1000000000, m_tickDenominator));
}

size_t VideoReader::FrameBytes() const {
    return size_t{m_width} * m_height * VideoConverter::BytesPerPixel(m_layout);
}

VideoStatus VideoReader::Next(VideoFrame& out) {
    if (!m_decoding->pending) {
        const int result = m_decoding->Pull();
        if (result == AVERROR_EOF) {
            return VideoStatus::End;
        }
        if (result < 0) {
            return Damaged(out, "cannot be decoded (" + ErrorText(result) + ")");
        }
    }
    m_decoding->pending = false;
    const AVFrame& frame = *m_decoding->frame;
    if (static_cast<uint32_t>(frame.width) != m_width || static_cast<uint32_t>(frame.height) != m_height) {
        return Damaged(out, "is " + std::to_string(frame.width) + "x" + std::to_string(frame.height) +
                                ", not the video's " + std::to_string(m_width) + "x" + std::to_string(m_height));
    }
    out.pixels.resize(FrameBytes());
    if (!m_decoding->Convert(m_layout, out.pixels.data())) {
        return Damaged(out, "has a pixel layout that cannot be converted");
    }
    out.index = m_next++;
    const bool flawed = (frame.flags & AV_FRAME_FLAG_CORRUPT) != 0 || frame.decode_error_flags != 0;
    out.error = flawed ? "was decoded with errors" : "";
    return flawed ? VideoStatus::Damaged : VideoStatus::Frame;
}

VideoStatus VideoReader::Damaged(VideoFrame& out, const std::string& why) {
    out.index = m_next++;
    out.pixels.clear();
    out.error = why;
    return VideoStatus::Damaged;
}

void VideoReader::Rewind() {
    m_decoding = std::make_unique<Decoding>(m_path, m_maxSide);
    m_next = 0;
}

}  // namespace Quibbon::Sim
