// The SFNC camera's GenApi document and the table of its registers. The table is the one list of
// the camera's registers: the document's register nodes are written from it, and the camera takes
// each register's address, length and access from it, so the two cannot disagree. The features,
// categories, enumerations and formulas are hand-written (QuarvoSfncCamera.xml, compiled in).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace Quibbon::Sim::Sfnc {

enum class Access : uint8_t { RO, WO, RW };

// The GenApi node type of a register and the layout of its value, all little-endian:
// Int: an unsigned integer of `length` bytes, 4 or 8 (IntReg); Float: an IEEE double, 8 bytes (FloatReg);
// String: zero-padded text of `length` bytes (StringReg).
enum class RegisterKind : uint8_t { Int, Float, String };

// Whether a GenApi cache may keep the value between reads. WriteThrough: the value changes only by
// writes to this register or to one of its invalidators. NoCache: the camera changes it on its own
// (temperature, auto modes, the lock while acquiring, commands that read 0 once done).
enum class Caching : uint8_t { WriteThrough, NoCache };

constexpr size_t kMaxInvalidators = 16;

struct RegisterNode {
    const char* name;  // register node name in the document, "<feature>Reg"
    uint64_t address;  // a Register of SfncRegisters.h
    uint32_t length;   // bytes
    Access access;
    RegisterKind kind;
    Caching caching;
    // The register nodes whose writes may change this register's value: a GenApi cache rereads it
    // after any of them was written. Unused entries are null. Every cached register is also
    // invalidated by DeviceResetReg and UserSetLoadReg, which the document adds without them being
    // listed here.
    const char* invalidators[kMaxInvalidators];
};

// The registers in increasing address order (the document block at kDescription is not one).
struct RegisterTable {
    const RegisterNode* first;
    size_t count;
    const RegisterNode* begin() const { return first; }
    const RegisterNode* end() const { return first + count; }
    size_t size() const { return count; }
};
RegisterTable SfncRegisterNodes();

// The register that starts at that address, or null.
const RegisterNode* FindSfncRegister(uint64_t address);

// The value of the entry named `entry` of the enumeration feature `feature` in the document, or
// nothing when the document has no such feature or entry.
std::optional<uint32_t> SfncEnumEntry(const std::string& feature, const std::string& entry);

// The complete GenApi document (schema 1.1), built on first use; its port node is "Device".
const std::string& SfncDocument();

}  // namespace Quibbon::Sim::Sfnc
