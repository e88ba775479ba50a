// The producer the benchmarks drive, loaded through the consumer library the way any GenTL
// consumer reaches it: the benchmarks call nothing of the producer but its exported functions.
#pragma once

#include "consumer/ProducerLibrary.h"

namespace quarvo_bench {

using Producer = quarvo::ProducerLibrary;

// The process-wide producer, loaded and initialised (GCInitLib) on first use: the one named by
// the environment variable QUARVO_BENCH_PRODUCER, else the built Quarvo.cti (it finds
// libQuibbon.so beside itself).
Producer& TheProducer();

}  // namespace quarvo_bench

// Calls a producer function and throws unless it succeeds.
#define QUARVO_CHECK(producer, call) (producer).Check((producer).call, #call)
