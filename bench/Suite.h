// The benchmarks of quarvo_benchmark, by name, and the summary printed after them: every figure
// next to its target, with the ratios against memset and against the peer measured in the same run.
#pragma once

namespace quarvo_bench {

constexpr const char* kMemsetLarge = "Memory/memset/2048x2048";
constexpr const char* kMemcpyLarge = "Memory/memcpy/2048x2048";
constexpr const char* kMemsetLargeEach16 = "Memory/memset_each_of_16/2048x2048";

constexpr const char* kQuarvoMono8Tiny = "Quarvo/Frames/Mono8/8x8";
constexpr const char* kQuarvoMono8Vga = "Quarvo/Frames/Mono8/640x480";
constexpr const char* kQuarvoRGB8Vga = "Quarvo/Frames/RGB8/640x480";
constexpr const char* kQuarvoMono8Large = "Quarvo/Frames/Mono8/2048x2048";
constexpr const char* kQuarvoLatencyIdle = "Quarvo/Latency/Mono8/640x480/1000fps";
constexpr const char* kQuarvoLatencyBusy = "Quarvo/Latency/Mono8/640x480/unthrottled";
constexpr const char* kQuarvoReadRemote = "Quarvo/GCReadPort/remote_WidthReg";
constexpr const char* kQuarvoReadSystem = "Quarvo/GCReadPort/System_register";
constexpr const char* kQuarvoReadOwnModule = "Quarvo/GCReadPort/module_register_per_thread";
constexpr const char* kQuarvoAnnounceRevoke = "Quarvo/DSAnnounceBuffer+DSRevokeBuffer";
constexpr const char* kQuarvoPacing = "Quarvo/Pacing/Mono8/640x480/60fps";

constexpr const char* kPeerMono8Tiny = "Aravis/Frames/Mono8/8x8";
constexpr const char* kPeerMono8Vga = "Aravis/Frames/Mono8/640x480";
constexpr const char* kPeerMono8Large = "Aravis/Frames/Mono8/2048x2048";

void RegisterQuarvoBenchmarks();
// Registers nothing when the program was built without Aravis.
void RegisterPeerBenchmarks();

}  // namespace quarvo_bench
