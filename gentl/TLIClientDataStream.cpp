// Exported Data Stream functions.
#include "gentl/CatchFrame.h"
#include "gentl/MsgComposer.h"

using namespace GenTL;

namespace {

GC_ERROR NotImplemented(const char* function) {
    return CatchFrame([function]() -> GC_ERROR {
        if (const int code = g_Controller.Check_SetupInitialized()) {
            return code;
        }
        throw implementation_exception(MsgComposer("%s is not implemented.", function));
    });
}

}  // namespace

extern "C" {

GC_API DevOpenDataStream(DEV_HANDLE, const char*, DS_HANDLE*) { return NotImplemented("DevOpenDataStream"); }
GC_API DSAnnounceBuffer(DS_HANDLE, void*, size_t, void*, BUFFER_HANDLE*) { return NotImplemented("DSAnnounceBuffer"); }
GC_API DSAllocAndAnnounceBuffer(DS_HANDLE, size_t, void*, BUFFER_HANDLE*) {
    return NotImplemented("DSAllocAndAnnounceBuffer");
}
GC_API DSFlushQueue(DS_HANDLE, ACQ_QUEUE_TYPE) { return NotImplemented("DSFlushQueue"); }
GC_API DSStartAcquisition(DS_HANDLE, ACQ_START_FLAGS, uint64_t) { return NotImplemented("DSStartAcquisition"); }
GC_API DSStopAcquisition(DS_HANDLE, ACQ_STOP_FLAGS) { return NotImplemented("DSStopAcquisition"); }
GC_API DSGetInfo(DS_HANDLE, STREAM_INFO_CMD, INFO_DATATYPE*, void*, size_t*) { return NotImplemented("DSGetInfo"); }
GC_API DSGetBufferID(DS_HANDLE, uint32_t, BUFFER_HANDLE*) { return NotImplemented("DSGetBufferID"); }
GC_API DSClose(DS_HANDLE) { return NotImplemented("DSClose"); }
GC_API DSRevokeBuffer(DS_HANDLE, BUFFER_HANDLE, void**, void**) { return NotImplemented("DSRevokeBuffer"); }
GC_API DSQueueBuffer(DS_HANDLE, BUFFER_HANDLE) { return NotImplemented("DSQueueBuffer"); }
GC_API DSGetBufferInfo(DS_HANDLE, BUFFER_HANDLE, BUFFER_INFO_CMD, INFO_DATATYPE*, void*, size_t*) {
    return NotImplemented("DSGetBufferInfo");
}
GC_API DSGetBufferChunkData(DS_HANDLE, BUFFER_HANDLE, SINGLE_CHUNK_DATA*, size_t*) {
    return NotImplemented("DSGetBufferChunkData");
}
GC_API DSGetParentDev(DS_HANDLE, DEV_HANDLE*) { return NotImplemented("DSGetParentDev"); }
GC_API DSGetNumBufferParts(DS_HANDLE, BUFFER_HANDLE, uint32_t*) { return NotImplemented("DSGetNumBufferParts"); }
GC_API DSGetBufferPartInfo(DS_HANDLE, BUFFER_HANDLE, uint32_t, BUFFER_PART_INFO_CMD, INFO_DATATYPE*, void*, size_t*) {
    return NotImplemented("DSGetBufferPartInfo");
}

}  // extern "C"
