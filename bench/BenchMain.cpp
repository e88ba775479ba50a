// Runs the benchmarks and then prints every figure next to its target, with the ratios against
// memset and against the peer taken from this same run (these machines are noisy: compare ratios,
// not absolute numbers from different runs).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench/Suite.h"

namespace quarvo_bench {

namespace {

// Passes every run on to the console and keeps it for the summary (the median of repetitions
// when there are repetitions).
class KeepingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) {
                continue;
            }
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Iteration || median) {
                Entry& entry = m_runs[run.run_name.str()];
                if (median || !entry.median) {
                    entry = Entry{run, median};
                }
            }
        }
    }

    // The run whose name starts with name (and ran on that many threads, when given), or null.
    const Run* Find(const std::string& name, int threads = 0) const {
        for (const auto& [key, entry] : m_runs) {
            if (key.compare(0, name.size(), name) == 0 && (threads == 0 || entry.run.threads == threads)) {
                return &entry.run;
            }
        }
        return nullptr;
    }

private:
    struct Entry {
        Run run;
        bool median;
    };
    std::map<std::string, Entry> m_runs;
};

double Counter(const benchmark::BenchmarkReporter::Run* run, const char* name) {
    if (run == nullptr) {
        return 0;
    }
    const auto it = run->counters.find(name);
    return it == run->counters.end() ? 0 : it->second.value;
}

double GBps(const benchmark::BenchmarkReporter::Run* run) { return Counter(run, "bytes_per_second") / 1e9; }

// Wall time of one call as each thread sees it, in nanoseconds.
double NsPerCall(const benchmark::BenchmarkReporter::Run* run) {
    if (run == nullptr || run->iterations == 0) {
        return 0;
    }
    return run->real_accumulated_time * 1e9 * run->threads / static_cast<double>(run->iterations);
}

double Ratio(double a, double b) { return b > 0 ? a / b : 0; }

const char* Verdict(bool met, bool measured) { return !measured ? "n/a" : met ? "met" : "MISSED"; }

