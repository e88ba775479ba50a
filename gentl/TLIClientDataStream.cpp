// Exported Data Stream functions: buffers, acquisition and information of an open data stream.
#include <algorithm>
#include <vector>

#include "gentl/ArgumentChecks.h"
#include "gentl/CatchFrame.h"
#include "gentl/InfoWriters.h"
#include "gentl/MsgComposer.h"
#include "modules/BufferInfo.h"
#include "modules/ChunkTrailer.h"
#include "modules/DataStream.h"
#include "modules/Device.h"
#include "modules/Interface.h"

using namespace GenTL;

namespace {

constexpr FrameOptions kUnknownErrorFrame{0, "Unknown Error"};
// The one chunk of a chunk-only payload: a frame counter over the first bytes.
constexpr uint64_t kChunkID = 123;
constexpr size_t kChunkLength = 4;

// One piece of information of a buffer, raising what DSGetBufferInfo reports.
template <typename T>
T BufferInfo(DS_HANDLE hDataStream, BUFFER_HANDLE hBuffer, BUFFER_INFO_CMD iInfoCmd) {
    T value{};
    size_t size = sizeof value;
    INFO_DATATYPE type = INFO_DATATYPE_UNKNOWN;
    if (const GC_ERROR code = DSGetBufferInfo(hDataStream, hBuffer, iInfoCmd, &type, &value, &size);
        code != GC_ERR_SUCCESS) {
        throw gentl_exception(code, MsgComposer("Unable to read the buffer's information %d.", iInfoCmd));
    }
    return value;
}

// The chunks of a delivered image with chunks: none when the payload is incomplete, since its
// chunks are read from its end.
std::vector<SINGLE_CHUNK_DATA> ImageChunks(DS_HANDLE hDataStream, BUFFER_HANDLE hBuffer) {
    if (BufferInfo<uint8_t>(hDataStream, hBuffer, BUFFER_INFO_IS_INCOMPLETE) != 0) {
        return {};
    }
    const auto* base = static_cast<const uint8_t*>(BufferInfo<void*>(hDataStream, hBuffer, BUFFER_INFO_BASE));
    return ParseChunkTrailer(base, BufferInfo<size_t>(hDataStream, hBuffer, BUFFER_INFO_SIZE_FILLED));
}

void ListChunks(const std::vector<SINGLE_CHUNK_DATA>& chunks, SINGLE_CHUNK_DATA* pChunkData, size_t* piNumChunks) {
    CheckParameter(piNumChunks, "piNumChunks");
    if (pChunkData != nullptr && *piNumChunks < chunks.size()) {
        throw buffer_too_small_exception(MsgComposer("The buffer holds %zu chunks; pChunkData has room for %zu.",
                                                     chunks.size(), *piNumChunks));
    }
    if (pChunkData != nullptr) {
        std::copy(chunks.begin(), chunks.end(), pChunkData);
    }
    *piNumChunks = chunks.size();
}

void CheckStreamHandle(DS_HANDLE hDataStream) { CheckHandle(hDataStream, "hDataStream"); }

[[noreturn]] void StreamNotFound(DS_HANDLE hDataStream) {
    throw invalid_handle_exception(
        MsgComposer("The specified data stream hDataStream not found: hDataStream = 0x%p.", hDataStream));
}

// The stream test: the stream is registered with the controller; its device is returned.
void* StreamTest(DS_HANDLE hDataStream) {
    void* device = nullptr;
    if (!g_Controller.FindDataStreamHandle(hDataStream, &device)) {
        StreamNotFound(hDataStream);
    }
    return device;
}

// The chain test: stream, then its device, then the device's interface are registered; the
// interface handle is returned.
void* ChainTest(DS_HANDLE hDataStream, const char* sNoDevice = "The specified device is not found.") {
    void* device = StreamTest(hDataStream);
    void* iface = nullptr;
    if (!g_Controller.FindOpenDeviceHandle(device, &iface)) {
        throw invalid_handle_exception(sNoDevice);
    }
    if (!g_Controller.FindInterface(iface)) {
        throw invalid_handle_exception(MsgComposer("The specified interface not found: hIface = 0x%p.", iface));
    }
    return iface;
}

// The type test: the open stream behind the handle, shared for the rest of the call.
std::shared_ptr<CDataStream> AsStream(DS_HANDLE hDataStream) {
    auto stream = ICommonBase::FromHandleAs<CDataStream>(hDataStream);
    if (!stream) {
        throw invalid_handle_exception("Invalid Handle");
    }
    return stream;
}

GC_ERROR HandleAnnouncedBuffer(DS_HANDLE hDataStream, void* pBuffer, size_t iSize, void* pPrivate,
                               BUFFER_HANDLE* phBuffer, bool bAllocate) {
    return CatchFrame(kUnknownErrorFrame, [&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized()) {
            return code;
        }
        CheckParameter(phBuffer, "hBuffer");
        CheckStreamHandle(hDataStream);
        if (iSize == 0) {
            throw invalid_parameter_exception("Specified iSize is 0.");
        }
        CheckOpenCounts({true, true, false, false});
        if (g_Controller.GetTotalNumberOpenStreams() != 0) {
            ChainTest(hDataStream);
            S_Announced_Buffer_Information same{*phBuffer, pBuffer, pPrivate, iSize};
            if (g_Controller.FindAnnouncedBuffer(hDataStream, same)) {
                throw resource_in_use_exception("The specified hDataStream is in use.");
            }
        }
        const auto stream = AsStream(hDataStream);
        void* memory = pBuffer;
        if (bAllocate) {
            stream->DSAllocAndAnnounceBuffer(&memory, iSize, pPrivate, phBuffer);
        } else {
            stream->DSAnnounceBuffer(pBuffer, iSize, pPrivate, phBuffer);
        }
        S_Announced_Buffer_Information info{*phBuffer, memory, pPrivate, iSize};
        g_Controller.AddAnnouncedBuffer(hDataStream, info);
        // A close of the stream or its device on another thread forgets the stream and withdraws
        // its entries in one step (the stream's entry goes first): an entry added after that must
        // not outlive the stream.
        if (!g_Controller.FindDataStreamHandle(hDataStream, nullptr)) {
            g_Controller.RemoveAnnouncedBuffer(hDataStream, info);
            CDataStream::RaiseClosed();
        }
        return RecordSuccess();
    });
}

