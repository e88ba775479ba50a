// What the whole process has used so far (getrusage): CPU time, user and system, of every thread,
// and the context switches, voluntary or not. Benchmarks take it before and after their window.
#pragma once

#include <sys/resource.h>

namespace quarvo_bench {

struct ProcessUsage {
    double cpuSeconds = 0;
    double switches = 0;
};

inline ProcessUsage CurrentProcessUsage() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_usec); };
    return {seconds(usage.ru_utime) + seconds(usage.ru_stime), static_cast<double>(usage.ru_nvcsw + usage.ru_nivcsw)};
}

}  // namespace quarvo_bench
