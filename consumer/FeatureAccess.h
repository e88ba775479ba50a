// Features of one GenApi port read, written and described as text, the way a user names them:
// values are parsed by the feature's type and checked against its access mode, range and
// entries before anything is written, so a refusal says what was wrong. A name of the form 0x...
// is a 32-bit register of the port itself, read and written without the description.
#pragma once

#include <string>
#include <vector>

#include "consumer/GenApiPort.h"

namespace quarvo {

struct FeatureDescription {
    std::string name;
    std::string kind;    // Category, Integer, Float, Boolean, Enumeration, String, Command, Register, Node
    std::string value;   // as GenApi renders it; "(error: ...)" when it cannot be read; empty for categories and commands
    std::string access;  // RO, WO, RW, NA (not available now) or NI (not implemented)
    std::string unit;
    std::string range;  // min..max [step inc] for numbers, the entries for enumerations
    std::vector<std::string> children;  // the features of a category
};

class FeatureAccess {
public:
    explicit FeatureAccess(GenApiPort& port) : m_port(port) {}

    static bool IsRegisterAddress(const std::string& name);

    FeatureDescription Describe(const std::string& name);
    // The value as text; throws GenApiError for unknown or unreadable features.
    std::string Get(const std::string& name);
    // Writes the value (executes a command, whose value must be empty, "1" or "Execute"); throws
    // UsageError for a value of the wrong kind and GenApiError when the feature refuses it.
    void Set(const std::string& name, const std::string& value);

private:
    ArvGcFeatureNode* Feature(const std::string& name);
    std::string Access(ArvGcFeatureNode* node);
    std::string Range(const std::string& name, ArvGcNode* node);
    void RequireWritable(const std::string& name, ArvGcFeatureNode* node);
    void SetInteger(const std::string& name, const std::string& value);
    void SetFloat(const std::string& name, const std::string& value);
    void SetEnumeration(const std::string& name, const std::string& value);
    uint32_t RegisterAddress(const std::string& name) const;

    GenApiPort& m_port;
};

// The kind of a node, as FeatureDescription names it.
std::string KindOf(ArvGcNode* node);

// The texts separated by ", ".
std::string Join(const std::vector<std::string>& names);

}  // namespace quarvo
