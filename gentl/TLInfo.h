#pragma once

#include <string>

namespace GenTL {

// Fixed identity texts of the producer.
class CTLInfo {
public:
    static std::string GetVendorName() { return "EMVA_P"; }
    static std::string GetModelName() { return "Quarvo"; }
    static std::string GetTLType() { return "Custom"; }
    static std::string GetDisplayName() { return "GenTL Producer Simulator"; }
};

// Opaque handle of this library: an address inside it, set when the library is loaded.
extern const void* g_hInst;

// Full path of the producer's own file ("" when the loader cannot tell).
std::string GetProducerPath();
// The producer's file name (the path after its last separator); false when the path has none.
bool GetProducerFileName(std::string& name);
// The failure text of a producer path without a separator.
inline constexpr char kInvalidModuleName[] = "Invalid module name.";

}  // namespace GenTL
