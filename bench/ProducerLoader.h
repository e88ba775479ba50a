// Loads the built producer with dlopen and resolves its exported GenTL functions, the way any
// GenTL consumer reaches it. The benchmarks call nothing of the producer but these.
#pragma once

#include <string>

#include "gentl/GenTL.h"

#define QUARVO_BENCH_FUNCTIONS(X)                                                                    \
    X(GCGetLastError) X(GCInitLib) X(GCCloseLib) X(GCReadPort) X(GCWritePort) X(GCRegisterEvent)       \
    X(GCUnregisterEvent) X(EventGetData) X(EventKill) X(TLOpen) X(TLClose) X(TLUpdateInterfaceList)    \
    X(TLGetNumInterfaces) X(TLGetInterfaceID) X(TLOpenInterface) X(IFClose) X(IFUpdateDeviceList)      \
    X(IFGetNumDevices) X(IFGetDeviceID) X(IFOpenDevice) X(DevGetPort) X(DevOpenDataStream) X(DevClose) \
    X(DSAnnounceBuffer) X(DSAllocAndAnnounceBuffer) X(DSRevokeBuffer) X(DSQueueBuffer) X(DSFlushQueue) \
    X(DSStartAcquisition) X(DSStopAcquisition) X(DSGetInfo) X(DSGetBufferInfo) X(DSClose)

namespace quarvo_bench {

class Producer {
public:
    // Loads the producer at path; when path is empty, the one named by the environment variable
    // QUARVO_BENCH_PRODUCER, else the built Quarvo.cti (it finds libQuibbon.so beside itself).
    // Throws std::runtime_error when it cannot be loaded or lacks an export.
    explicit Producer(const std::string& path = {});
    ~Producer();
    Producer(const Producer&) = delete;
    Producer& operator=(const Producer&) = delete;

    // Throws std::runtime_error naming the call and the producer's last error unless result is
    // GC_ERR_SUCCESS.
    void Check(GC_ERROR result, const char* call) const;

#define QUARVO_BENCH_DECLARE(name) decltype(&::name) name = nullptr;
    QUARVO_BENCH_FUNCTIONS(QUARVO_BENCH_DECLARE)
#undef QUARVO_BENCH_DECLARE

private:
    void* m_handle = nullptr;
};

// The process-wide producer, loaded and initialised (GCInitLib) on first use.
Producer& TheProducer();

}  // namespace quarvo_bench

// Calls a producer function and throws unless it succeeds.
#define QUARVO_CHECK(producer, call) (producer).Check((producer).call, #call)
