#include "modules/DataStream.h"

#include <algorithm>
#include <cctype>

#include "events/EventRegistration.h"
#include "gentl/Exceptions.h"
#include "gentl/InfoWriters.h"
#include "gentl/MsgComposer.h"
#include "gentl/TLInfo.h"
#include "gentl/controller/HandleRegistry.h"
#include "modules/BufferInfo.h"
#include "modules/Device.h"
#include "modules/Interface.h"
#include "modules/TL.h"
#include "resources/ResourceTable.h"

namespace GenTL {

const std::string CDataStream::m_str_file_name = "KVDS.xml";

namespace {

const PortProfile kStreamPort{kFileNameDataStream,
                           kResourceDataStream,
                           kResourceTypeDataStream,
                           kDescriptionAddressDataStream,
                           8,
                           URLCopy::Self,
                           {"Specified iSize is invalid: iSize = 0x%p.",
                            "Invalid Buffer Size; Rquired = %d, Prepared = %d."},
                           true,
                           "Specified iURLIndex is invalid: iURLIndex = 0x%p.",
                           "Specified iCmd is invalid: iCmd = 0x%p."};

enum StreamRegister : uint64_t {
    kRegUpdateStat = 0x0,
    kRegAnnouncedCount = 0x4,
    kRegOutputCount = 0xC,
    kRegFramesRemaining = 0x34,
    kRegThreadRunning = 0x50,
    kRegStreamID = 0x80,
    kRegDisplayName = 0x100,
    kRegBufferHandlingMode = 0x200,
};

constexpr size_t kAnnounceMinimum = 5;
constexpr size_t kAlignment = 4;

template <class Queue>
size_t SizeUnder(std::mutex& mutex, const Queue& queue) {
    std::lock_guard<std::mutex> lock(mutex);
    return queue.size();
}

}  // namespace

int32_t CDataStream::ParseStreamNumber(const std::string& sID) {
    const std::string digits = sID.substr(2);  // std::out_of_range for fewer than two characters
    int32_t number = 0;
    for (char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            break;
        }
        const int digit = c - '0';
        if (number > (INT32_MAX - digit) / 10) {
            throw std::out_of_range(MsgComposer("The stream number of %.64s is out of range.", sID.c_str()));
        }
        number = number * 10 + digit;
    }
    return number;
}

std::shared_ptr<CDataStream> CDataStream::Create(const std::string& sID, std::shared_ptr<CDevice> spDevice) {
    std::shared_ptr<CDataStream> stream(new CDataStream(ParseStreamNumber(sID), std::move(spDevice)));
    stream->OpenFrameGrabberStream();
    stream->m_sp_event_new_buffer = std::make_shared<CEventNewBuffer>(stream);
    return stream;
}

CDataStream::CDataStream(int32_t iStreamNumber, std::shared_ptr<CDevice> spDevice)
    : CPortModule(kStreamPort),
      m_i_stream_number(iStreamNumber),
      m_str_id("DS" + std::to_string(iStreamNumber)),
      m_sp_device(std::move(spDevice)),
      m_sp_event_error(std::make_shared<CEventError>()) {
    InitPort();
}

CDataStream::~CDataStream() {
    // Close has stopped the thread; a stream that was never opened fully has none.
    JoinThread();
    if (m_p_fg_stream != nullptr) {
        m_p_fg_stream->Release();
    }
}

void CDataStream::OpenFrameGrabberStream() {
    Quibbon::IDevice* device = m_sp_device->GetComponent();
    if (device == nullptr) {
        return;
    }
    if (device->OpenDataStream(static_cast<uint32_t>(m_i_stream_number), &m_p_fg_stream) < 0 ||
        m_p_fg_stream == nullptr) {
        m_p_fg_stream = nullptr;
        throw std::runtime_error("Unable to open Stream");
    }
    uint32_t version = 0;
    uint64_t size = sizeof version;
    m_b_has_grab = m_p_fg_stream->GetInfo(Quibbon::kStreamInfoGrabVersion, &version, &size) >= 0 && version >= 1;
    version = 0;
    size = sizeof version;
    const bool answered = m_p_fg_stream->GetInfo(Quibbon::kStreamInfoFrameRecord, &version, &size) >= 0;
    m_b_has_frame_record = m_b_has_grab && answered && version >= 1;
}