// Buffers of this producer have no parts: both part queries refuse every call.
GC_ERROR RefuseBufferParts(const char* sFunction) {
    return CatchFrame([sFunction]() -> GC_ERROR {
        throw implementation_exception(MsgComposer("%s is not implemented.", sFunction));
    });
}

}  // namespace

extern "C" {

GC_API DevOpenDataStream(DEV_HANDLE hDevice, const char* sDataStreamID, DS_HANDLE* phDataStream) {
    return CatchFrame([&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized_With_Open_Interface()) {
            return code;
        }
        CheckHandle(hDevice, "hDevice");
        CheckParameter(sDataStreamID, "pDataStreamID");
        CheckParameter(phDataStream, "phDataStream");
        if (*sDataStreamID == '\0') {
            throw invalid_parameter_exception("Specified pDataStreamID is invalid.");
        }
        const auto device = ICommonBase::FromHandleAs<CDevice>(hDevice);
        if (!device) {
            throw invalid_handle_exception("Invalid Handle");
        }
        CheckOpenCounts({true, true, false, false});
        const std::shared_ptr<CDataStream> stream = device->CreateDataStream(sDataStreamID);
        g_Controller.AddDataStream(hDevice, stream->Handle());
        // The device may have been closed on another thread meanwhile, taking the stream along:
        // its close forgets the device and then its streams, so an entry added after that finds
        // the device forgotten.
        void* iface = nullptr;
        if (!ICommonBase::FromHandle(stream->Handle()) || !g_Controller.FindOpenDeviceHandle(hDevice, &iface)) {
            g_Controller.RemoveDataStream(stream->Handle());
            throw invalid_handle_exception("Invalid Handle");
        }
        *phDataStream = stream->Handle();
        return RecordSuccess();
    });
}

GC_API DSAnnounceBuffer(DS_HANDLE hDataStream, void* pBuffer, size_t iSize, void* pPrivate,
                        BUFFER_HANDLE* phBuffer) {
    return HandleAnnouncedBuffer(hDataStream, pBuffer, iSize, pPrivate, phBuffer, false);
}

GC_API DSAllocAndAnnounceBuffer(DS_HANDLE hDataStream, size_t iSize, void* pPrivate, BUFFER_HANDLE* phBuffer) {
    return HandleAnnouncedBuffer(hDataStream, nullptr, iSize, pPrivate, phBuffer, true);
}

