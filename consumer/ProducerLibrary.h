// A GenTL producer (.cti) loaded with dlopen, its C functions bound with dlsym. The library
// stays loaded as long as the object lives; every other consumer object borrows it. The
// producer's own dependencies resolve to its own copies first (RTLD_DEEPBIND), so a producer
// built with another version of a library this program uses (Aravis, GLib) keeps its own.
#pragma once

#include <string>

#include "gentl/GenTL.h"

// The producer functions this consumer calls.
#define QUARVO_CONSUMER_FUNCTIONS(X)                                                              \
    X(GCGetInfo) X(GCGetLastError) X(GCInitLib) X(GCCloseLib) X(GCReadPort) X(GCWritePort)        \
    X(GCRegisterEvent) X(GCUnregisterEvent) X(EventGetData) X(EventKill) X(TLOpen) X(TLClose)     \
    X(TLGetInfo) X(TLGetNumInterfaces) X(TLGetInterfaceID) X(TLGetInterfaceInfo)                  \
    X(TLOpenInterface) X(TLUpdateInterfaceList) X(IFClose) X(IFGetInfo) X(IFGetNumDevices)        \
    X(IFGetDeviceID) X(IFUpdateDeviceList) X(IFGetDeviceInfo) X(IFOpenDevice) X(DevGetPort)       \
    X(DevGetNumDataStreams) X(DevGetDataStreamID) X(DevOpenDataStream) X(DevGetInfo) X(DevClose)  \
    X(DSAnnounceBuffer) X(DSAllocAndAnnounceBuffer) X(DSFlushQueue) X(DSStartAcquisition)         \
    X(DSStopAcquisition) X(DSGetInfo) X(DSClose) X(DSRevokeBuffer) X(DSQueueBuffer)               \
    X(DSGetBufferInfo)

// The ways of naming a port's GenApi document: a producer need offer only one of them, so these
// stay null when the producer does not export them.
#define QUARVO_CONSUMER_OPTIONAL_FUNCTIONS(X) X(GCGetPortURL) X(GCGetNumPortURLs) X(GCGetPortURLInfo)

namespace quarvo {

// The last-error text a producer's GCGetLastError gives ("" when it has none to tell, or its last
// error is success).
std::string LastErrorText(decltype(&::GCGetLastError) getLastError);

class ProducerLibrary {
public:
    // Loads the producer at path; throws std::runtime_error ("cannot load
    // ...", "... does not export ...") when the file is no usable producer.
    explicit ProducerLibrary(const std::string& path);
    ~ProducerLibrary();
    ProducerLibrary(const ProducerLibrary&) = delete;
    ProducerLibrary& operator=(const ProducerLibrary&) = delete;

    const std::string& Path() const { return m_path; }

    // The producer's last-error text ("" when it has none to tell, or its last error is success).
    std::string LastErrorText() const;
    // Throws GenTLError naming call, the code and the last-error text unless code is success.
    void Check(GC_ERROR code, const char* call) const;

#define QUARVO_CONSUMER_DECLARE(name) decltype(&::name) name = nullptr;
    QUARVO_CONSUMER_FUNCTIONS(QUARVO_CONSUMER_DECLARE)
    QUARVO_CONSUMER_OPTIONAL_FUNCTIONS(QUARVO_CONSUMER_DECLARE)
#undef QUARVO_CONSUMER_DECLARE

private:
    std::string m_path;
    void* m_handle = nullptr;
};

}  // namespace quarvo