void CDataStream::InitPort() {
    CRegisterMap& map = Map();
    void* const self = this;
    map.AddReg(kRegUpdateStat, CRegisterMap::WO, 0, false, &RegCB_UpdateStat, self, nullptr);
    map.AddReg(kRegAnnouncedCount, CRegisterMap::RO, 0);
    map.AddReg(kRegOutputCount, CRegisterMap::RO, 0);
    map.AddReg(kRegFramesRemaining, CRegisterMap::RW, static_cast<uint32_t>(CFrameLimit::kNoLimit), false,
               &RegCB_ParamAccessWrite, self, &RegCB_ParamAccessRead);
    map.AddRegs(kRegStreamID, CRegisterMap::RO, m_str_id.c_str(), 64, false, &RegCB_ParamAccessWrite, self,
                &RegCB_ParamAccessRead);
    map.AddRegs(kRegDisplayName, CRegisterMap::RO, GetDisplayName().c_str(), 256, false, &RegCB_ParamAccessWrite,
                self, &RegCB_ParamAccessRead);
    map.AddReg(kRegThreadRunning, CRegisterMap::RO, 0, false, &RegCB_ParamAccessWrite, self, &RegCB_ParamAccessRead);
    map.AddReg(kRegBufferHandlingMode, CRegisterMap::RO, 1);
    AddDescription();
}

PortInfoTexts CDataStream::GetPortInfoTexts() {
    CTL& system = m_sp_device->GetInterface()->GetTL();
    return {m_str_id,
            CTLInfo::GetVendorName(),
            CTLInfo::GetModelName(),
            CTLInfo::GetTLType(),
            "TLDataStream",
            system.FormatVersion(system.GetTLVersion()),
            "StreamPort"};
}

ICommonBase* CDataStream::GetParent() { return m_sp_device.get(); }

void CDataStream::RegCB_UpdateStat(uint64_t /*iAddress*/, uint32_t& /*iValue*/, void* pContext) {
    auto* self = static_cast<CDataStream*>(pContext);
    std::lock_guard<std::mutex> input(self->m_mutex_input);
    std::lock_guard<std::mutex> output(self->m_mutex_output);
    self->Map().SetReg(kRegAnnouncedCount, static_cast<uint32_t>(self->m_vec_announced.size()));
    self->Map().SetReg(kRegOutputCount, static_cast<uint32_t>(self->m_deque_output.size()));
}

void CDataStream::RegCB_ParamAccessWrite(uint64_t iAddress, uint32_t& iValue, void* pContext) {
    if (iAddress == kRegFramesRemaining) {
        static_cast<CDataStream*>(pContext)->m_frame_limit.Set(iValue);
    }
}

void CDataStream::RegCB_ParamAccessRead(uint64_t iAddress, uint32_t& iValue, void* pContext) {
    if (iAddress == kRegFramesRemaining) {
        auto* self = static_cast<CDataStream*>(pContext);
        iValue = static_cast<uint32_t>(self->m_frame_limit.Remaining());
        self->Map().SetReg(kRegFramesRemaining, iValue);
    }
}

// ---- buffers -----------------------------------------------------------------------------------

void CDataStream::RaiseClosed() { throw invalid_handle_exception("The data stream has been closed."); }

std::shared_ptr<CBufferInfo> CDataStream::Announce(std::shared_ptr<CBufferInfo> buffer, void** phBuffer) {
    // Under the control lock, so that a close either sees the buffer announced and withdraws it,
    // or has happened before and the announcement is refused.
    std::lock_guard<std::mutex> control(m_mutex_control);
    if (m_b_closed) {
        RaiseClosed();
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex_input);
        m_vec_announced.push_back(buffer);
    }
    CHandleRegistry::Instance().Add(std::static_pointer_cast<ICommonBase>(buffer));
    *phBuffer = buffer->Handle();
    return buffer;
}

void CDataStream::DSAnnounceBuffer(void* pBuffer, size_t iSize, void* pPrivate, void** phBuffer) {
    if (m_b_acquiring) {
        throw busy_exception("The acquisition process is running now.");
    }
    if (pBuffer == nullptr) {
        throw invalid_parameter_exception(MsgComposer("Specified pBuffer is invalid: pBuffer = 0x%p.", pBuffer));
    }
    Announce(std::make_shared<CBufferInfo>(this, nullptr, pBuffer, iSize, pPrivate), phBuffer);
}

