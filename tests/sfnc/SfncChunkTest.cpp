// Chunk data of the SFNC camera through the producer. The chunk values are read by Aravis' chunk
// parser on the delivered bytes with the camera's own document, as a third-party reader of the
// GigE Vision layout, and must equal what the producer reports of the same buffer.
#include <gtest/gtest.h>

#include <arv.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "sfnc/SfncFixture.h"

namespace quarvo_test {
namespace {

constexpr uint32_t kImageSize = 64 * 48 * 2;  // Mono16
constexpr size_t kBuffers = 5;                 // the fewest a stream starts with
constexpr uint32_t kChunkIdImage = 0x0A5A0000;
const char* const kChunks[] = {"Timestamp", "FrameID", "ExposureTime", "Gain", "Width", "Height", "PixelFormat"};
constexpr uint32_t kChunkLengths[] = {8, 8, 8, 8, 4, 4, 4};

constexpr char kRig[] = R"([[board]]
[[board.camera]]
id = "Sfnc"
profile = "sfnc"
width = 64
height = 48
pixel_format = "Mono16"
frame_rate = 0
pattern = "still-ramp"
)";

// Aravis 0.8 has no public call that marks a buffer of its own making as holding chunk data, so
// the fields its chunk accessor reads are set through a mirror of the head of its private buffer
// record. Wrap checks the mirror against the public accessors before relying on it.
struct ArvBufferHead {
    size_t allocated_size;
    gboolean is_preallocated;
    unsigned char* data;
    void* user_data;
    GDestroyNotify user_data_destroy_func;
    ArvBufferStatus status;
    size_t received_size;
    ArvBufferPayloadType payload_type;
    gboolean has_chunks;
    guint32 chunk_endianness;
    guint64 frame_id;
    guint64 timestamp_ns;
};
struct ArvBufferObject {
    GObject object;
    ArvBufferHead* priv;
};

struct ArvBufferDeleter {
    void operator()(ArvBuffer* buffer) const { g_object_unref(buffer); }
};
using ArvBufferPtr = std::unique_ptr<ArvBuffer, ArvBufferDeleter>;

ArvBufferPtr Wrap(std::vector<uint8_t>& bytes) {
    ArvBufferPtr buffer(arv_buffer_new(bytes.size(), bytes.data()));
    ArvBufferHead* head = reinterpret_cast<ArvBufferObject*>(buffer.get())->priv;
    arv_buffer_set_frame_id(buffer.get(), 0x1234);
    arv_buffer_set_timestamp(buffer.get(), 0x5678);
    if (head->data != bytes.data() || head->allocated_size != bytes.size() || head->frame_id != 0x1234 ||
        head->timestamp_ns != 0x5678) {
        ADD_FAILURE() << "the installed Aravis lays out its buffer record differently";
        return nullptr;
    }
    head->status = ARV_BUFFER_STATUS_SUCCESS;
    head->received_size = bytes.size();
    head->payload_type = ARV_BUFFER_PAYLOAD_TYPE_CHUNK_DATA;
    head->has_chunks = TRUE;
    head->chunk_endianness = G_BIG_ENDIAN;
    return buffer;
}

struct Delivered {
    uint64_t frameID = 0;
    uint64_t timestampNs = 0;
    uint64_t width = 0;
    uint64_t height = 0;
    uint64_t pixelFormat = 0;
    size_t payloadType = 0;
    size_t layoutID = 0;
    bool containsChunks = false;
    bool incomplete = false;
    std::vector<SINGLE_CHUNK_DATA> chunks;
    std::vector<uint8_t> bytes;
};

class SfncChunks : public SfncFixture {
protected:
    SfncChunks() : SfncFixture(kRig) {}

    void TearDown() override {
        if (parser != nullptr) {
            g_object_unref(parser);
        }
        camera.reset();
        OpenStream::TearDown();
    }

    void Enable(const char* chunk, bool on) {
        camera->SetEnumeration("ChunkSelector", chunk);
        camera->SetBoolean("ChunkEnable", on);
    }

    void EnableAll() {
        camera->SetBoolean("ChunkModeActive", true);
        for (const char* chunk : kChunks) {
            Enable(chunk, true);
        }
    }

