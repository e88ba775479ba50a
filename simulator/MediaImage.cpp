#include "simulator/MediaImage.h"

#include "simulator/MediaHandles.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <vector>

namespace Quibbon::Sim {

namespace {

using namespace Media;

constexpr int kIoBufferSize = 1 << 16;
// Only the demuxers and decoders of the image formats are let at the bytes: others (audio and
// video containers, tags) would read sizes the file claims and allocate that much first.
constexpr char kImageDemuxers[] = "png_pipe,tiff_pipe,bmp_pipe,jpeg_pipe";
constexpr char kImageDecoders[] = "png,tiff,bmp,mjpeg";
// Rows of converted samples are padded to a multiple of this many bytes, with one more than needed.
constexpr size_t kRowSlack = 64;

// The bytes FFmpeg reads the image from.
struct MemoryReader {
    const uint8_t* data;
    size_t size;
    size_t at;
};

int ReadBytes(void* opaque, uint8_t* buffer, int size) {
    auto* reader = static_cast<MemoryReader*>(opaque);
    const size_t count = std::min(static_cast<size_t>(size), reader->size - reader->at);
    if (count == 0) {
        return AVERROR_EOF;
    }
    std::memcpy(buffer, reader->data + reader->at, count);
    reader->at += count;
    return static_cast<int>(count);
}

int64_t SeekBytes(void* opaque, int64_t offset, int whence) {
    auto* reader = static_cast<MemoryReader*>(opaque);
    const auto size = static_cast<int64_t>(reader->size);
    if (whence == AVSEEK_SIZE) {
        return size;
    }
    int64_t position = offset;
    switch (whence & ~AVSEEK_FORCE) {
        case SEEK_SET: break;
        case SEEK_CUR: position += static_cast<int64_t>(reader->at); break;
        case SEEK_END: position += size; break;
        default: return -1;
    }
    if (position < 0 || position > size) {
        return -1;
    }
    reader->at = static_cast<size_t>(position);
    return position;
}

struct IoContextDeleter {
    void operator()(AVIOContext* io) const {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};
[[noreturn]] void Refuse(const std::string& why) { throw std::runtime_error(why); }

std::unique_ptr<AVIOContext, IoContextDeleter> OpenMemory(MemoryReader& reader) {
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
    AVIOContext* io = buffer != nullptr
                          ? avio_alloc_context(buffer, kIoBufferSize, 0, &reader, ReadBytes, nullptr, SeekBytes)
                          : nullptr;
    if (io == nullptr) {
        av_free(buffer);
        throw std::bad_alloc();
    }
    return std::unique_ptr<AVIOContext, IoContextDeleter>(io);
}

std::unique_ptr<AVFormatContext, FormatDeleter> OpenFormat(AVIOContext* io, uint32_t maxSide) {
    AVFormatContext* format = avformat_alloc_context();
    if (format == nullptr) {
        throw std::bad_alloc();
    }
    format->pb = io;
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "format_whitelist", kImageDemuxers, 0);
    av_dict_set(&options, "codec_whitelist", kImageDecoders, 0);
    const int opened = avformat_open_input(&format, nullptr, nullptr, &options);  // frees format on failure
    av_dict_free(&options);
    if (opened < 0) {
        Refuse("is not an image file");
    }
    std::unique_ptr<AVFormatContext, FormatDeleter> owned(format);
    // Finding the image's size decodes it already, with decoders of FFmpeg's own: they get the
    // same limit as ours, so that a header claiming millions of rows allocates nothing.
    std::vector<AVDictionary*> limits(format->nb_streams, nullptr);
    for (AVDictionary*& limit : limits) {
        av_dict_set_int(&limit, "max_pixels", int64_t{maxSide} * maxSide, 0);
    }
    const int found = avformat_find_stream_info(format, limits.data());
    for (AVDictionary*& limit : limits) {
        av_dict_free(&limit);
    }
    if (found < 0) {
        Refuse("is not an image file");
    }
    return owned;
}

std::unique_ptr<AVCodecContext, CodecDeleter> OpenDecoder(const AVStream& stream, uint32_t maxSide) {
    const AVCodecParameters& parameters = *stream.codecpar;
    const AVCodec* codec = avcodec_find_decoder(parameters.codec_id);
    if (codec == nullptr) {
        Refuse("holds an image in a form that cannot be decoded");
    }
    if (parameters.width <= 0 || parameters.height <= 0) {
        // FFmpeg leaves the size unset when it cannot read it and when it is beyond the limit.
        Refuse("cannot be decoded (its size cannot be read, or it is larger than " + std::to_string(maxSide) +
               " pixels a side)");
    }
    if (static_cast<uint32_t>(parameters.width) > maxSide || static_cast<uint32_t>(parameters.height) > maxSide) {
        Refuse("is " + std::to_string(parameters.width) + "x" + std::to_string(parameters.height) + ", larger than " +
               std::to_string(maxSide) + " pixels a side");
    }
    std::unique_ptr<AVCodecContext, CodecDeleter> decoder(avcodec_alloc_context3(codec));
    if (!decoder || avcodec_parameters_to_context(decoder.get(), &parameters) < 0) {
        throw std::bad_alloc();
    }
    // The decoder refuses pictures beyond the limit, whatever the headers said before.
    decoder->max_pixels = int64_t{maxSide} * maxSide;
    decoder->thread_count = 1;
    if (const int result = avcodec_open2(decoder.get(), codec, nullptr); result < 0) {
        Refuse("cannot be decoded (" + ErrorText(result) + ")");
    }
    return decoder;
}

// Feeds the stream's packets to the decoder until it gives a picture.
std::unique_ptr<AVFrame, FrameDeleter> DecodeFirst(AVFormatContext& format, int stream, AVCodecContext& decoder) {
    std::unique_ptr<AVFrame, FrameDeleter> frame(av_frame_alloc());
    std::unique_ptr<AVPacket, PacketDeleter> packet(av_packet_alloc());
    if (!frame || !packet) {
        throw std::bad_alloc();
    }
    int result = 0;
    while ((result = av_read_frame(&format, packet.get())) >= 0) {
        const bool ours = packet->stream_index == stream;
        const int sent = ours ? avcodec_send_packet(&decoder, packet.get()) : 0;
        av_packet_unref(packet.get());
        if (sent < 0 && sent != AVERROR(EAGAIN)) {
            Refuse("cannot be decoded (" + ErrorText(sent) + ")");
        }
        if (ours && avcodec_receive_frame(&decoder, frame.get()) == 0) {
            return frame;
        }
    }
    avcodec_send_packet(&decoder, nullptr);
    if (avcodec_receive_frame(&decoder, frame.get()) == 0) {
        return frame;
    }
    Refuse("holds no image that can be decoded");
}

// The frame as grey or RGB samples of 8 or 16 bits, converted by libswscale, then widened.
SourceImage ToSamples(const AVFrame& frame) {
    const auto* described = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(frame.format));
    if (described == nullptr || frame.width <= 0 || frame.height <= 0) {
        Refuse("holds an image in a pixel layout that cannot be converted");
    }
    const bool grey = IsGrey(*described);
    const bool deep = described->comp[0].depth > 8;
    const AVPixelFormat target = grey ? (deep ? AV_PIX_FMT_GRAY16 : AV_PIX_FMT_GRAY8)
                                      : (deep ? AV_PIX_FMT_RGB48 : AV_PIX_FMT_RGB24);
    std::unique_ptr<SwsContext, ScalerDeleter> scaler(
        sws_getContext(frame.width, frame.height, static_cast<AVPixelFormat>(frame.format), frame.width, frame.height,
                       target, SWS_POINT, nullptr, nullptr, nullptr));
    if (!scaler) {
        Refuse("holds an image in a pixel layout that cannot be converted (" + std::string(described->name) + ")");
    }
    SourceImage image;
    image.width = static_cast<uint32_t>(frame.width);
    image.height = static_cast<uint32_t>(frame.height);
    image.channels = grey ? 1 : 3;
    const size_t rowSamples = size_t{image.width} * image.channels;
    const size_t bytesPerSample = deep ? 2 : 1;
    // libswscale writes whole blocks of pixels (eight at a time from 1-bit images): every row
    // gets room to spare, and the buffer some after the last row.
    const size_t stride = (rowSamples * bytesPerSample + kRowSlack + kRowSlack - 1) / kRowSlack * kRowSlack;
    std::vector<uint8_t> converted(stride * (image.height + 1));
    uint8_t* planes[4] = {converted.data(), nullptr, nullptr, nullptr};
    int strides[4] = {static_cast<int>(stride), 0, 0, 0};
    sws_scale(scaler.get(), frame.data, frame.linesize, 0, frame.height, planes, strides);
    image.samples.resize(rowSamples * image.height);
    for (uint32_t y = 0; y < image.height; ++y) {
        const uint8_t* row = converted.data() + stride * y;
        uint16_t* out = image.samples.data() + rowSamples * y;
        if (deep) {
            std::memcpy(out, row, rowSamples * sizeof(uint16_t));  // native 16-bit samples
        } else {
            std::transform(row, row + rowSamples, out, [](uint8_t value) { return static_cast<uint16_t>(value * 257); });
        }
    }
    return image;
}

}  // namespace

SourceImage ReadImageBytes(const void* data, size_t size, uint32_t maxSide) {
    if (data == nullptr || size == 0) {
        Refuse("is empty");
    }
    MemoryReader reader{static_cast<const uint8_t*>(data), size, 0};
    const auto io = OpenMemory(reader);
    const auto format = OpenFormat(io.get(), maxSide);
    const int stream = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (stream < 0) {
        Refuse("holds no image");
    }
    const auto decoder = OpenDecoder(*format->streams[stream], maxSide);
    return ToSamples(*DecodeFirst(*format, stream, *decoder));
}

SourceImage ReadImage(const std::string& path, uint32_t maxSide) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        Refuse(std::string("cannot be opened (") + std::strerror(errno) + ")");
    }
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) {
        Refuse(std::string("cannot be read (") + std::strerror(errno) + ")");
    }
    return ReadImageBytes(bytes.data(), bytes.size(), maxSide);
}

}  // namespace Quibbon::Sim