GC_API DSRevokeBuffer(DS_HANDLE hDataStream, BUFFER_HANDLE hBuffer, void** ppBuffer, void** ppPrivate) {
    return CatchFrame([&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized_With_Open_Interface()) {
            return code;
        }
        CheckHandle(hBuffer, "hBuffer");
        CheckStreamHandle(hDataStream);
        CheckOpenCounts(kAllOpenCounts);
        ChainTest(hDataStream, "There's no available device.");
        const auto stream = AsStream(hDataStream);
        if (!ICommonBase::FromHandleAs<CBufferInfo>(hBuffer)) {
            throw invalid_handle_exception("Invalid Handle");
        }
        S_Announced_Buffer_Information info{hBuffer, stream->DSRevokeBuffer(hBuffer, ppBuffer, ppPrivate), nullptr, 0};
        g_Controller.RemoveAnnouncedBuffer(hDataStream, info);
        return RecordSuccess();
    });
}

GC_API DSQueueBuffer(DS_HANDLE hDataStream, BUFFER_HANDLE hBuffer) {
    return CatchFrame([&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized_With_Open_Interface()) {
            return code;
        }
        CheckStreamHandle(hDataStream);
        CheckHandle(hBuffer, "hBuffer");
        CheckOpenCounts(kAllOpenCounts);
        if (!ICommonBase::FromHandleAs<CInterface>(ChainTest(hDataStream))) {
            throw invalid_handle_exception("Invalid Handle");
        }
        AsStream(hDataStream)->DSQueueBuffer(hBuffer);
        return RecordSuccess();
    });
}

GC_API DSFlushQueue(DS_HANDLE hDataStream, ACQ_QUEUE_TYPE iOperation) {
    return CatchFrame([&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized_With_Open_Interface()) {
            return code;
        }
        if (static_cast<uint32_t>(iOperation) > static_cast<uint32_t>(ACQ_QUEUE_ALL_DISCARD)) {
            throw invalid_handle_exception("Specified iOperation is invalid.");
        }
        ChainTest(hDataStream);
        AsStream(hDataStream)->DSFlushQueue(iOperation);
        return RecordSuccess();
    });
}

GC_API DSStartAcquisition(DS_HANDLE hDataStream, ACQ_START_FLAGS iStartFlags, uint64_t iNumToAcquire) {
    return CatchFrame([&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized()) {
            return code;
        }
        CheckStreamHandle(hDataStream);
        if (iNumToAcquire == 0) {
            throw invalid_parameter_exception("Specified iNumFramesToAcquire is invalid.");
        }
        if (iStartFlags != ACQ_START_FLAGS_DEFAULT) {
            throw invalid_parameter_exception("Specified iStartFlags is invalid.");
        }
        CheckOpenCounts({false, true, true, true});
        ChainTest(hDataStream);
        StreamTest(hDataStream);
        const auto stream = AsStream(hDataStream);
        size_t minimum = 0;
        size_t size = sizeof minimum;
        INFO_DATATYPE type = 0;
        stream->DSGetInfo(STREAM_INFO_BUF_ANNOUNCE_MIN, &type, &minimum, &size);
        // The buffers announced to this stream count, not those of all streams together.
        if (minimum != 0 && stream->GetNumAnnounced() < minimum) {
            throw invalid_buffer_size_exception("The number of announced buffers is leass than the minimum.");
        }
        stream->DSStartAcquisition(iStartFlags, iNumToAcquire);
        return RecordSuccess();
    });
}

GC_API DSStopAcquisition(DS_HANDLE hDataStream, ACQ_STOP_FLAGS iStopFlags) {
    return CatchFrame([&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized()) {
            return code;
        }
        CheckStreamHandle(hDataStream);
        if (static_cast<uint32_t>(iStopFlags) > static_cast<uint32_t>(ACQ_STOP_FLAGS_KILL)) {
            throw invalid_parameter_exception(MsgComposer("Specified iStopFlag is invalid: iStopFlag = 0x%p.",
                                                          reinterpret_cast<void*>(static_cast<intptr_t>(iStopFlags))));
        }
        CheckOpenCounts({false, true, true, true});
        ChainTest(hDataStream);
        AsStream(hDataStream)->DSStopAcquisition(iStopFlags);
        return RecordSuccess();
    });
}

GC_API DSGetInfo(DS_HANDLE hDataStream, STREAM_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer,
                 size_t* piSize) {
    return CatchFrame([&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized_With_Open_Interface()) {
            return code;
        }
        CheckInfoArguments(piType, pBuffer, piSize);
        StreamTest(hDataStream);
        AsStream(hDataStream)->DSGetInfo(iInfoCmd, piType, pBuffer, piSize);
        return RecordSuccess();
    });
}