    // The next delivered buffer as the producer describes it, queued again.
    Delivered Next() {
        Delivered frame;
        BUFFER_HANDLE buffer = NextBuffer();
        if (buffer == nullptr) {
            ADD_FAILURE() << "no frame";
            return frame;
        }
        frame.frameID = BufferInfo<uint64_t>(buffer, BUFFER_INFO_FRAMEID);
        frame.timestampNs = BufferInfo<uint64_t>(buffer, BUFFER_INFO_TIMESTAMP_NS);
        frame.width = BufferInfo<size_t>(buffer, BUFFER_INFO_WIDTH);
        frame.height = BufferInfo<size_t>(buffer, BUFFER_INFO_HEIGHT);
        frame.pixelFormat = BufferInfo<uint64_t>(buffer, BUFFER_INFO_PIXELFORMAT);
        frame.payloadType = BufferInfo<size_t>(buffer, BUFFER_INFO_PAYLOADTYPE);
        frame.layoutID = BufferInfo<uint64_t>(buffer, BUFFER_INFO_CHUNKLAYOUTID);
        frame.containsChunks = BufferInfo<uint8_t>(buffer, BUFFER_INFO_CONTAINS_CHUNKDATA) != 0;
        frame.incomplete = BufferInfo<uint8_t>(buffer, BUFFER_INFO_IS_INCOMPLETE) != 0;
        size_t count = 0;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.DSGetBufferChunkData(stream, buffer, nullptr, &count)) << lib.Error().text;
        EXPECT_LE(count, StreamInfo<size_t>(STREAM_INFO_NUM_CHUNKS_MAX)) << "the room a consumer prepares";
        frame.chunks.resize(count);
        if (count > 0) {
            size_t room = count - 1;
            EXPECT_EQ(GC_ERR_BUFFER_TOO_SMALL, lib.DSGetBufferChunkData(stream, buffer, frame.chunks.data(), &room));
            EXPECT_EQ(GC_ERR_SUCCESS, lib.DSGetBufferChunkData(stream, buffer, frame.chunks.data(), &count));
        }
        const auto* base = static_cast<const uint8_t*>(BufferInfo<void*>(buffer, BUFFER_INFO_BASE));
        frame.bytes.assign(base, base + BufferInfo<size_t>(buffer, BUFFER_INFO_SIZE_FILLED));
        EXPECT_EQ(GC_ERR_SUCCESS, lib.DSQueueBuffer(stream, buffer)) << lib.Error().text;
        return frame;
    }

    // One frame with the current settings.
    Delivered Grab() {
        Start(kBuffers, static_cast<size_t>(camera->Integer("PayloadSize")));
        Delivered frame = Next();
        Stop();
        return frame;
    }

    // The camera's document, fetched as a consumer does, in Aravis' chunk parser.
    ArvChunkParser* Parser() {
        if (parser == nullptr) {
            char url[256] = {};
            size_t size = sizeof url;
            EXPECT_EQ(GC_ERR_SUCCESS, lib.GCGetPortURL(remote, url, &size)) << lib.Error().text;
            unsigned long long address = 0;
            unsigned long long length = 0;
            EXPECT_EQ(2, std::sscanf(url, "Local:%*[^;];%llx;%llx", &address, &length)) << url;
            std::string xml(length, '\0');
            size = xml.size();
            EXPECT_EQ(GC_ERR_SUCCESS, lib.GCReadPort(remote, address, xml.data(), &size)) << lib.Error().text;
            parser = arv_chunk_parser_new(xml.data(), xml.size());
        }
        return parser;
    }

    template <typename Get>
    auto Chunk(ArvBuffer* buffer, const std::string& feature, Get get) {
        GError* error = nullptr;
        const auto value = get(Parser(), buffer, feature.c_str(), &error);
        if (error != nullptr) {
            ADD_FAILURE() << feature << ": " << error->message;
            g_error_free(error);
        }
        return value;
    }
    int64_t IntegerChunk(ArvBuffer* buffer, const std::string& feature) {
        return Chunk(buffer, feature, arv_chunk_parser_get_integer_value);
    }
    double FloatChunk(ArvBuffer* buffer, const std::string& feature) {
        return Chunk(buffer, feature, arv_chunk_parser_get_float_value);
    }

