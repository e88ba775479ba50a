// The GenApi descriptions embedded in the producer and the copy operation through which each
// module lays its description into its own register space.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace GenTL {

// Resource numbers of the embedded descriptions.
inline constexpr int32_t kResourceSystem = 115;
inline constexpr int32_t kResourceInterface = 116;
inline constexpr int32_t kResourceDevice = 118;
inline constexpr int32_t kResourceBuffer = 120;
inline constexpr int32_t kResourceDataStream = 121;
inline constexpr int32_t kResourceRemoteDevice = 125;

// Resource type texts the modules pass along with the number; they do not select anything.
inline constexpr char kResourceTypeSystem[] = "TLREGS";
inline constexpr char kResourceTypeInterface[] = "INTERFACEREGS";
inline constexpr char kResourceTypeDevice[] = "DEVTLREGS";
inline constexpr char kResourceTypeBuffer[] = "BUFFREGS";
inline constexpr char kResourceTypeDataStream[] = "DSREGS";
inline constexpr char kResourceTypeRemoteDevice[] = "DEVREGS";

// File names under which the modules publish their description in the port URL.
inline constexpr char kFileNameSystem[] = "KVTL.xml";
inline constexpr char kFileNameInterface[] = "KVTLI.xml";
inline constexpr char kFileNameDevice[] = "KVDEVTL.xml";
inline constexpr char kFileNameBuffer[] = "KVGEVTLBuf.xml";
inline constexpr char kFileNameDataStream[] = "KVDS.xml";
inline constexpr char kFileNameRemoteDevice[] = "KVDEV.xml";

// Byte address of the description block in each module's port.
inline constexpr uint64_t kDescriptionAddressSystem = 0x940;
inline constexpr uint64_t kDescriptionAddressInterface = 0x700;
inline constexpr uint64_t kDescriptionAddressDevice = 0x600;
inline constexpr uint64_t kDescriptionAddressBuffer = 0x100;
inline constexpr uint64_t kDescriptionAddressDataStream = 0x300;
inline constexpr uint64_t kDescriptionAddressRemoteDevice = 0x380;

// Copies the description with resource number iResource into buffer and returns the padded
// length P: the document length rounded up to a multiple of four. buffer ends up exactly P bytes
// long, the document followed by zero bytes, so the block is a whole number of 32-bit registers
// and the text is zero-terminated whenever its length is not a multiple of four.
// hModule and pszType are accepted for the callers' convenience and not examined.
// Raises invalid_parameter_exception "Unknown resource" for any other number, leaving buffer as
// it was.
// buffer holds uint8_t so that buffer.data() selects the byte form of CRegisterMap::AddRegs,
// never the text form.
int32_t CopyResource(const void* hModule, int32_t iResource, const char* pszType,
                     std::vector<uint8_t>& buffer);

// The embedded bytes of a description (not padded) without copying them, for ports that serve
// their description straight from the library. Raises "Unknown resource" like CopyResource.
struct ResourceBytes {
    const uint8_t* data;
    size_t length;
    int32_t padded_length;
};
ResourceBytes GetResourceBytes(int32_t iResource);

// Largest document length whose padded length still fits the 32-bit result.
inline constexpr size_t kMaxDocumentSize = 0x7FFFFFFC;

// The padding step of CopyResource: replaces the contents of buffer with the size bytes at data
// followed by zero bytes up to the next multiple of four, and returns that padded length.
// A size above kMaxDocumentSize raises invalid_parameter_exception and leaves buffer as it was.
int32_t CopyPadded(const uint8_t* data, size_t size, std::vector<uint8_t>& buffer);

}  // namespace GenTL
