// The producer measured through its exported functions: frames through the acquisition loop of a
// consumer, delivery latency, pacing, register access, buffer announcement, and the memory
// bandwidth the large frames are compared with.
#include <atomic>
#include <cmath>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "bench/Measure.h"
#include "bench/QuarvoCamera.h"
#include "bench/Suite.h"

namespace quarvo_bench {

namespace {

// The consumer loop: take a filled buffer, queue it again.
void Frames(benchmark::State& state, StreamSettings settings) {
    try {
        QuarvoStream stream(settings);
        stream.Start();
        for (int i = 0; i < kWarmUpFrames; ++i) {
            stream.Queue(stream.Next());
        }
        const uint64_t cpuBefore = ProcessCpuNs();
        for (auto _ : state) {
            stream.Queue(stream.Next());
        }
        const uint64_t cpuNs = ProcessCpuNs() - cpuBefore;
        stream.Stop();
        SetFrameCounters(state, stream.PayloadSize());
        state.counters["cpu_us_per_frame"] = static_cast<double>(cpuNs) / 1e3 / static_cast<double>(state.iterations());
    } catch (const std::exception& problem) {
        state.SkipWithError(problem.what());
    }
}

// Time from the fill's time stamp to the return of EventGetData.
void Latency(benchmark::State& state, StreamSettings settings) {
    try {
        QuarvoStream stream(settings);
        std::vector<double> latencies;
        latencies.reserve(static_cast<size_t>(state.max_iterations));
        stream.Start();
        for (int i = 0; i < kWarmUpFrames / 4; ++i) {
            stream.Queue(stream.Next());
        }
        for (auto _ : state) {
            BUFFER_HANDLE buffer = stream.Next();
            const uint64_t returned = RealtimeNs();
            const uint64_t filled = stream.Timestamp(buffer);
            latencies.push_back(static_cast<double>(returned - filled) / 1e3);
            stream.Queue(buffer);
        }
        stream.Stop();
        state.counters["median_us"] = Quantile(latencies, 0.5);
        state.counters["p99_us"] = Quantile(latencies, 0.99);
    } catch (const std::exception& problem) {
        state.SkipWithError(problem.what());
    }
}

// Intervals between frames at a frame-rate limit, both as the consumer receives them and as the
// producer stamps them.
void Pacing(benchmark::State& state, StreamSettings settings) {
    try {
        QuarvoStream stream(settings);
        const double nominalMs = 1e3 / settings.frameRate;
        std::vector<double> arrivals;
        std::vector<double> stamps;
        stream.Start();
        for (int i = 0; i < 2; ++i) {
            stream.Queue(stream.Next());
        }
        for (auto _ : state) {
            BUFFER_HANDLE buffer = stream.Next();
            arrivals.push_back(static_cast<double>(MonotonicNs()) / 1e6);
            stamps.push_back(static_cast<double>(stream.Timestamp(buffer)) / 1e6);
            stream.Queue(buffer);
        }
        stream.Stop();
        const auto summarise = [&](const std::vector<double>& times, const std::string& prefix) {
            if (times.size() < 2) {
                return;
            }
            std::vector<double> deviations;
            for (size_t i = 1; i < times.size(); ++i) {
                deviations.push_back(std::fabs(times[i] - times[i - 1] - nominalMs));
            }
            const double mean = (times.back() - times.front()) / static_cast<double>(times.size() - 1);
            state.counters[prefix + "mean_ms"] = mean;
            state.counters[prefix + "mean_error_pct"] = (mean - nominalMs) / nominalMs * 100;
            state.counters[prefix + "p99_dev_ms"] = Quantile(deviations, 0.99);
        };
        summarise(arrivals, "");
        summarise(stamps, "stamp_");
    } catch (const std::exception& problem) {
        state.SkipWithError(problem.what());
    }
}

// A stream without buffers, shared by the threads of one register benchmark: the first thread
// opens it before the loop (the loop starts together for all threads) and closes it after.
std::unique_ptr<QuarvoStream> g_register_stream;

struct PortRegister {
    PORT_HANDLE port;
    uint64_t address;
};
// What each thread reads, set by the first thread before the loop.
std::atomic<PortRegister*> g_port_registers{nullptr};
PortRegister g_registers[4];

enum class PortTarget {
    RemoteWidth,     // every thread the camera's WidthReg
    SystemRegister,  // every thread the same plain register of the System port
    OwnModule,       // each thread a plain register of a module of its own: System, interface, device, stream
};

void ReadPort(benchmark::State& state, PortTarget target) {
    Producer& producer = TheProducer();
    if (state.thread_index() == 0) {
        try {
            g_register_stream = std::make_unique<QuarvoStream>(StreamSettings{Camera::Mono8, 640, 480, 0, 0});
            const QuarvoStream& stream = *g_register_stream;
            const PortRegister own[4] = {{TheSystem(), kRegSystemVersionMajor},
                                         {stream.Interface(), kRegInterfaceDevicesOpen},
                                         {stream.Device(), kRegDeviceStreamCount},
                                         {stream.Stream(), kRegStreamAnnounced}};
            for (int i = 0; i < 4; ++i) {
                g_registers[i] = target == PortTarget::RemoteWidth      ? PortRegister{stream.RemotePort(), kRegWidth}
                                 : target == PortTarget::SystemRegister ? own[0]
                                                                        : own[i];
            }
            g_port_registers = g_registers;
        } catch (const std::exception& problem) {
            state.SkipWithError(problem.what());
        }
    }
    bool failed = false;
    for (auto _ : state) {
        const PortRegister& read = g_port_registers.load(std::memory_order_relaxed)[state.thread_index() % 4];
        uint32_t value = 0;
        size_t size = sizeof value;
        failed |= producer.GCReadPort(read.port, read.address, &value, &size) != GC_ERR_SUCCESS;
        benchmark::DoNotOptimize(value);
    }
    if (failed) {
        state.SkipWithError("GCReadPort failed");
    }
    if (state.thread_index() == 0) {
        g_port_registers = nullptr;
        g_register_stream.reset();
    }
}

// DSAnnounceBuffer and DSRevokeBuffer of consumer memory on an idle stream.
void AnnounceRevoke(benchmark::State& state) {
    try {
        QuarvoStream stream(StreamSettings{Camera::Mono8, 640, 480, 0, 0});
        Producer& producer = TheProducer();
        std::vector<uint8_t> memory(stream.PayloadSize());
        for (auto _ : state) {
            BUFFER_HANDLE buffer = nullptr;
            QUARVO_CHECK(producer, DSAnnounceBuffer(stream.Stream(), memory.data(), memory.size(), nullptr, &buffer));
            QUARVO_CHECK(producer, DSRevokeBuffer(stream.Stream(), buffer, nullptr, nullptr));
        }
    } catch (const std::exception& problem) {
        state.SkipWithError(problem.what());
    }
}

// Memory bandwidth on buffers of one frame: memset and memcpy of one buffer (which a cache of this
// size may hold), and memset of each of 16 such buffers in turn, as the acquisition fills them.
void Memset(benchmark::State& state, size_t bytes, size_t buffers) {
    std::vector<std::vector<uint8_t>> memory(buffers, std::vector<uint8_t>(bytes, 1));
    size_t next = 0;
    int value = 0;
    for (auto _ : state) {
        std::memset(memory[next].data(), value++ & 0xFF, bytes);
        next = (next + 1) % buffers;
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void Memcpy(benchmark::State& state, size_t bytes) {
    std::vector<uint8_t> source(bytes, 1);
    std::vector<uint8_t> destination(bytes, 2);
    for (auto _ : state) {
        std::memcpy(destination.data(), source.data(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

}  // namespace

void RegisterQuarvoBenchmarks() {
    using benchmark::RegisterBenchmark;
    const size_t large = 2048 * 2048;
    RegisterBenchmark(kMemsetLarge, Memset, large, 1)->UseRealTime();
    RegisterBenchmark(kMemcpyLarge, Memcpy, large)->UseRealTime();
    RegisterBenchmark(kMemsetLargeEach16, Memset, large, 16)->UseRealTime();

    RegisterBenchmark(kQuarvoMono8Tiny, Frames, StreamSettings{Camera::Mono8, 8, 8})->UseRealTime();
    RegisterBenchmark(kQuarvoMono8Vga, Frames, StreamSettings{Camera::Mono8, 640, 480})->UseRealTime();
    RegisterBenchmark(kQuarvoRGB8Vga, Frames, StreamSettings{Camera::RGB8, 640, 480})->UseRealTime();
    RegisterBenchmark(kQuarvoMono8Large, Frames, StreamSettings{Camera::Mono8, 2048, 2048})->UseRealTime();

    RegisterBenchmark(kQuarvoLatencyIdle, Latency, StreamSettings{Camera::Mono8, 640, 480, 1000})
        ->UseRealTime()->Iterations(2000);
    RegisterBenchmark(kQuarvoLatencyBusy, Latency, StreamSettings{Camera::Mono8, 640, 480, 0})
        ->UseRealTime()->Iterations(20000);

    RegisterBenchmark(kQuarvoReadRemote, ReadPort, PortTarget::RemoteWidth)->UseRealTime()->ThreadRange(1, 4);
    RegisterBenchmark(kQuarvoReadSystem, ReadPort, PortTarget::SystemRegister)->UseRealTime()->ThreadRange(1, 4);
    RegisterBenchmark(kQuarvoReadOwnModule, ReadPort, PortTarget::OwnModule)->UseRealTime()->ThreadRange(1, 4);
    RegisterBenchmark(kQuarvoAnnounceRevoke, AnnounceRevoke)->UseRealTime();

    RegisterBenchmark(kQuarvoPacing, Pacing, StreamSettings{Camera::Mono8, 640, 480, 60})
        ->UseRealTime()->Iterations(180)->Unit(benchmark::kMillisecond);
}

}  // namespace quarvo_bench