void PrintSummary(const KeepingReporter& r) {
    std::printf("\n==== Summary (ratios from this run) ====\n");
    const auto* memset1 = r.Find(kMemsetLarge);
    const auto* memcpy1 = r.Find(kMemcpyLarge);
    const auto* memset16 = r.Find(kMemsetLargeEach16);

    const auto* tiny = r.Find(kQuarvoMono8Tiny);
    const auto* peerTiny = r.Find(kPeerMono8Tiny);
    const double tinyUs = Counter(tiny, "us_per_frame");
    const double tinyPeer = Ratio(Counter(tiny, "fps"), Counter(peerTiny, "fps"));
    std::printf("1. 8x8 Mono8: %.0f frames/s, %.2f us/frame (CPU of both threads %.2f us/frame); peer %.0f "
                "frames/s; Quarvo/Aravis %.1fx\n",
                Counter(tiny, "fps"), tinyUs, Counter(tiny, "cpu_us_per_frame"), Counter(peerTiny, "fps"), tinyPeer);
    std::printf("   target <= 5 us/frame: %s; target >= 15x peer: %s\n", Verdict(tinyUs <= 5, tiny != nullptr),
                Verdict(tinyPeer >= 15, tiny != nullptr && peerTiny != nullptr));

    const auto* vga = r.Find(kQuarvoMono8Vga);
    const auto* rgb = r.Find(kQuarvoRGB8Vga);
    const auto* peerVga = r.Find(kPeerMono8Vga);
    std::printf("2. 640x480 Mono8: %.0f frames/s, %.2f GB/s; peer %.0f frames/s; Quarvo/Aravis %.1fx\n",
                Counter(vga, "fps"), GBps(vga), Counter(peerVga, "fps"),
                Ratio(Counter(vga, "fps"), Counter(peerVga, "fps")));
    std::printf("   640x480 RGB8: %.0f frames/s, %.2f GB/s\n", Counter(rgb, "fps"), GBps(rgb));

    const auto* large = r.Find(kQuarvoMono8Large);
    const auto* peerLarge = r.Find(kPeerMono8Large);
    const double toMemset = Ratio(GBps(large), GBps(memset1));
    const double largePeer = Ratio(GBps(large), GBps(peerLarge));
    std::printf("3. 2048x2048 Mono8: %.2f GB/s (%.0f frames/s); memset %.2f GB/s, memcpy %.2f GB/s, "
                "memset of 16 buffers in turn %.2f GB/s; peer %.2f GB/s\n",
                GBps(large), Counter(large, "fps"), GBps(memset1), GBps(memcpy1), GBps(memset16), GBps(peerLarge));
    std::printf("   ratio to memset %.2f, to memcpy %.2f, to memset of 16 buffers %.2f; Quarvo/Aravis %.1fx\n",
                toMemset, Ratio(GBps(large), GBps(memcpy1)), Ratio(GBps(large), GBps(memset16)), largePeer);
    std::printf("   target >= 0.5 memset: %s; target >= 20x peer: %s\n",
                Verdict(toMemset >= 0.5, large != nullptr && memset1 != nullptr),
                Verdict(largePeer >= 20, large != nullptr && peerLarge != nullptr));

    const auto* idle = r.Find(kQuarvoLatencyIdle);
    const auto* busy = r.Find(kQuarvoLatencyBusy);
    std::printf("4. delivery latency, consumer waiting (1000 fps): median %.1f us, p99 %.1f us; "
                "unthrottled: median %.1f us, p99 %.1f us\n",
                Counter(idle, "median_us"), Counter(idle, "p99_us"), Counter(busy, "median_us"),
                Counter(busy, "p99_us"));
    std::printf("   target median < 50 us: %s\n", Verdict(Counter(idle, "median_us") < 50, idle != nullptr));

    std::printf("5. GCReadPort, ns per call on each thread (1 / 2 / 4 threads): remote WidthReg %.0f / %.0f / %.0f; "
                "System register %.0f / %.0f / %.0f\n",
                NsPerCall(r.Find(kQuarvoReadRemote, 1)), NsPerCall(r.Find(kQuarvoReadRemote, 2)),
                NsPerCall(r.Find(kQuarvoReadRemote, 4)), NsPerCall(r.Find(kQuarvoReadSystem, 1)),
                NsPerCall(r.Find(kQuarvoReadSystem, 2)), NsPerCall(r.Find(kQuarvoReadSystem, 4)));
    std::printf("   each thread its own module (System, interface, device, stream) %.0f / %.0f / %.0f\n",
                NsPerCall(r.Find(kQuarvoReadOwnModule, 1)), NsPerCall(r.Find(kQuarvoReadOwnModule, 2)),
                NsPerCall(r.Find(kQuarvoReadOwnModule, 4)));
    const double moduleNs = NsPerCall(r.Find(kQuarvoReadSystem, 1));
    std::printf("   target module register < 200 ns: %s\n", Verdict(moduleNs < 200, moduleNs > 0));
    std::printf("   DSAnnounceBuffer + DSRevokeBuffer: %.2f us\n", NsPerCall(r.Find(kQuarvoAnnounceRevoke)) / 1e3);

    const auto* pacing = r.Find(kQuarvoPacing);
    const double errorPct = Counter(pacing, "mean_error_pct");
    std::printf("6. pacing at 60 fps: mean interval %.4f ms (%+.3f %%), p99 deviation %.3f ms; by time stamps "
                "%.4f ms (%+.3f %%), p99 deviation %.3f ms\n",
                Counter(pacing, "mean_ms"), errorPct, Counter(pacing, "p99_dev_ms"), Counter(pacing, "stamp_mean_ms"),
                Counter(pacing, "stamp_mean_error_pct"), Counter(pacing, "stamp_p99_dev_ms"));
    std::printf("   target mean within 0.5 %%: %s\n", Verdict(errorPct < 0.5 && errorPct > -0.5, pacing != nullptr));
    std::printf("7. Quarvo/Aravis: 8x8 %.1fx, 640x480 %.1fx, 2048x2048 %.1fx\n", tinyPeer,
                Ratio(Counter(vga, "fps"), Counter(peerVga, "fps")), largePeer);
}

}  // namespace

}  // namespace quarvo_bench

int main(int argc, char** argv) {
    quarvo_bench::RegisterQuarvoBenchmarks();
    quarvo_bench::RegisterPeerBenchmarks();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    quarvo_bench::KeepingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    quarvo_bench::PrintSummary(reporter);
    benchmark::Shutdown();
    return 0;
}
