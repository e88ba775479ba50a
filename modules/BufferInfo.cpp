#include "modules/BufferInfo.h"

#include <cstdlib>

#include "gentl/Exceptions.h"
#include "gentl/MsgComposer.h"
#include "gentl/TLInfo.h"
#include "modules/DataStream.h"
#include "resources/ResourceTable.h"

namespace GenTL {

const std::string CBufferInfo::m_str_file_name = "KVGEVTLBuf.xml";

namespace {

const PortProfile kBufferPort{kFileNameBuffer,
                           kResourceBuffer,
                           kResourceTypeBuffer,
                           kDescriptionAddressBuffer,
                           3,
                           URLCopy::Self,
                           {"Specified iSize is invalid: iSize = 0x%p.", "Invalid Buffer Size; Required = , Prepared = "},
                           false,
                           "Specified iURLIndex is invalid: iURLIndex = 0x%p.",
                           "Specified iCmd is invalid: iCmd = 0x%p."};

constexpr uint64_t kRegMemory = 0x4;
constexpr uint64_t kRegSize = 0xC;
constexpr uint64_t kRegTimestamp = 0x10;
// Words of the 64-bit registers: the high word at the lower address.
constexpr bool kLowWordFirst = false;
// Larger requests are refused without asking the allocator, which could not serve them anyway.
constexpr size_t kMaxAllocation = size_t{1} << 40;

void* Allocate(size_t iSize) { return iSize <= kMaxAllocation ? std::malloc(iSize) : nullptr; }

}  // namespace

CBufferInfo::CBufferInfo(CDataStream* pStream, void* /*pReserved*/, void* pMemory, size_t iSize, void* pUserPointer)
    : CPortModule(kBufferPort),
      m_p_memory(pMemory),
      m_i_size(iSize),
      m_p_user(pUserPointer),
      m_b_owns_memory(false),
      m_p_stream(pStream) {
    InitPort();
}

CBufferInfo::CBufferInfo(CDataStream* pStream, size_t iSize, void* pUserPointer)
    : CPortModule(kBufferPort),
      m_p_memory(Allocate(iSize)),
      m_i_size(iSize),
      m_p_user(pUserPointer),
      m_b_owns_memory(m_p_memory != nullptr),
      m_p_stream(pStream) {
    InitPort();
}

CBufferInfo::~CBufferInfo() {
    if (m_b_owns_memory) {
        std::free(m_p_memory);
    }
}

void CBufferInfo::InitPort() {
    CRegisterMap& map = Map();
    map.AddReg64(kRegMemory, CRegisterMap::RO, reinterpret_cast<uintptr_t>(m_p_memory), false, kLowWordFirst);
    map.AddReg(kRegSize, CRegisterMap::RO, static_cast<uint32_t>(m_i_size));
    map.AddReg64(kRegTimestamp, CRegisterMap::RO, 0, false, kLowWordFirst);
    AddDescription();
}

PortInfoTexts CBufferInfo::GetPortInfoTexts() {
    return {"0", CTLInfo::GetVendorName(), CTLInfo::GetModelName(), "Custom", "TLBuffer", "0.0", "BufferPort"};
}

ICommonBase* CBufferInfo::GetParent() { return m_p_stream; }

void* CBufferInfo::Buffer() const {
    if (m_p_memory == nullptr) {
        throw std::runtime_error("Invalid Memory Buffer");
    }
    return m_p_memory;
}

void CBufferInfo::SetTimestamp(uint64_t iTimestamp) {
    m_i_timestamp = iTimestamp;
    Map().SetReg64(kRegTimestamp, iTimestamp, kLowWordFirst);
}

void CBufferInfo::Register(EVENT_TYPE iEventID, EVENT_HANDLE* /*phEvent*/) {
    throw implementation_exception(MsgComposer("Requested iID is not implemented; iID = %d.", iEventID));
}

void CBufferInfo::Unregister(EVENT_TYPE iEventID) {
    throw implementation_exception(MsgComposer("Requested iID is not implemented; iID = %d.", iEventID));
}

}  // namespace GenTL
