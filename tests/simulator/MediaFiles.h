// Test helper: image files written by FFmpeg's own encoders, so that the tests hold files of
// every format a folder replays without keeping binary files in the tree.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
}

#include <cstdint>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

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

}  // namespace sim_test
