// Helpers shared by the benchmark programs: clocks, percentiles and the counters every frame
// benchmark reports.
#pragma once

#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace quarvo_bench {

inline uint64_t RealtimeNs() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000000ULL + static_cast<uint64_t>(now.tv_nsec);
}

inline uint64_t MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000000ULL + static_cast<uint64_t>(now.tv_nsec);
}

// CPU time of the whole process (all threads: the consumer loop and the producer's acquisition
// thread), which a busy machine disturbs less than the wall time.
inline uint64_t ProcessCpuNs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000000ULL + static_cast<uint64_t>(now.tv_nsec);
}

// The q-quantile (0..1) of the values, nearest rank; 0 for none.
inline double Quantile(std::vector<double> values, double q) {
    if (values.empty()) {
        return 0;
    }
    const size_t rank = std::min(values.size() - 1, static_cast<size_t>(q * static_cast<double>(values.size())));
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(rank), values.end());
    return values[rank];
}

// frames/s, microseconds per frame and bytes per second of a loop that handled one frame of
// payload bytes per iteration.
inline void SetFrameCounters(benchmark::State& state, uint64_t payload) {
    const double frames = static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * payload));
    state.counters["fps"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
    state.counters["us_per_frame"] =
        benchmark::Counter(frames / 1e6, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Frames taken and given back before a measurement starts, so that it sees the steady state.
constexpr int kWarmUpFrames = 64;

}  // namespace quarvo_bench
