// Loads a private copy of the built producer with dlopen, the way a GenTL consumer does, so that
// every test starts from a freshly loaded library (no last error, nothing initialised).
#pragma once

#include <string>

#include "gentl/GenTL.h"

#define QUARVO_EXPORTED_FUNCTIONS(X)                                                                  \
    X(GCGetInfo) X(GCGetLastError) X(GCInitLib) X(GCCloseLib) X(GCReadPort) X(GCWritePort)            \
    X(GCGetPortURL) X(GCGetPortInfo) X(GCGetNumPortURLs) X(GCGetPortURLInfo) X(GCReadPortStacked)     \
    X(GCWritePortStacked) X(GCRegisterEvent) X(GCUnregisterEvent) X(EventGetData) X(EventGetDataInfo) \
    X(EventGetInfo) X(EventFlush) X(EventKill) X(TLOpen) X(TLClose) X(TLGetInfo) X(TLGetNumInterfaces) \
    X(TLGetInterfaceID) X(TLGetInterfaceInfo) X(TLOpenInterface) X(TLUpdateInterfaceList) X(IFClose)  \
    X(IFGetInfo) X(IFGetNumDevices) X(IFGetDeviceID) X(IFUpdateDeviceList) X(IFGetDeviceInfo)         \
    X(IFOpenDevice) X(IFGetParentTL) X(DevGetPort) X(DevGetNumDataStreams) X(DevGetDataStreamID)      \
    X(DevOpenDataStream) X(DevGetInfo) X(DevClose) X(DevGetParentIF) X(DSAnnounceBuffer)              \
    X(DSAllocAndAnnounceBuffer) X(DSFlushQueue) X(DSStartAcquisition) X(DSStopAcquisition)            \
    X(DSGetInfo) X(DSGetBufferID) X(DSClose) X(DSRevokeBuffer) X(DSQueueBuffer) X(DSGetBufferInfo)    \
    X(DSGetBufferChunkData) X(DSGetParentDev) X(DSGetNumBufferParts) X(DSGetBufferPartInfo)

namespace quarvo_test {

struct LastError {
    GC_ERROR code;
    std::string text;
};

class ProducerLib {
public:
    // withSimulator false installs the producer alone, without the frame-grabber component;
    // relative loads it by a path relative to its own directory, then returns to the previous
    // working directory.
    explicit ProducerLib(bool withSimulator = true, bool relative = false);
    ~ProducerLib();
    ProducerLib(const ProducerLib&) = delete;
    ProducerLib& operator=(const ProducerLib&) = delete;

    // Directory the private copy lives in, and the copy's full path.
    const std::string& Directory() const { return m_directory; }
    std::string Path() const { return m_directory + "/Quarvo.cti"; }

    // Puts the frame-grabber component at path next to the copy, in place of the simulator. The
    // producer loads its component at the first TLOpen, so this must come before it.
    void UseComponent(const std::string& path) const;

    // The current last-error record, read through GCGetLastError.
    LastError Error() const;

#define QUARVO_DECLARE_FUNCTION(name) decltype(&::name) name = nullptr;
    QUARVO_EXPORTED_FUNCTIONS(QUARVO_DECLARE_FUNCTION)
#undef QUARVO_DECLARE_FUNCTION

private:
    std::string m_directory;
    void* m_handle = nullptr;
};

// Paths of the built artefacts.
std::string BuiltProducerPath();
std::string BuiltSimulatorPath();

}  // namespace quarvo_test