GC_API DSGetBufferInfo(DS_HANDLE hDataStream, BUFFER_HANDLE hBuffer, BUFFER_INFO_CMD iInfoCmd,
                       INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) {
    return CatchFrame([&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized_With_Open_Interface()) {
            return code;
        }
        CheckInfoArguments(piType, pBuffer, piSize);
        StreamTest(hDataStream);
        AsStream(hDataStream)->DSGetBufferInfo(hBuffer, iInfoCmd, piType, pBuffer, piSize);
        return RecordSuccess();
    });
}

GC_API DSGetBufferID(DS_HANDLE hDataStream, uint32_t iIndex, BUFFER_HANDLE* phBuffer) {
    return CatchFrame([&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized_With_Open_Interface()) {
            return code;
        }
        CheckParameter(phBuffer, "phBuffer");
        CheckStreamHandle(hDataStream);
        StreamTest(hDataStream);
        AsStream(hDataStream)->DSGetBufferID(iIndex, *phBuffer);
        return RecordSuccess();
    });
}

GC_API DSClose(DS_HANDLE hDataStream) {
    return CatchFrame([&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized_With_Open_Interface()) {
            return code;
        }
        CheckStreamHandle(hDataStream);
        StreamTest(hDataStream);
        g_Controller.RemoveDataStream(hDataStream);
        g_Controller.RemoveAllAnnouncedBuffers(hDataStream);
        AsStream(hDataStream)->Close();
        return RecordSuccess();
    });
}

GC_API DSGetBufferChunkData(DS_HANDLE hDataStream, BUFFER_HANDLE hBuffer, SINGLE_CHUNK_DATA* pChunkData,
                            size_t* piNumChunks) {
    return CatchFrame([&]() -> GC_ERROR {
        if (const int code = g_Controller.Check_Setup_And_Transport_Initialized_With_Open_Interface()) {
            return code;
        }
        // A bad handle is reported as DSGetBufferInfo reports it.
        size_t payloadType = 0;
        size_t size = sizeof payloadType;
        INFO_DATATYPE type = INFO_DATATYPE_UNKNOWN;
        if (const GC_ERROR code =
                DSGetBufferInfo(hDataStream, hBuffer, BUFFER_INFO_PAYLOADTYPE, &type, &payloadType, &size);
            code != GC_ERR_SUCCESS) {
            return code;
        }
        if (payloadType == PAYLOAD_TYPE_CHUNK_DATA) {
            ListChunks(ImageChunks(hDataStream, hBuffer), pChunkData, piNumChunks);
            return RecordSuccess();
        }
        const uint8_t chunk = BufferInfo<uint8_t>(hDataStream, hBuffer, BUFFER_INFO_CONTAINS_CHUNKDATA);
        if (pChunkData == nullptr) {
            if (piNumChunks != nullptr) {
                *piNumChunks = chunk != 0 ? 1 : 0;
            }
        } else if (piNumChunks != nullptr && *piNumChunks != 0 && chunk != 0) {
            pChunkData[0] = SINGLE_CHUNK_DATA{kChunkID, 0, kChunkLength};
        }
        return RecordSuccess();
    });
}

GC_API DSGetParentDev(DS_HANDLE hDataStream, DEV_HANDLE* phDevice) {
    return CatchFrame([&]() -> GC_ERROR {
        const int guard = g_Controller.Check_Setup_And_Transport_Initialized();
        CheckStreamHandle(hDataStream);
        CheckParameter(phDevice, "phDevice");
        if (!g_Controller.FindDataStreamHandle(hDataStream, phDevice)) {
            StreamNotFound(hDataStream);
        }
        if (guard != GC_ERR_SUCCESS) {
            return guard;
        }
        return RecordSuccess();
    });
}

GC_API DSGetNumBufferParts(DS_HANDLE, BUFFER_HANDLE, uint32_t*) { return RefuseBufferParts("DSGetNumBufferParts"); }

GC_API DSGetBufferPartInfo(DS_HANDLE, BUFFER_HANDLE, uint32_t, BUFFER_PART_INFO_CMD, INFO_DATATYPE*, void*,
                           size_t*) {
    return RefuseBufferParts("DSGetBufferPartInfo");
}

}  // extern "C"
