#include "regmap/RegisterMap.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "gentl/Exceptions.h"
#include "gentl/MsgComposer.h"

namespace GenTL {

namespace {

constexpr uint64_t kInvalidAddress = std::numeric_limits<uint64_t>::max();
constexpr uint64_t kWordSize = 4;
constexpr const char* kAddressTooLarge = "Address too large: 0 <= %I64u <= %I64u";
constexpr const char* kSizeInvalid = "uiSize is not valid.";

bool IsReadable(CRegisterMap::ACCESS access) { return (access & CRegisterMap::RO) != 0; }
bool IsWritable(CRegisterMap::ACCESS access) { return (access & CRegisterMap::WO) != 0; }

// The i-th 32-bit word of a byte block in host byte order; the block need not be aligned.
uint32_t WordAt(const void* data, uint64_t offset) {
    uint32_t word = 0;
    std::memcpy(&word, static_cast<const uint8_t*>(data) + offset, sizeof word);
    return word;
}

void PutWord(void* data, uint64_t offset, uint32_t word) {
    std::memcpy(static_cast<uint8_t*>(data) + offset, &word, sizeof word);
}

}  // namespace

CRegisterMap::RegisterEntry::RegisterEntry(ACCESS access, uint32_t value, bool saveable,
                                           RegCallback write_callback, void* context,
                                           RegCallback read_callback)
    : m_e_access(access),
      m_i_value(value),
      m_p_write_callback(write_callback),
      m_p_read_callback(read_callback),
      m_p_context(context),
      m_b_saveable(saveable) {}

CRegisterMap::RegisterEntry::RegisterEntry(RegisterEntry&& other) noexcept
    : m_e_access(other.m_e_access),
      m_i_value(other.m_i_value.load(std::memory_order_relaxed)),
      m_p_write_callback(other.m_p_write_callback),
      m_p_read_callback(other.m_p_read_callback),
      m_p_context(other.m_p_context),
      m_b_saveable(other.m_b_saveable) {}

CRegisterMap::RegisterEntry& CRegisterMap::RegisterEntry::operator=(RegisterEntry&& other) noexcept {
    m_e_access = other.m_e_access;
    m_i_value.store(other.m_i_value.load(std::memory_order_relaxed), std::memory_order_release);
    m_p_write_callback = other.m_p_write_callback;
    m_p_read_callback = other.m_p_read_callback;
    m_p_context = other.m_p_context;
    m_b_saveable = other.m_b_saveable;
    return *this;
}

uint32_t CRegisterMap::ConstBlock::WordAt(uint64_t where) const {
    const uint64_t offset = where - address;
    uint32_t word = 0;
    if (offset < length) {
        std::memcpy(&word, data + offset, std::min<uint64_t>(kWordSize, length - offset));
    }
    return word;
}

CRegisterMap::CRegisterMap(uint64_t reservation) {
    if (reservation > kMaxReservation) {
        throw invalid_parameter_exception(MsgComposer(
            "Initial size is larger than possible: 0 < %I64u <= %I64u", reservation, kMaxReservation));
    }
    m_vec_entries.reserve(reservation);
}

CRegisterMap::~CRegisterMap() = default;

// ---- checks and lookup ---------------------------------------------------------------------

void CRegisterMap::CheckAddress(uint64_t address, uint64_t size) {
    if (address == kInvalidAddress) {
        throw invalid_address_exception("Address is invalid.");
    }
    if (address % kWordSize != 0 || size % kWordSize != 0) {
        throw invalid_address_exception("Address and/or uiSize have to be multiples of four.");
    }
    if (address / kWordSize > kMaxWordIndex) {
        throw invalid_parameter_exception(MsgComposer(kAddressTooLarge, address, kMaxWordIndex));
    }
}

void CRegisterMap::CheckAccess(ACCESS access) {
    if (access != RO && access != WO && access != RW) {
        throw invalid_parameter_exception("iAccess is an unknown ACCESS value.");
    }
}

void CRegisterMap::CheckBlock(uint64_t address, const void* buffer, uint64_t size) {
    CheckAddress(address, size);
    if (buffer == nullptr) {
        throw invalid_parameter_exception(
            MsgComposer("Specified pBuffer is invalid: pBuffer = 0x%p.", buffer));
    }
    if (size == 0) {
        throw invalid_parameter_exception(kSizeInvalid);
    }
}

// A block to be added must end within the address range; this also keeps address + size from
// wrapping around to low addresses.
void CRegisterMap::CheckBlockEnd(uint64_t address, uint64_t size) {
    if (size / kWordSize - 1 <= kMaxWordIndex - address / kWordSize) {
        return;
    }
    const uint64_t last_offset = size - kWordSize;
    const uint64_t last_address =
        last_offset > kInvalidAddress - address ? kInvalidAddress : address + last_offset;
    throw invalid_parameter_exception(MsgComposer(kAddressTooLarge, last_address, kMaxWordIndex));
}

CRegisterMap::RegisterEntry* CRegisterMap::Find(uint64_t address) noexcept {
    const uint64_t index = address / kWordSize;
    if (index >= m_vec_entries.size()) {
        return nullptr;
    }
    RegisterEntry& entry = m_vec_entries[index];
    return entry.m_e_access != 0 ? &entry : nullptr;
}

const CRegisterMap::ConstBlock* CRegisterMap::FindBlock(uint64_t address) const noexcept {
    for (const ConstBlock& block : m_vec_blocks) {
        if (block.Contains(address)) {
            return &block;
        }
    }
    return nullptr;
}

void CRegisterMap::NotAvailable(uint64_t address) {
    throw std::out_of_range(MsgComposer("Register %I64X is not available.", address));
}

CRegisterMap::RegisterEntry& CRegisterMap::LookupEntry(uint64_t address) {
    RegisterEntry* entry = Find(address);
    if (entry == nullptr) {
        NotAvailable(address);
    }
    return *entry;
}

CRegisterMap::RegisterEntry& CRegisterMap::LookupMutable(uint64_t address) {
    CheckAddress(address, 0);
    if (Find(address) == nullptr && FindBlock(address) != nullptr) {
        Materialize(address);
    }
    return LookupEntry(address);
}

// Turns the constant block holding the address into ordinary read-only registers.
void CRegisterMap::Materialize(uint64_t address) {
    const auto it = std::find_if(m_vec_blocks.begin(), m_vec_blocks.end(),
                                 [address](const ConstBlock& block) { return block.Contains(address); });
    if (it == m_vec_blocks.end()) {
        return;
    }
    const ConstBlock block = *it;
    m_vec_blocks.erase(it);
    ReserveSlots(block.address / kWordSize, block.size / kWordSize);
    for (uint64_t offset = 0; offset < block.size; offset += kWordSize) {
        m_vec_entries[(block.address + offset) / kWordSize] =
            RegisterEntry(RO, block.WordAt(block.address + offset), false, nullptr, nullptr, nullptr);
    }
}

// Only the Add operations grow the sequence, so a lookup never allocates.
void CRegisterMap::ReserveSlots(uint64_t index, uint64_t count) {
    if (index + count > m_vec_entries.size()) {
        m_vec_entries.resize(index + count);
    }
}

// The callback works on a copy of the value, since the stored value is atomic. A changed copy is
// stored back, unless the register was written meanwhile (by the callback itself through SetReg,
// or by another thread): the newer value is kept then. The copy is stored back even when the
// callback throws, as the callback may have replaced the value before failing.
void CRegisterMap::RunCallback(RegCallback callback, uint64_t address, uint32_t value,
                               void* context) {
    uint32_t result = value;
    try {
        callback(address, result, context);
    } catch (...) {
        StoreCallbackResult(address, value, result);
        throw;
    }
    StoreCallbackResult(address, value, result);
}

// The register is looked up again: the callback may have replaced it or grown the map.
void CRegisterMap::StoreCallbackResult(uint64_t address, uint32_t original,
                                       uint32_t result) noexcept {
    RegisterEntry* entry = result != original ? Find(address) : nullptr;
    if (entry != nullptr) {
        entry->m_i_value.compare_exchange_strong(original, result, std::memory_order_acq_rel);
    }
}

// ---- port side -----------------------------------------------------------------------------

void CRegisterMap::ReadMem(uint64_t address, void* buffer, uint64_t size) {
    CheckBlock(address, buffer, size);
    for (uint64_t offset = 0; offset < size; offset += kWordSize) {
        PutWord(buffer, offset, ReadReg(address + offset));
    }
}

uint32_t CRegisterMap::ReadReg(uint64_t address) {
    CheckAddress(address, 0);
    const RegisterEntry* entry = Find(address);
    if (entry == nullptr) {
        const ConstBlock* block = FindBlock(address);
        if (block == nullptr) {
            NotAvailable(address);
        }
        return block->WordAt(address);
    }
    if (!IsReadable(static_cast<ACCESS>(entry->m_e_access))) {
        throw access_exception(MsgComposer("Register %I64X is not readable.", address));
    }
    const uint32_t value = entry->m_i_value.load(std::memory_order_acquire);
    if (entry->m_p_read_callback == nullptr) {
        return value;
    }
    RunCallback(entry->m_p_read_callback, address, value, entry->m_p_context);
    // The stored value, with whatever the callback changed, through the reference or through the
    // map; the register is looked up again since the callback may have replaced it.
    return GetReg(address);
}

void CRegisterMap::WriteMem(uint64_t address, const void* buffer, uint64_t size) {
    CheckBlock(address, buffer, size);
    for (uint64_t offset = 0; offset < size; offset += kWordSize) {
        WriteReg(address + offset, WordAt(buffer, offset));
    }
}

void CRegisterMap::WriteReg(uint64_t address, uint32_t value) {
    CheckAddress(address, 0);
    RegisterEntry* entry = Find(address);
    if (entry == nullptr) {
        if (FindBlock(address) == nullptr) {
            NotAvailable(address);
        }
        throw access_denied_exception(MsgComposer("Register %I64X is not writable.", address));
    }
    if (!IsWritable(static_cast<ACCESS>(entry->m_e_access))) {
        throw access_denied_exception(MsgComposer("Register %I64X is not writable.", address));
    }
    entry->m_i_value.store(value, std::memory_order_release);
    if (entry->m_p_write_callback != nullptr) {
        RunCallback(entry->m_p_write_callback, address, value, entry->m_p_context);
    }
}

// ---- creation ------------------------------------------------------------------------------

void CRegisterMap::AddReg(uint64_t address, ACCESS access, uint32_t value, bool saveable,
                          RegCallback write_callback, void* context, RegCallback read_callback) {
    CheckAddress(address, 0);
    CheckAccess(access);
    Materialize(address);
    const uint64_t index = address / kWordSize;
    ReserveSlots(index, 1);
    m_vec_entries[index] = RegisterEntry(access, value, saveable, write_callback, context, read_callback);
}

void CRegisterMap::AddReg64(uint64_t address, ACCESS access, uint64_t value, bool saveable,
                            bool low_word_first, RegCallback write_callback, void* context,
                            RegCallback read_callback) {
    CheckAddress(address, 0);
    CheckAccess(access);
    Materialize(address);
    Materialize(address + kWordSize);
    const uint64_t index = address / kWordSize;
    ReserveSlots(index, 2);
    const auto low = static_cast<uint32_t>(value);
    const auto high = static_cast<uint32_t>(value >> 32);
    m_vec_entries[index] = RegisterEntry(access, low_word_first ? low : high, saveable, write_callback, context,
                                         read_callback);
    m_vec_entries[index + 1] = RegisterEntry(access, low_word_first ? high : low, saveable, write_callback,
                                             context, read_callback);
}

void CRegisterMap::AddConstBlock(uint64_t address, const uint8_t* data, uint64_t length, uint64_t size) {
    CheckAddress(address, size);
    if (size == 0) {
        throw invalid_parameter_exception(kSizeInvalid);
    }
    CheckBlockEnd(address, size);
    for (uint64_t offset = 0; offset < size; offset += kWordSize) {
        Materialize(address + offset);
        if (RegisterEntry* entry = Find(address + offset)) {
            *entry = RegisterEntry();
        }
    }
    m_vec_blocks.push_back(ConstBlock{address, size, data, data != nullptr ? std::min(length, size) : 0});
}

// Words are added from the highest address down, so the sequence grows once.
void CRegisterMap::AddRegs(uint64_t address, ACCESS access, const void* data, uint64_t size,
                           bool saveable, RegCallback write_callback, void* context,
                           RegCallback read_callback) {
    CheckAddress(address, size);
    if (size == 0) {
        throw invalid_parameter_exception(kSizeInvalid);
    }
    CheckBlockEnd(address, size);
    for (uint64_t offset = size; offset > 0;) {
        offset -= kWordSize;
        const uint32_t word = data != nullptr ? WordAt(data, offset) : 0;
        AddReg(address + offset, access, word, saveable, write_callback, context, read_callback);
    }
}

void CRegisterMap::AddRegs(uint64_t address, ACCESS access, const char* text, uint64_t size,
                           bool saveable, RegCallback write_callback, void* context,
                           RegCallback read_callback) {
    AddRegs(address, access, static_cast<const void*>(nullptr), size, saveable, write_callback,
            context, read_callback);
    const char* content = text != nullptr ? text : "";
    // Text and terminator must fit the block: a text of size characters or more is cut.
    WriteText(address, content, std::min<uint64_t>(strnlen(content, size), size - 1));
}

// ---- owner side ----------------------------------------------------------------------------

CRegisterMap::ACCESS CRegisterMap::GetAccess(uint64_t address) {
    CheckAddress(address, 0);
    if (Find(address) == nullptr && FindBlock(address) != nullptr) {
        return RO;
    }
    return static_cast<ACCESS>(LookupEntry(address).m_e_access);
}

void CRegisterMap::GetMem(uint64_t address, void* buffer, uint64_t size) {
    CheckBlock(address, buffer, size);
    for (uint64_t offset = 0; offset < size; offset += kWordSize) {
        PutWord(buffer, offset, GetReg(address + offset));
    }
}

uint32_t CRegisterMap::GetReg(uint64_t address) {
    CheckAddress(address, 0);
    if (const RegisterEntry* entry = Find(address)) {
        return entry->m_i_value.load(std::memory_order_acquire);
    }
    const ConstBlock* block = FindBlock(address);
    if (block == nullptr) {
        NotAvailable(address);
    }
    return block->WordAt(address);
}

// The word at the address is read before the word at address + 4, each with its own checks.
uint64_t CRegisterMap::GetReg64(uint64_t address, bool low_word_first) {
    const uint64_t first = GetReg(address);
    const uint64_t second = GetReg(address + kWordSize);
    return low_word_first ? (second << 32) | first : (first << 32) | second;
}

bool CRegisterMap::GetSaveable(uint64_t address) {
    CheckAddress(address, 0);
    if (Find(address) == nullptr && FindBlock(address) != nullptr) {
        return false;
    }
    return LookupEntry(address).m_b_saveable;
}

void CRegisterMap::SetAccess(uint64_t address, ACCESS access) {
    CheckAccess(access);
    LookupMutable(address).m_e_access = access;
}

void CRegisterMap::SetCallback(uint64_t address, RegCallback write_callback, void* context,
                               RegCallback read_callback) {
    RegisterEntry& entry = LookupMutable(address);
    entry.m_p_write_callback = write_callback;
    entry.m_p_context = context;
    entry.m_p_read_callback = read_callback;
}

void CRegisterMap::SetMem(uint64_t address, const void* buffer, uint64_t size) {
    CheckBlock(address, buffer, size);
    for (uint64_t offset = 0; offset < size; offset += kWordSize) {
        SetReg(address + offset, WordAt(buffer, offset));
    }
}

// A null text is stored as the empty text. The text is not cut to the block added there: it runs
// on into the following registers, which must exist.
void CRegisterMap::SetMem(uint64_t address, const char* text) {
    const char* content = text != nullptr ? text : "";
    const uint64_t length = std::strlen(content);
    CheckAddress(address, (length + kWordSize) / kWordSize * kWordSize);
    WriteText(address, content, length);
}

void CRegisterMap::SetReg(uint64_t address, uint32_t value) {
    LookupMutable(address).m_i_value.store(value, std::memory_order_release);
}

// The word at the address is written first; a failure on the second word keeps the first.
void CRegisterMap::SetReg64(uint64_t address, uint64_t value, bool low_word_first) {
    const auto low = static_cast<uint32_t>(value);
    const auto high = static_cast<uint32_t>(value >> 32);
    SetReg(address, low_word_first ? low : high);
    SetReg(address + kWordSize, low_word_first ? high : low);
}

void CRegisterMap::SetSaveable(uint64_t address, bool saveable) {
    LookupMutable(address).m_b_saveable = saveable;
}

// Writes length characters of text, the terminator and zero padding to the next word boundary,
// word by word through SetReg.
void CRegisterMap::WriteText(uint64_t address, const char* text, uint64_t length) {
    for (uint64_t offset = 0; offset <= length; offset += kWordSize) {
        uint32_t word = 0;
        std::memcpy(&word, text + offset, std::min(kWordSize, length - offset));
        SetReg(address + offset, word);
    }
}

}  // namespace GenTL
