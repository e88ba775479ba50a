#include "modules/PortModule.h"

#include <cstring>

#include "gentl/Exceptions.h"
#include "gentl/InfoWriters.h"
#include "gentl/MsgComposer.h"
#include "gentl/TLInfo.h"
#include "resources/ResourceTable.h"

namespace GenTL {

namespace {

void* AsPointer(int64_t value) { return reinterpret_cast<void*>(static_cast<intptr_t>(value)); }

bool WritePortInfo(const PortInfoTexts& texts, PORT_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer,
                   size_t* piSize) {
    switch (iInfoCmd) {
        case PORT_INFO_ID: SetReturnParam(pBuffer, piSize, piType, texts.id); return true;
        case PORT_INFO_VENDOR: SetReturnParam(pBuffer, piSize, piType, texts.vendor); return true;
        case PORT_INFO_MODEL: SetReturnParam(pBuffer, piSize, piType, texts.model); return true;
        case PORT_INFO_TLTYPE: SetReturnParam(pBuffer, piSize, piType, texts.tl_type); return true;
        case PORT_INFO_MODULE: SetReturnParam(pBuffer, piSize, piType, texts.module); return true;
        case PORT_INFO_VERSION: SetReturnParam(pBuffer, piSize, piType, texts.version); return true;
        case PORT_INFO_PORTNAME: SetReturnParam(pBuffer, piSize, piType, texts.port_name); return true;
        case PORT_INFO_LITTLE_ENDIAN:
        case PORT_INFO_ACCESS_READ:
        case PORT_INFO_ACCESS_WRITE: SetReturnBool8(pBuffer, piSize, piType, true); return true;
        case PORT_INFO_BIG_ENDIAN:
        case PORT_INFO_ACCESS_NA:
        case PORT_INFO_ACCESS_NI: SetReturnBool8(pBuffer, piSize, piType, false); return true;
        default: return false;
    }
}

}  // namespace

CPortModule::CPortModule(const PortProfile& profile) : m_profile(profile) {}

CPortModule::~CPortModule() = default;

// The description is served straight from the embedded bytes, zero-padded to whole words, as
// CopyResource would lay it out.
void CPortModule::AddDescription() {
    const ResourceBytes bytes = GetResourceBytes(m_profile.resource_number);
    m_i_description_size = static_cast<uint32_t>(bytes.padded_length);
    m_map.AddConstBlock(m_profile.description_address, bytes.data, bytes.length, m_i_description_size);
}

uint64_t CPortModule::ReadData(uint64_t iAddress, void* pBuffer, uint64_t* piSize) {
    m_map.ReadMem(iAddress, pBuffer, *piSize);
    return *piSize;
}

uint64_t CPortModule::WriteData(uint64_t iAddress, const void* pBuffer, uint64_t* piSize) {
    m_map.WriteMem(iAddress, pBuffer, *piSize);
    return *piSize;
}

uint32_t CPortModule::ReadReg(uint64_t iAddress, uint32_t& iValue) {
    iValue = m_map.ReadReg(iAddress);
    return iValue;
}

void CPortModule::WriteReg(uint64_t iAddress, uint32_t iValue) { m_map.WriteReg(iAddress, iValue); }

std::string CPortModule::FormatURL() const {
    return MsgComposer("Local:%s;%llx;%x;", m_profile.file_name,
                       static_cast<unsigned long long>(m_profile.description_address), m_i_description_size);
}

void CPortModule::GetURL(char* sURL, uint64_t* piSize) {
    if (m_profile.url_copy == URLCopy::Self) {
        CopyURLSelf(sURL, piSize);
        return;
    }
    // The text without its semicolon, the terminator and one more zero byte: the size reported
    // is the formatted length + 1.
    std::string url = FormatURL();
    url.back() = '\0';
    url.push_back('\0');
    SetReturnParam(sURL, piSize, nullptr, INFO_DATATYPE_STRING, url.data(), url.size());
}

void CPortModule::CopyURLSelf(char* sURL, uint64_t* piSize) const {
    if (piSize == nullptr) {
        throw invalid_parameter_exception(MsgComposer(m_profile.url_errors.null_size, piSize));
    }
    const std::string url = FormatURL();
    const uint64_t required = url.size() + 1;
    if (sURL != nullptr && required > *piSize) {
        const int given = static_cast<int>(*piSize);
        *piSize = required;
        throw invalid_parameter_exception(MsgComposer(m_profile.url_errors.too_small, static_cast<int>(required), given));
    }
    if (sURL != nullptr) {
        std::memcpy(sURL, url.c_str(), url.size());
        sURL[url.size() - 1] = '\0';
        sURL[url.size()] = '\0';
    }
    *piSize = required;
}

void CPortModule::GetPortInfo(PORT_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) {
    if (!WritePortInfo(GetPortInfoTexts(), iInfoCmd, piType, pBuffer, piSize)) {
        RejectCommand(iInfoCmd);
    }
}

void CPortModule::GetNumPortURLs(uint32_t* piNumURLs) { *piNumURLs = 1; }

void CPortModule::GetPortURLInfo(uint32_t iURLIndex, URL_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer,
                                 size_t* piSize) {
    if (iURLIndex != 0) {
        const std::string text = MsgComposer(m_profile.url_index_text, AsPointer(iURLIndex));
        if (m_profile.url_index_is_index_error) {
            throw invalid_index_exception(text);
        }
        throw invalid_parameter_exception(text);
    }
    if (!WriteURLInfo(iInfoCmd, piType, pBuffer, piSize)) {
        RejectCommand(iInfoCmd);
    }
}

void CPortModule::RejectCommand(int32_t iInfoCmd) const {
    throw invalid_parameter_exception(MsgComposer(m_profile.unknown_command_text, AsPointer(iInfoCmd)));
}

bool CPortModule::WriteURLInfo(URL_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) const {
    switch (iInfoCmd) {
        case URL_INFO_URL: {
            std::string url = FormatURL();
            url.pop_back();
            SetReturnParam(pBuffer, piSize, piType, url);
            return true;
        }
        case URL_INFO_SCHEMA_VER_MAJOR:
        case URL_INFO_FILE_VER_MAJOR: SetReturnParam(pBuffer, piSize, piType, 1); return true;
        case URL_INFO_SCHEMA_VER_MINOR:
        case URL_INFO_FILE_VER_MINOR: SetReturnParam(pBuffer, piSize, piType, 0); return true;
        case URL_INFO_FILE_VER_SUBMINOR:
            SetReturnParam(pBuffer, piSize, piType, static_cast<int>(m_profile.file_version_subminor));
            return true;
        case URL_INFO_FILE_REGISTER_ADDRESS:
            SetReturnParam(pBuffer, piSize, piType, static_cast<unsigned long>(m_profile.description_address));
            return true;
        case URL_INFO_FILE_SIZE:
            SetReturnParam(pBuffer, piSize, piType, static_cast<unsigned long>(m_i_description_size));
            return true;
        case URL_INFO_SCHEME: SetReturnParam(pBuffer, piSize, piType, static_cast<int>(URL_SCHEME_LOCAL)); return true;
        case URL_INFO_FILENAME: SetReturnParam(pBuffer, piSize, piType, std::string(m_profile.file_name)); return true;
        default: return false;
    }
}

}  // namespace GenTL
