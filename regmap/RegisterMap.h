// The register space behind every module port: a sparse array of 32-bit registers at byte
// addresses that are multiples of four, each with access rights, a value, optional read and
// write callbacks with a context pointer, and a saveable flag.
//
// Port-side operations (ReadReg, WriteReg, ReadMem, WriteMem) apply the access rights and run the
// callbacks; owner-side operations (Get*/Set*) ignore both. Every operation requires that the
// register exists; only the Add* operations create registers and grow the slot sequence.
//
// Threading: register values are atomic, so the owner may update existing registers (SetReg,
// SetReg64, SetMem) on one thread while another thread reads them through the port side. Adding
// registers and changing rights, callbacks or flags is done while the owner fills its port and must
// not overlap with other use of the map. A 64-bit pair or a block is not read or written as a unit.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace GenTL {

class CRegisterMap {
public:
    // Access rights: bit 0 readable, bit 1 writable.
    enum ACCESS : uint32_t { RO = 1, WO = 2, RW = 3 };

    // Register callback: (register address, the register's value, context). A read callback may
    // refresh the value before it is returned; a write callback sees the value just written and may
    // replace it. Either way the value left in the reference is stored in the register, unless the
    // register was written meanwhile (then the newer value is kept).
    using RegCallback = void (*)(uint64_t address, uint32_t& value, void* context);

    // Highest word index (address / 4) that any address check accepts.
    static constexpr uint64_t kMaxWordIndex = 0x0666666666666666ULL;
    // Highest initial reservation the constructor accepts.
    static constexpr uint64_t kMaxReservation = 0x1FFFFFFFFFFFFFFFULL;
    // Reservation every module object uses.
    static constexpr uint64_t kDefaultReservation = 100;

    explicit CRegisterMap(uint64_t reservation = kDefaultReservation);
    CRegisterMap(const CRegisterMap&) = delete;
    CRegisterMap& operator=(const CRegisterMap&) = delete;
    virtual ~CRegisterMap();

    // Port side: rights checked, callbacks run.
    virtual void ReadMem(uint64_t address, void* buffer, uint64_t size);
    virtual uint32_t ReadReg(uint64_t address);
    virtual void WriteMem(uint64_t address, const void* buffer, uint64_t size);
    virtual void WriteReg(uint64_t address, uint32_t value);

    // Creation; adding at an occupied address replaces the register.
    virtual void AddReg(uint64_t address, ACCESS access, uint32_t value, bool saveable = false,
                        RegCallback write_callback = nullptr, void* context = nullptr,
                        RegCallback read_callback = nullptr);
    virtual void AddReg64(uint64_t address, ACCESS access, uint64_t value, bool saveable,
                          bool low_word_first, RegCallback write_callback = nullptr,
                          void* context = nullptr, RegCallback read_callback = nullptr);
    // size / 4 registers from the words of data, or zero when data is null.
    virtual void AddRegs(uint64_t address, ACCESS access, const void* data, uint64_t size,
                         bool saveable = false, RegCallback write_callback = nullptr,
                         void* context = nullptr, RegCallback read_callback = nullptr);
    // size / 4 zeroed registers holding the zero-terminated text, cut to size - 1 characters.
    // Here and in SetMem a null text counts as the empty text.
    virtual void AddRegs(uint64_t address, ACCESS access, const char* text, uint64_t size,
                         bool saveable = false, RegCallback write_callback = nullptr,
                         void* context = nullptr, RegCallback read_callback = nullptr);

    // A read-only block of size bytes at address over constant bytes that outlive the map: the
    // first length bytes of data, then zeros. Its words read exactly like registers added with
    // AddRegs (read-only, no callbacks, not saveable) but cost no entry each; they become ordinary
    // registers when one of them is changed or replaced. Meant for embedded descriptions.
    virtual void AddConstBlock(uint64_t address, const uint8_t* data, uint64_t length, uint64_t size);

    // Owner side and register attributes: no rights check, no callbacks.
    virtual ACCESS GetAccess(uint64_t address);
    virtual void GetMem(uint64_t address, void* buffer, uint64_t size);
    virtual uint32_t GetReg(uint64_t address);
    virtual uint64_t GetReg64(uint64_t address, bool low_word_first);
    virtual bool GetSaveable(uint64_t address);
    virtual void SetAccess(uint64_t address, ACCESS access);
    virtual void SetCallback(uint64_t address, RegCallback write_callback, void* context,
                             RegCallback read_callback);
    virtual void SetMem(uint64_t address, const void* buffer, uint64_t size);
    // Stores the text, its terminator and zero padding up to the next word boundary.
    virtual void SetMem(uint64_t address, const char* text);
    virtual void SetReg(uint64_t address, uint32_t value);
    virtual void SetReg64(uint64_t address, uint64_t value, bool low_word_first);
    virtual void SetSaveable(uint64_t address, bool saveable);

private:
    struct RegisterEntry {
        RegisterEntry() = default;
        RegisterEntry(ACCESS access, uint32_t value, bool saveable, RegCallback write_callback,
                      void* context, RegCallback read_callback);
        // Entries move only while the map grows, which never overlaps with other use.
        RegisterEntry(RegisterEntry&& other) noexcept;
        RegisterEntry& operator=(RegisterEntry&& other) noexcept;

        uint32_t m_e_access = 0;  // 0: no register
        std::atomic<uint32_t> m_i_value{0};
        RegCallback m_p_write_callback = nullptr;
        RegCallback m_p_read_callback = nullptr;
        void* m_p_context = nullptr;
        bool m_b_saveable = false;
    };

    struct ConstBlock {
        uint64_t address;
        uint64_t size;
        const uint8_t* data;
        uint64_t length;

        bool Contains(uint64_t where) const { return where >= address && where - address < size; }
        uint32_t WordAt(uint64_t where) const;
    };

    static void CheckAddress(uint64_t address, uint64_t size);
    static void CheckAccess(ACCESS access);
    static void CheckBlock(uint64_t address, const void* buffer, uint64_t size);
    static void CheckBlockEnd(uint64_t address, uint64_t size);

    RegisterEntry* Find(uint64_t address) noexcept;
    const ConstBlock* FindBlock(uint64_t address) const noexcept;
    [[noreturn]] static void NotAvailable(uint64_t address);
    // The entry of an existing register, a constant block's word turned into one first.
    RegisterEntry& LookupMutable(uint64_t address);
    RegisterEntry& LookupEntry(uint64_t address);
    void Materialize(uint64_t address);
    void ReserveSlots(uint64_t index, uint64_t count);
    void RunCallback(RegCallback callback, uint64_t address, uint32_t value, void* context);
    void StoreCallbackResult(uint64_t address, uint32_t original, uint32_t result) noexcept;
    void WriteText(uint64_t address, const char* text, uint64_t length);

    std::vector<RegisterEntry> m_vec_entries;
    std::vector<ConstBlock> m_vec_blocks;
};

}  // namespace GenTL
