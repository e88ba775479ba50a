#include "modules/InterfaceInfo.h"

#include "gentl/Exceptions.h"
#include "gentl/InfoWriters.h"
#include "gentl/MsgComposer.h"
#include "gentl/Platform.h"

namespace GenTL {

namespace {

const std::string kSeparator = "::";
constexpr size_t kPrefixLength = 2;
// Position of the identifier in the parsed layout: prefix, separator, five skipped characters.
constexpr size_t kIdentifierStart = 9;

}  // namespace

CInterfaceInfo::CInterfaceInfo(const std::string& sPrefix, const std::string& sID)
    : m_str_prefix(toupper(sPrefix)), m_str_id(sID), m_str_display_name("Interface : " + sID) {}

CInterfaceInfo::CInterfaceInfo(const CInterfaceInfo& other)
    : m_str_prefix(other.GetPrefix()),
      m_str_id(other.GetID()),
      m_str_display_name(other.GetDisplayName()),
      m_str_type("Custom") {}

CInterfaceInfo::CInterfaceInfo(const std::string& sText) { FromString(sText); }

void CInterfaceInfo::GetInfo(INTERFACE_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer, size_t& iSize) {
    std::string answer;
    switch (iInfoCmd) {
        case INTERFACE_INFO_ID:
            answer = ToString();
            break;
        case INTERFACE_INFO_DISPLAYNAME:
            answer = GetDisplayName();
            break;
        case INTERFACE_INFO_TLTYPE:
            answer = "Custom";
            break;
        default:
            throw implementation_exception(MsgComposer("Requested iID is not implemented; iID = %d.", iInfoCmd));
    }
    const size_t required = answer.size() + 1;
    if (pBuffer != nullptr && iSize != 0 && iSize < required) {
        throw buffer_too_small_exception(MsgComposer("Prepared buffer is too small. Required: %d. Prepared: %d.",
                                                     static_cast<int>(required), static_cast<int>(iSize)));
    }
    SetReturnParam(iSize == 0 ? nullptr : pBuffer, &iSize, piType, answer);
}

std::string CInterfaceInfo::ToString() const { return m_str_prefix + kSeparator + m_str_id; }

void CInterfaceInfo::FromString(const std::string& sText) {
    if (sText.find(kSeparator) != kPrefixLength) {
        throw invalid_parameter_exception("NI ID is missing Prefix entry");
    }
    const size_t second = sText.find(kSeparator, kPrefixLength + kSeparator.size());
    if (second == kPrefixLength + kSeparator.size()) {
        throw invalid_parameter_exception("NI ID is missing MAC entry");
    }
    std::string id;
    if (second == std::string::npos) {
        id = sText.substr(kIdentifierStart);
    } else {
        id = sText.substr(kIdentifierStart, second > kIdentifierStart ? second - kIdentifierStart : 0);
    }
    std::string displayName;
    if (second != std::string::npos) {
        const size_t nameStart = second + kSeparator.size();
        const size_t third = sText.find(kSeparator, nameStart);
        if (third == nameStart) {
            throw invalid_parameter_exception("NI ID is missing Description entry");
        }
        displayName = sText.substr(nameStart, third == std::string::npos ? std::string::npos : third - nameStart);
    }
    m_str_prefix = sText.substr(0, kPrefixLength);
    m_str_id = id;
    m_str_display_name = displayName;
}

bool CInterfaceInfo::IsInterface(const std::string& sText) const {
    const size_t separator = sText.find(kSeparator);
    size_t start = 0;
    if (separator != std::string::npos) {
        if (separator > 0 && toupper(sText.substr(0, separator)) != m_str_prefix) {
            return false;
        }
        start = separator + kSeparator.size();
    }
    const size_t end = sText.find(kSeparator, start);
    const std::string part = sText.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (part.empty()) {
        throw invalid_parameter_exception("Invalid Device Name");
    }
    return toupper(part) == toupper(m_str_id);
}

std::string CInterfaceInfo::GetDisplayName() const { return m_str_display_name; }

std::string CInterfaceInfo::GetID() const { return m_str_id; }

std::string CInterfaceInfo::GetPrefix() const { return m_str_prefix; }

std::string CInterfaceInfo::GetType() const { return m_str_type; }

}  // namespace GenTL
