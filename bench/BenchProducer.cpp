#include "bench/BenchProducer.h"

#include <cstdlib>
#include <string>

namespace quarvo_bench {

namespace {

std::string ProducerPath() {
    const char* chosen = std::getenv("QUARVO_BENCH_PRODUCER");
    return chosen != nullptr && *chosen != '\0' ? std::string(chosen) : std::string(QUARVO_CTI_PATH);
}

}  // namespace

Producer& TheProducer() {
    static Producer producer(ProducerPath());
    static const bool initialised = [] {
        QUARVO_CHECK(producer, GCInitLib());
        return true;
    }();
    (void)initialised;
    return producer;
}

}  // namespace quarvo_bench