    ArvChunkParser* parser = nullptr;
};

// Every frame of an acquisition with every chunk on: the values a GenApi reader finds in the
// chunks are the frame's own, and the producer lists the chunks where the reader found them.
TEST_F(SfncChunks, ChunkValuesAreTheFramesOwn) {
    EnableAll();
    camera->SetFloat("ExposureTime", 2500.0);
    camera->SetFloat("Gain", 6.0);
    uint32_t chunksSize = 8;  // the image's own ID and length
    for (uint32_t length : kChunkLengths) {
        chunksSize += length + 8;
    }
    const auto payload = static_cast<uint32_t>(camera->Integer("PayloadSize"));
    ASSERT_EQ(kImageSize + chunksSize, payload);

    Start(kBuffers, payload);
    uint64_t previousStamp = 0;
    size_t layout = 0;
    for (uint64_t i = 0; i < 6; ++i) {
        SCOPED_TRACE("frame " + std::to_string(i));
        Delivered frame = Next();
        ASSERT_EQ(payload, frame.bytes.size());
        EXPECT_EQ(size_t{PAYLOAD_TYPE_CHUNK_DATA}, frame.payloadType);
        EXPECT_TRUE(frame.containsChunks);
        EXPECT_FALSE(frame.incomplete);
        EXPECT_NE(0u, frame.layoutID);
        EXPECT_TRUE(layout == 0 || layout == frame.layoutID) << "one set of chunks, one layout";
        layout = frame.layoutID;
        EXPECT_EQ(i, frame.frameID);
        EXPECT_GT(frame.timestampNs, previousStamp);
        previousStamp = frame.timestampNs;

        ArvBufferPtr buffer = Wrap(frame.bytes);
        ASSERT_NE(nullptr, buffer);
        EXPECT_EQ(int64_t(frame.frameID), IntegerChunk(buffer.get(), "ChunkFrameID"));
        EXPECT_EQ(int64_t(frame.timestampNs), IntegerChunk(buffer.get(), "ChunkTimestamp"));
        EXPECT_EQ(int64_t(frame.width), IntegerChunk(buffer.get(), "ChunkWidth"));
        EXPECT_EQ(int64_t(frame.height), IntegerChunk(buffer.get(), "ChunkHeight"));
        EXPECT_EQ(int64_t(frame.pixelFormat), IntegerChunk(buffer.get(), "ChunkPixelFormat"));
        EXPECT_EQ(2500.0, FloatChunk(buffer.get(), "ChunkExposureTime"));
        EXPECT_EQ(6.0, FloatChunk(buffer.get(), "ChunkGain"));

        // The image first, then each chunk in selector order, back to back up to the end.
        ASSERT_EQ(1 + std::size(kChunks), frame.chunks.size());
        EXPECT_EQ(kChunkIdImage, frame.chunks[0].ChunkID);
        EXPECT_EQ(0, frame.chunks[0].ChunkOffset);
        EXPECT_EQ(kImageSize, frame.chunks[0].ChunkLength);
        for (size_t c = 1; c < frame.chunks.size(); ++c) {
            EXPECT_EQ(kChunkIdImage + c, frame.chunks[c].ChunkID);
            EXPECT_EQ(kChunkLengths[c - 1], frame.chunks[c].ChunkLength);
            EXPECT_EQ(frame.chunks[c - 1].ChunkOffset + ptrdiff_t(frame.chunks[c - 1].ChunkLength + 8),
                      frame.chunks[c].ChunkOffset);
        }
        EXPECT_EQ(ptrdiff_t(payload), frame.chunks.back().ChunkOffset + ptrdiff_t(frame.chunks.back().ChunkLength + 8));
        // The chunk of the frame ID as the producer lists it holds the value the reader found.
        uint64_t listedID = 0;
        std::memcpy(&listedID, frame.bytes.data() + frame.chunks[2].ChunkOffset, sizeof listedID);
        EXPECT_EQ(frame.frameID, listedID);
    }
    Stop();
}