void CDataStream::DSAllocAndAnnounceBuffer(void** ppBuffer, size_t iSize, void* pPrivate, void** phBuffer) {
    if (m_b_acquiring) {
        throw busy_exception("Acquisition already started.");
    }
    auto buffer = std::make_shared<CBufferInfo>(this, iSize, pPrivate);
    // A buffer without memory is never recorded anywhere.
    *ppBuffer = buffer->Buffer();
    Announce(std::move(buffer), phBuffer);
}

std::shared_ptr<CBufferInfo> CDataStream::FindAnnounced(void* hBuffer) const {
    // The announced list holds its buffers alive, so a match needs no registry lookup; only a
    // miss asks the registry which refusal it is.
    for (const auto& buffer : m_vec_announced) {
        if (buffer->Handle() == hBuffer) {
            return buffer;
        }
    }
    if (!ICommonBase::FromHandleAs<CBufferInfo>(hBuffer)) {
        throw invalid_handle_exception("Invalid Handle");
    }
    throw invalid_parameter_exception("Invalid Buffer Handle");
}

void* CDataStream::DSRevokeBuffer(void* hBuffer, void** ppBuffer, void** ppPrivate) {
    if (m_b_acquiring) {
        throw busy_exception("The acquisition process is running now.");
    }
    std::shared_ptr<CBufferInfo> buffer;
    {
        std::lock_guard<std::mutex> lock(m_mutex_input);
        buffer = FindAnnounced(hBuffer);
        if (!buffer->OwnsMemory() && ppBuffer != nullptr) {
            *ppBuffer = buffer->Buffer();
        }
        if (ppPrivate != nullptr) {
            *ppPrivate = buffer->UserPointer();
        }
        if (buffer->m_b_queued || buffer->m_b_in_output) {
            throw busy_exception("Buffer queued.");
        }
        m_vec_announced.erase(std::find(m_vec_announced.begin(), m_vec_announced.end(), buffer));
    }
    CHandleRegistry::Instance().Remove(buffer->Handle());
    return buffer->HasMemory() ? buffer->Buffer() : nullptr;
}

void CDataStream::ClearQueueFlags(CBufferInfo& buffer) {
    buffer.m_b_queued = false;
    buffer.m_b_new_data = false;
    buffer.m_b_in_output = false;
}

void CDataStream::RemoveFromOutput(CBufferInfo* pBuffer) {
    const auto it = std::find(m_deque_output.begin(), m_deque_output.end(), pBuffer);
    if (it != m_deque_output.end()) {
        m_deque_output.erase(it);
    }
}

void CDataStream::DSQueueBuffer(void* hBuffer) {
    std::unique_lock<std::mutex> input(m_mutex_input);
    const std::shared_ptr<CBufferInfo> buffer = FindAnnounced(hBuffer);
    if (buffer->m_b_queued) {
        return;
    }
    // A buffer still waiting for delivery leaves the output queue first: no buffer is ever in
    // both queues.
    if (buffer->m_b_in_output) {
        std::lock_guard<std::mutex> output(m_mutex_output);
        RemoveFromOutput(buffer.get());
    }
    buffer->m_b_queued = true;
    buffer->m_b_in_output = false;
    buffer->m_b_new_data = false;
    buffer->m_b_image_present = false;
    buffer->m_b_is_incomplete = false;
    buffer->m_b_is_acquiring = false;
    buffer->m_b_data_larger_than_buffer = false;
    buffer->m_i_size_filled = 0;
    buffer->m_i_data_size = 0;
    m_deque_input.push_back(buffer.get());
    // Notified after unlocking, so that the woken acquisition thread does not block on the lock.
    input.unlock();
    m_cv_input.notify_one();
}

void CDataStream::DSFlushQueue(int32_t iOperation) {
    if (iOperation == ACQ_QUEUE_UNQUEUED_TO_INPUT) {
        std::lock_guard<std::mutex> input(m_mutex_input);
        for (const auto& buffer : m_vec_announced) {
            if (!buffer->m_b_queued && !buffer->m_b_in_output) {
                buffer->m_b_queued = true;
                buffer->m_b_new_data = false;
                m_deque_input.push_back(buffer.get());
            }
        }
    } else {
        std::lock_guard<std::mutex> input(m_mutex_input);
        std::lock_guard<std::mutex> output(m_mutex_output);
        FlushLocked(iOperation);
    }
    switch (iOperation) {
        case ACQ_QUEUE_INPUT_TO_OUTPUT: m_cv_output.notify_one(); break;
        case ACQ_QUEUE_ALL_TO_INPUT:
        case ACQ_QUEUE_UNQUEUED_TO_INPUT: m_cv_input.notify_one(); break;
        default: break;
    }
}

