#include "modules/DeviceInfo.h"

#include "gentl/Exceptions.h"
#include "gentl/Platform.h"

namespace GenTL {

namespace {

const std::string kSeparator = "::";
const std::string kUserNameTag = "USER_DEFINED_NAME->";
const std::string kSerialTag = "SN->";

bool StartsWith(const std::string& text, const std::string& head) { return text.compare(0, head.size(), head) == 0; }

// The name part of a device text: after the first "::" (if any), up to the next one.
std::string NamePart(const std::string& sText) {
    const size_t separator = sText.find(kSeparator);
    const size_t start = separator == std::string::npos ? 0 : separator + kSeparator.size();
    const size_t end = sText.find(kSeparator, start);
    return sText.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

}  // namespace

CDeviceInfo::CDeviceInfo(const std::string& sID, const std::string& sVendor, const std::string& sModel,
                         const std::string& sSerialNumber)
    : m_us_value0(0),
      m_us_value1(1),
      m_ui_value2(0),
      m_ui_value3(1),
      m_str_vendor(sVendor),
      m_str_model(sModel),
      m_str_version("1.2.3"),
      m_str_serial_number(sSerialNumber),
      m_str_user_defined_name("Center"),
      m_str_id(sID) {}

CDeviceInfo::CDeviceInfo(const CDeviceInfo& other)
    : m_us_value0(other.m_us_value0),
      m_us_value1(other.m_us_value1),
      m_ui_value2(other.m_ui_value2),
      m_str_vendor(other.m_str_vendor),
      m_str_model(other.m_str_model),
      m_str_serial_number(other.m_str_serial_number),
      m_str_user_defined_name(other.m_str_user_defined_name),
      m_str_id(other.m_str_id) {}

std::string CDeviceInfo::GetID() const { return m_str_id; }

std::string CDeviceInfo::GetDisplayName() const { return m_str_model + " (" + m_str_serial_number + ")"; }

bool CDeviceInfo::IsDevice(const std::string& sText) const {
    const std::string name = toupper(NamePart(sText));
    if (name.empty()) {
        throw invalid_parameter_exception("Invalid Device Name");
    }
    if (StartsWith(name, kUserNameTag)) {
        return name.substr(kUserNameTag.size()) == toupper(m_str_user_defined_name);
    }
    if (StartsWith(name, kSerialTag)) {
        return name.substr(kSerialTag.size()) == m_str_serial_number;
    }
    return name == toupper(m_str_id);
}

}  // namespace GenTL
