// Test helper: image and video files written by FFmpeg's own encoders and muxers, so that the
// tests hold files of every format the simulator replays without keeping binary files in the tree.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
}

#include <cstdint>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/simulator/TempFiles.h"

namespace sim_test {

// Encodes one picture of that pixel layout with the codec's encoder and writes it to folder/name.
// samples hold the picture's single plane (grey, packed RGB or BGR), rows without padding; JPEG
// takes its planar YUV instead: width x height luma, then the two chroma planes at half size.
inline std::string WriteImageFile(const TempFolder& folder, const std::string& name, AVCodecID codecId,
                                  AVPixelFormat format, int width, int height, const void* samples) {
    const AVCodec* codec = avcodec_find_encoder(codecId);
    if (codec == nullptr) {
        throw std::runtime_error("no encoder for " + name);
    }
    std::unique_ptr<AVCodecContext, void (*)(AVCodecContext*)> context(
        avcodec_alloc_context3(codec), [](AVCodecContext* c) { avcodec_free_context(&c); });
    context->width = width;
    context->height = height;
    context->pix_fmt = format;
    context->time_base = {1, 25};
    context->flags |= AV_CODEC_FLAG_QSCALE;
    context->global_quality = FF_QP2LAMBDA;  // the best JPEG quality
    if (avcodec_open2(context.get(), codec, nullptr) < 0) {
        throw std::runtime_error("cannot open the encoder for " + name);
    }
    std::unique_ptr<AVFrame, void (*)(AVFrame*)> frame(av_frame_alloc(), [](AVFrame* f) { av_frame_free(&f); });
    frame->width = width;
    frame->height = height;
    frame->format = format;
    frame->quality = FF_QP2LAMBDA;
    av_image_fill_arrays(frame->data, frame->linesize, static_cast<const uint8_t*>(samples), format, width, height, 1);
    std::unique_ptr<AVPacket, void (*)(AVPacket*)> packet(av_packet_alloc(), [](AVPacket* p) { av_packet_free(&p); });
    if (avcodec_send_frame(context.get(), frame.get()) < 0 || avcodec_send_frame(context.get(), nullptr) < 0 ||
        avcodec_receive_packet(context.get(), packet.get()) < 0) {
        throw std::runtime_error("cannot encode " + name);
    }
    const std::string path = (folder.Path() / name).string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(packet->data), packet->size);
    return path;
}

namespace detail {

using Muxer = std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)>;

// An output file of the container its name's extension gives.
inline Muxer OpenMuxer(const std::string& path) {
    AVFormatContext* context = nullptr;
    if (avformat_alloc_output_context2(&context, nullptr, nullptr, path.c_str()) < 0) {
        throw std::runtime_error("no muxer for " + path);
    }
    return Muxer(context, [](AVFormatContext* c) {
        avio_closep(&c->pb);
        avformat_free_context(c);
    });
}

inline void StartFile(AVFormatContext& muxer, const std::string& path) {
    if (avio_open(&muxer.pb, path.c_str(), AVIO_FLAG_WRITE) < 0 || avformat_write_header(&muxer, nullptr) < 0) {
        throw std::runtime_error("cannot start " + path);
    }
}

// Moves every packet the encoder has ready into the file.
inline void Drain(AVCodecContext& encoder, AVFormatContext& muxer, AVStream& stream) {
    std::unique_ptr<AVPacket, void (*)(AVPacket*)> packet(av_packet_alloc(), [](AVPacket* p) { av_packet_free(&p); });
    while (avcodec_receive_packet(&encoder, packet.get()) == 0) {
        // Each packet lasts one frame, so that an MP4 edit list keeps the last one too.
        packet->duration = packet->duration > 0 ? packet->duration : 1;
        av_packet_rescale_ts(packet.get(), encoder.time_base, stream.time_base);
        packet->stream_index = stream.index;
        if (av_interleaved_write_frame(&muxer, packet.get()) < 0) {
            throw std::runtime_error("cannot write a packet");
        }
    }
}

}  // namespace detail