// The payload size and the chunk layout follow the chunk settings, and a frame carries just the
// chunks that are on.
TEST_F(SfncChunks, PayloadAndLayoutFollowChunkEnable) {
    EXPECT_EQ(kImageSize, camera->Integer("PayloadSize"));
    Delivered plain = Grab();
    EXPECT_EQ(size_t{PAYLOAD_TYPE_IMAGE}, plain.payloadType);
    EXPECT_FALSE(plain.containsChunks);
    EXPECT_TRUE(plain.chunks.empty());

    Enable("Timestamp", true);
    EXPECT_EQ(kImageSize, camera->Integer("PayloadSize")) << "chunks count only while chunk mode is active";
    camera->SetBoolean("ChunkModeActive", true);
    EXPECT_EQ(kImageSize + 8 + 16, camera->Integer("PayloadSize"));
    const Delivered stamped = Grab();
    ASSERT_EQ(2u, stamped.chunks.size());
    EXPECT_EQ(kChunkIdImage + 1, stamped.chunks[1].ChunkID);

    Enable("Width", true);
    Enable("FrameID", true);
    EXPECT_EQ(kImageSize + 8 + 16 + 16 + 12, camera->Integer("PayloadSize"));
    const Delivered more = Grab();
    ASSERT_EQ(4u, more.chunks.size());
    EXPECT_EQ(kChunkIdImage + 2, more.chunks[2].ChunkID) << "chunks in selector order";
    EXPECT_EQ(kChunkIdImage + 5, more.chunks[3].ChunkID);
    EXPECT_NE(stamped.layoutID, more.layoutID);
    EXPECT_EQ(more.layoutID, Grab().layoutID);

    Enable("Width", false);
    Enable("FrameID", false);
    EXPECT_EQ(stamped.layoutID, Grab().layoutID) << "the same set of chunks, the same layout";

    // Chunk settings change the payload, so the camera locks them while it acquires.
    Start(kBuffers, static_cast<size_t>(camera->Integer("PayloadSize")));
    EXPECT_NE("", GenApiErrorOf([&] { camera->SetBoolean("ChunkModeActive", false); }));
    EXPECT_NE("", GenApiErrorOf([&] { Enable("Gain", true); }));
    Stop();
}

// A buffer too small for image and chunks: the frame is incomplete and reported so, nothing is
// written past the buffer, and no chunk is listed since none can be found from the end.
TEST_F(SfncChunks, TooSmallBufferIsIncompleteWithoutOverrun) {
    EnableAll();
    const auto payload = static_cast<size_t>(camera->Integer("PayloadSize"));
    const size_t size = payload - 12;
    constexpr size_t kGuard = 64;
    const size_t stride = size + kGuard;
    std::vector<uint8_t> memory(kBuffers * stride, 0xCD);
    for (size_t i = 0; i < kBuffers; ++i) {
        BUFFER_HANDLE buffer = nullptr;
        ASSERT_EQ(GC_ERR_SUCCESS, lib.DSAnnounceBuffer(stream, memory.data() + i * stride, size, nullptr, &buffer))
            << lib.Error().text;
        ASSERT_EQ(GC_ERR_SUCCESS, lib.DSQueueBuffer(stream, buffer));
        buffers.push_back(buffer);
    }
    ASSERT_EQ(GC_ERR_SUCCESS, lib.DSStartAcquisition(stream, ACQ_START_FLAGS_DEFAULT, 2)) << lib.Error().text;
    camera->Execute("AcquisitionStart");
    for (int i = 0; i < 2; ++i) {
        const Delivered frame = Next();
        EXPECT_TRUE(frame.incomplete);
        EXPECT_EQ(size, frame.bytes.size());
        EXPECT_TRUE(frame.chunks.empty());
    }
    Stop();
    for (size_t i = 0; i < kBuffers; ++i) {
        EXPECT_EQ(std::vector<uint8_t>(kGuard, 0xCD),
                  std::vector<uint8_t>(memory.begin() + i * stride + size, memory.begin() + (i + 1) * stride))
            << "buffer " << i;
    }
}

}  // namespace
}  // namespace quarvo_test