void CDataStream::FlushLocked(int32_t iOperation) {
    switch (iOperation) {
        case ACQ_QUEUE_INPUT_TO_OUTPUT:
            for (CBufferInfo* buffer : m_deque_input) {
                buffer->m_b_queued = false;
                buffer->m_b_new_data = false;
                buffer->m_b_in_output = true;
                m_deque_output.push_back(buffer);
            }
            m_deque_input.clear();
            break;
        case ACQ_QUEUE_OUTPUT_DISCARD:
            for (CBufferInfo* buffer : m_deque_output) {
                ClearQueueFlags(*buffer);
            }
            m_deque_output.clear();
            break;
        case ACQ_QUEUE_ALL_TO_INPUT:
            for (CBufferInfo* buffer : m_deque_output) {
                buffer->m_b_queued = true;
                buffer->m_b_in_output = false;
                buffer->m_b_new_data = false;
                m_deque_input.push_back(buffer);
            }
            m_deque_output.clear();
            for (const auto& buffer : m_vec_announced) {
                if (!buffer->m_b_queued) {
                    buffer->m_b_queued = true;
                    m_deque_input.push_back(buffer.get());
                }
            }
            break;
        case ACQ_QUEUE_ALL_DISCARD:
            m_deque_output.clear();
            m_deque_input.clear();
            // The buffer the acquisition thread fills is in neither queue and stays queued: the
            // thread delivers it or puts it back. Were it marked idle, queueing it again would
            // put it into the input pool while the thread still holds it, and it would end up in
            // two places.
            for (const auto& buffer : m_vec_announced) {
                if (!buffer->m_b_is_acquiring) {
                    ClearQueueFlags(*buffer);
                }
            }
            break;
        default: break;
    }
}

void CDataStream::DSGetBufferID(uint32_t iIndex, void*& hBuffer) {
    std::lock_guard<std::mutex> lock(m_mutex_input);
    if (iIndex >= m_vec_announced.size()) {
        throw invalid_index_exception(MsgComposer("Invalid Buffer Index %d", static_cast<int>(iIndex)));
    }
    hBuffer = m_vec_announced[iIndex]->Handle();
}

size_t CDataStream::GetNumAnnounced() {
    std::lock_guard<std::mutex> lock(m_mutex_input);
    return m_vec_announced.size();
}

// ---- information --------------------------------------------------------------------------------

size_t CDataStream::MaxChunks() const {
    Quibbon::IDevice* device = m_sp_device->GetComponent();
    uint32_t chunks = 0;
    uint64_t size = sizeof chunks;
    const bool answered = device != nullptr && device->GetParameter(Quibbon::kParamMaxChunks, &chunks, &size) >= 0 &&
                          size == sizeof chunks;
    return answered ? std::max<size_t>(chunks, 1) : 1;
}

