#include "modules/BufferInfo.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
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

// Buffers up to this size get their pages at allocation; larger ones on first use, so that a huge
// buffer the system only overcommitted is never forced into memory.
constexpr size_t kMaxPrefault = size_t{64} << 20;

// Maps the pages of the block now, as a frame grabber pins its buffers when they are announced:
// otherwise the first frames after a start pay a page fault per page, which makes starting many
// cameras at once slow and the first frames late. Best effort: a kernel without
// MADV_POPULATE_WRITE leaves the pages to their first use.
void Prefault(void* pMemory, size_t iSize) {
    if (pMemory == nullptr || iSize == 0 || iSize > kMaxPrefault) {
        return;
    }
    const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    const uintptr_t first = reinterpret_cast<uintptr_t>(pMemory) & ~(page - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(pMemory) + iSize + page - 1) & ~(page - 1);
    madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
}

void* Allocate(size_t iSize) {
    void* memory = iSize <= kMaxAllocation ? std::malloc(iSize) : nullptr;
    Prefault(memory, iSize);
    return memory;
}

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
