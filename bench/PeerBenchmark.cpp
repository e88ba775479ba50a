// The peer: the in-process fake camera of Aravis, driven the way the producer is (largest frame
// rate, 16 buffers kept queued by the consumer loop), for the same frame sizes.
#include "bench/Suite.h"

#ifdef QUARVO_BENCH_WITH_ARAVIS

#include <arv.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "bench/Measure.h"

namespace quarvo_bench {

namespace {

void Check(GError* error, const char* what) {
    if (error != nullptr) {
        const std::string text = std::string(what) + ": " + error->message;
        g_error_free(error);
        throw std::runtime_error(text);
    }
}

// Only the fake interface is searched: no network or USB discovery.
const char* FakeDeviceId() {
    static const std::string id = [] {
        for (unsigned i = 0; i < arv_get_n_interfaces(); ++i) {
            const std::string name = arv_get_interface_id(i);
            if (name != "Fake") {
                arv_disable_interface(name.c_str());
            }
        }
        arv_enable_interface("Fake");
        arv_update_device_list();
        if (arv_get_n_devices() == 0) {
            throw std::runtime_error("the Aravis fake interface lists no camera");
        }
        return std::string(arv_get_device_id(0));
    }();
    return id.c_str();
}

class FakeCamera {
public:
    FakeCamera(uint32_t width, uint32_t height, size_t buffers) {
        GError* error = nullptr;
        m_camera = arv_camera_new(FakeDeviceId(), &error);
        Check(error, "arv_camera_new");
        arv_camera_set_pixel_format(m_camera, ARV_PIXEL_FORMAT_MONO_8, &error);
        Check(error, "arv_camera_set_pixel_format");
        arv_camera_set_region(m_camera, 0, 0, static_cast<gint>(width), static_cast<gint>(height), &error);
        Check(error, "arv_camera_set_region");
        double minimum = 0;
        double maximum = 0;
        arv_camera_get_frame_rate_bounds(m_camera, &minimum, &maximum, &error);
        Check(error, "arv_camera_get_frame_rate_bounds");
        arv_camera_set_frame_rate(m_camera, maximum, &error);
        Check(error, "arv_camera_set_frame_rate");
        m_frame_rate = arv_camera_get_frame_rate(m_camera, &error);
        Check(error, "arv_camera_get_frame_rate");
        m_payload = arv_camera_get_payload(m_camera, &error);
        Check(error, "arv_camera_get_payload");
        m_stream = arv_camera_create_stream(m_camera, nullptr, nullptr, &error);
        Check(error, "arv_camera_create_stream");
        for (size_t i = 0; i < buffers; ++i) {
            arv_stream_push_buffer(m_stream, arv_buffer_new(m_payload, nullptr));
        }
        arv_camera_start_acquisition(m_camera, &error);
        Check(error, "arv_camera_start_acquisition");
    }
    ~FakeCamera() {
        if (m_camera != nullptr) {
            arv_camera_stop_acquisition(m_camera, nullptr);
        }
        if (m_stream != nullptr) {
            g_object_unref(m_stream);
        }
        if (m_camera != nullptr) {
            g_object_unref(m_camera);
        }
    }
    FakeCamera(const FakeCamera&) = delete;
    FakeCamera& operator=(const FakeCamera&) = delete;

    // Takes the next successful buffer and queues it again.
    void NextFrame() {
        ArvBuffer* buffer = arv_stream_timeout_pop_buffer(m_stream, 2000000);
        if (buffer == nullptr) {
            throw std::runtime_error("no buffer from the fake camera within 2 s");
        }
        const bool ok = arv_buffer_get_status(buffer) == ARV_BUFFER_STATUS_SUCCESS;
        arv_stream_push_buffer(m_stream, buffer);
        if (!ok) {
            ++m_failed;
        }
    }

    size_t Payload() const { return m_payload; }
    double FrameRate() const { return m_frame_rate; }
    uint64_t Failed() const { return m_failed; }

private:
    ArvCamera* m_camera = nullptr;
    ArvStream* m_stream = nullptr;
    size_t m_payload = 0;
    double m_frame_rate = 0;
    uint64_t m_failed = 0;
};

void PeerFrames(benchmark::State& state, uint32_t width, uint32_t height) {
    try {
        FakeCamera camera(width, height, 16);
        for (int i = 0; i < 4; ++i) {
            camera.NextFrame();
        }
        for (auto _ : state) {
            camera.NextFrame();
        }
        SetFrameCounters(state, camera.Payload());
        state.counters["frame_rate_set"] = camera.FrameRate();
        state.counters["failed_frames"] = static_cast<double>(camera.Failed());
    } catch (const std::exception& problem) {
        state.SkipWithError(problem.what());
    }
}

}  // namespace

void RegisterPeerBenchmarks() {
    benchmark::RegisterBenchmark(kPeerMono8Tiny, PeerFrames, 8, 8)->UseRealTime()->MinTime(1.0);
    benchmark::RegisterBenchmark(kPeerMono8Vga, PeerFrames, 640, 480)->UseRealTime()->MinTime(1.0);
    benchmark::RegisterBenchmark(kPeerMono8Large, PeerFrames, 2048, 2048)->UseRealTime()->MinTime(1.0);
}

}  // namespace quarvo_bench

#else

namespace quarvo_bench {
void RegisterPeerBenchmarks() {}
}  // namespace quarvo_bench

#endif