// Encodes the pictures, fps a second, with the named encoder (and its options, as "qp=0") into the
// container that name's extension gives. Each picture holds its planes one after the other, rows
// without padding (av_image_fill_arrays with alignment 1). Picture n is stamped stamps[n] in units
// of 1/fps s where stamps are given, else n.
inline std::string WriteVideoFile(const TempFolder& folder, const std::string& name, const std::string& encoderName,
                                  AVPixelFormat format, int width, int height,
                                  const std::vector<std::vector<uint8_t>>& pictures, int fps,
                                  const std::string& options = "", const std::vector<int64_t>& stamps = {}) {
    const AVCodec* codec = avcodec_find_encoder_by_name(encoderName.c_str());
    if (codec == nullptr) {
        throw std::runtime_error("no encoder " + encoderName);
    }
    const std::string path = (folder.Path() / name).string();
    const detail::Muxer muxer = detail::OpenMuxer(path);
    std::unique_ptr<AVCodecContext, void (*)(AVCodecContext*)> encoder(
        avcodec_alloc_context3(codec), [](AVCodecContext* c) { avcodec_free_context(&c); });
    encoder->width = width;
    encoder->height = height;
    encoder->pix_fmt = format;
    encoder->time_base = {1, fps};
    encoder->framerate = {fps, 1};
    encoder->thread_count = 1;
    if ((muxer->oformat->flags & AVFMT_GLOBALHEADER) != 0) {
        encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    AVDictionary* settings = nullptr;
    av_dict_parse_string(&settings, options.c_str(), "=", ":", 0);
    const int opened = avcodec_open2(encoder.get(), codec, &settings);
    av_dict_free(&settings);
    AVStream* stream = avformat_new_stream(muxer.get(), nullptr);
    if (opened < 0 || stream == nullptr || avcodec_parameters_from_context(stream->codecpar, encoder.get()) < 0) {
        throw std::runtime_error("cannot open the encoder for " + name);
    }
    stream->time_base = encoder->time_base;
    detail::StartFile(*muxer, path);
    std::unique_ptr<AVFrame, void (*)(AVFrame*)> frame(av_frame_alloc(), [](AVFrame* f) { av_frame_free(&f); });
    for (size_t index = 0; index <= pictures.size(); ++index) {
        const bool last = index == pictures.size();
        if (!last) {
            frame->width = width;
            frame->height = height;
            frame->format = format;
            frame->pts = stamps.empty() ? static_cast<int64_t>(index) : stamps[index];
            av_image_fill_arrays(frame->data, frame->linesize, pictures[index].data(), format, width, height, 1);
        }
        if (avcodec_send_frame(encoder.get(), last ? nullptr : frame.get()) < 0) {
            throw std::runtime_error("cannot encode " + name);
        }
        detail::Drain(*encoder, *muxer, *stream);
    }
    if (av_write_trailer(muxer.get()) < 0) {
        throw std::runtime_error("cannot finish " + name);
    }
    return path;
}

// A tenth of a second of silence (16-bit PCM, 8000 samples a second) as the only stream of the
// container that name's extension gives.
inline std::string WriteAudioFile(const TempFolder& folder, const std::string& name) {
    const std::string path = (folder.Path() / name).string();
    const detail::Muxer muxer = detail::OpenMuxer(path);
    AVStream* stream = avformat_new_stream(muxer.get(), nullptr);
    stream->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
    stream->codecpar->codec_id = AV_CODEC_ID_PCM_S16LE;
    stream->codecpar->sample_rate = 8000;
    stream->codecpar->ch_layout = AV_CHANNEL_LAYOUT_MONO;
    stream->codecpar->bits_per_coded_sample = 16;
    stream->time_base = {1, 8000};
    detail::StartFile(*muxer, path);
    std::vector<uint8_t> silence(1600);
    std::unique_ptr<AVPacket, void (*)(AVPacket*)> packet(av_packet_alloc(), [](AVPacket* p) { av_packet_free(&p); });
    packet->data = silence.data();
    packet->size = static_cast<int>(silence.size());
    packet->pts = packet->dts = 0;
    packet->duration = 800;
    if (av_write_frame(muxer.get(), packet.get()) < 0 || av_write_trailer(muxer.get()) < 0) {
        throw std::runtime_error("cannot write " + name);
    }
    return path;
}

// Pictures of bytes noise bytes each: frames that differ everywhere and that lossless codecs
// store at about their size.
inline std::vector<std::vector<uint8_t>> NoisePictures(size_t frames, size_t bytes, uint32_t seed = 12345) {
    std::vector<std::vector<uint8_t>> pictures(frames, std::vector<uint8_t>(bytes));
    for (auto& picture : pictures) {
        for (uint8_t& byte : picture) {
            seed = seed * 1103515245 + 12345;
            byte = static_cast<uint8_t>(seed >> 16);
        }
    }
    return pictures;
}

// Overwrites the middle half of packet n (in file order) of the video file with noise: a frame
// its decoder fails on, in a file that still opens.
inline void DamagePacket(const std::string& path, int n) {
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) {
        throw std::runtime_error("cannot open " + path);
    }
    AVPacket* packet = av_packet_alloc();
    for (int read = 0; read <= n && av_read_frame(format, packet) >= 0; ++read) {
        if (read < n) {
            av_packet_unref(packet);
        }
    }
    const int64_t offset = packet->pos + packet->size / 4;
    const std::vector<uint8_t> noise = NoisePictures(1, static_cast<size_t>(packet->size / 2)).front();
    av_packet_free(&packet);
    avformat_close_input(&format);
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(offset);
    file.write(reinterpret_cast<const char*>(noise.data()), static_cast<std::streamsize>(noise.size()));
}

}  // namespace sim_test