void CDataStream::DSGetInfo(int32_t iInfoCmd, INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) {
    switch (iInfoCmd) {
        case STREAM_INFO_ID: SetReturnParam(pBuffer, piSize, piType, std::string("0")); return;
        case STREAM_INFO_NUM_DELIVERED:
            SetReturnParam(pBuffer, piSize, piType, static_cast<unsigned long>(m_i_delivered.load()));
            return;
        case STREAM_INFO_NUM_UNDERRUN:
            SetReturnParam(pBuffer, piSize, piType, static_cast<unsigned long>(m_i_underruns.load()));
            return;
        case STREAM_INFO_NUM_ANNOUNCED: SetReturnSizeT(pBuffer, piSize, piType, GetNumAnnounced()); return;
        case STREAM_INFO_NUM_QUEUED:
            SetReturnSizeT(pBuffer, piSize, piType, SizeUnder(m_mutex_input, m_deque_input));
            return;
        case STREAM_INFO_NUM_AWAIT_DELIVERY:
            SetReturnSizeT(pBuffer, piSize, piType, SizeUnder(m_mutex_output, m_deque_output));
            return;
        case STREAM_INFO_NUM_STARTED: {
            uint64_t started = 0;
            uint64_t size = sizeof started;
            if (m_p_fg_stream != nullptr) {
                m_p_fg_stream->GetInfo(Quibbon::kStreamInfoNumStarted, &started, &size);
            }
            SetReturnParam(pBuffer, piSize, piType, static_cast<unsigned long>(started));
            return;
        }
        case STREAM_INFO_IS_GRABBING: {
            uint8_t grabbing = 0;
            uint64_t size = sizeof grabbing;
            if (m_p_fg_stream != nullptr) {
                m_p_fg_stream->GetInfo(Quibbon::kStreamInfoIsGrabbing, &grabbing, &size);
            }
            SetReturnBool8(pBuffer, piSize, piType, grabbing != 0);
            return;
        }
        case STREAM_INFO_DEFINES_PAYLOADSIZE: SetReturnBool8(pBuffer, piSize, piType, false); return;
        case STREAM_INFO_TLTYPE: SetReturnParam(pBuffer, piSize, piType, std::string("Custom")); return;
        case STREAM_INFO_NUM_CHUNKS_MAX: SetReturnSizeT(pBuffer, piSize, piType, MaxChunks()); return;
        case STREAM_INFO_BUF_ANNOUNCE_MIN: SetReturnSizeT(pBuffer, piSize, piType, kAnnounceMinimum); return;
        case STREAM_INFO_BUF_ALIGNMENT: SetReturnSizeT(pBuffer, piSize, piType, kAlignment); return;
        default:
            throw implementation_exception(MsgComposer("Requested iCmd is not implemented; iCmd = %d.", iInfoCmd));
    }
}

// ---- events and closing --------------------------------------------------------------------------

void CDataStream::PushEventError(GC_ERROR iCode, const std::string& sText) {
    m_sp_event_error->Emplace(iCode, MsgComposer("GC_ERROR: %d (%s)", iCode, sText.c_str()));
}

void CDataStream::Register(EVENT_TYPE iEventID, EVENT_HANDLE* phEvent) {
    const bool hasDevice = ICommonBase::FromHandleAs<CDevice>(m_sp_device->Handle()) != nullptr;
    switch (hasDevice ? iEventID : -1) {
        case EVENT_ERROR: RegisterEvent(m_sp_event_error, phEvent); return;
        case EVENT_NEW_BUFFER: RegisterEvent(m_sp_event_new_buffer, phEvent); return;
        default:
            if (hasDevice) {
                PushEventError(GC_ERR_NOT_IMPLEMENTED,
                               MsgComposer("Requested EVENT_TYPE (%d) is not implemented.", iEventID));
            }
            throw implementation_exception(MsgComposer("Requested iID is not implemented; iID = %d.", iEventID));
    }
}

void CDataStream::Unregister(EVENT_TYPE iEventID) {
    switch (iEventID) {
        case EVENT_ERROR: UnregisterEvent(m_sp_event_error); return;
        case EVENT_NEW_BUFFER: UnregisterEvent(m_sp_event_new_buffer); return;
        default:
            PushEventError(GC_ERR_NOT_IMPLEMENTED, MsgComposer("Requested EVENT_TYPE (%d) is not implemented.", iEventID));
            throw implementation_exception(MsgComposer("Requested iID is not implemented; iID = %d.", iEventID));
    }
}

void CDataStream::Close() noexcept {
    {
        std::lock_guard<std::mutex> lock(m_mutex_control);
        if (m_b_closed) {
            return;
        }
        m_b_closed = true;
    }
    try {
        DSStopAcquisition(ACQ_STOP_FLAGS_DEFAULT);
    } catch (const std::exception&) {
        // Not acquiring: nothing to stop.
    }
    ShutdownEvent(*m_sp_event_new_buffer);
    ShutdownEvent(*m_sp_event_error);
    std::vector<std::shared_ptr<CBufferInfo>> buffers;
    {
        std::lock_guard<std::mutex> input(m_mutex_input);
        std::lock_guard<std::mutex> output(m_mutex_output);
        m_deque_input.clear();
        m_deque_output.clear();
        buffers.swap(m_vec_announced);
    }
    for (const auto& buffer : buffers) {
        CHandleRegistry::Instance().Remove(buffer->Handle());
    }
    CHandleRegistry::Instance().Remove(Handle());
    m_sp_device->ReleaseDS(this);
}

}  // namespace GenTL
