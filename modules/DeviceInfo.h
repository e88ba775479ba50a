// Identity record of one device: the texts the interface reports for it and the rule that decides
// whether a consumer-supplied name (identifier, serial number or user-defined name) names it.
#pragma once

#include <cstdint>
#include <string>

namespace GenTL {

class CDeviceInfo {
public:
    CDeviceInfo() = default;
    CDeviceInfo(const std::string& sID, const std::string& sVendor, const std::string& sModel,
                const std::string& sSerialNumber);
    // Copies the identity; the copy's version and m_str_reserved stay empty.
    CDeviceInfo(const CDeviceInfo& other);
    CDeviceInfo& operator=(const CDeviceInfo&) = delete;
    virtual ~CDeviceInfo() = default;

    virtual std::string GetID() const;
    // Model followed by the serial number in parentheses.
    virtual std::string GetDisplayName() const;
    // Whether the text names this device: by identifier (any letter case), by "SN->" and the
    // serial number, or by "USER_DEFINED_NAME->" and the user-defined name; a leading "xx::"
    // is ignored.
    bool IsDevice(const std::string& sText) const;

    // Plain data without a reader in the producer.
    uint16_t m_us_value0 = 0;
    uint16_t m_us_value1 = 0;
    uint32_t m_ui_value2 = 0;
    uint32_t m_ui_value3 = 0;
    // Read directly by the interface for its device information answers.
    std::string m_str_vendor;
    std::string m_str_model;
    std::string m_str_version;
    std::string m_str_reserved;
    std::string m_str_serial_number;
    std::string m_str_user_defined_name;
    std::string m_str_id;
};

}  // namespace GenTL
