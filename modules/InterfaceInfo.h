// Identity record of one interface of the frame grabber: prefix and identifier as the component
// reports them, the full identifier the consumer sees, and the interface information answers.
#pragma once

#include <cstddef>
#include <string>

#include "gentl/GenTL.h"

namespace GenTL {

class CInterfaceInfo {
public:
    // Prefix (stored upper-cased) and the component's identifier.
    CInterfaceInfo(const std::string& sPrefix, const std::string& sID);
    // Takes prefix, identifier and display name from the source; the copy's type is "Custom".
    CInterfaceInfo(const CInterfaceInfo& other);
    // Parses a full text of the form PP::xxxxxID::display name (see FromString).
    explicit CInterfaceInfo(const std::string& sText);
    CInterfaceInfo& operator=(const CInterfaceInfo&) = delete;
    virtual ~CInterfaceInfo() = default;

    // Interface information answer through the piType / pBuffer / piSize protocol.
    virtual void GetInfo(INTERFACE_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer, size_t& iSize);
    // Full identifier: prefix, "::", identifier.
    virtual std::string ToString() const;
    virtual void FromString(const std::string& sText);
    // Whether the text names this interface (prefix optional, letter case ignored).
    virtual bool IsInterface(const std::string& sText) const;
    virtual std::string GetDisplayName() const;
    virtual std::string GetID() const;
    virtual std::string GetPrefix() const;
    virtual std::string GetType() const;

private:
    std::string m_str_prefix;
    std::string m_str_id;
    std::string m_str_display_name;
    std::string m_str_type;
};

}  // namespace GenTL
