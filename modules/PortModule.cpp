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
    WriteURLText(GetURLText(), sURL, piSize);
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
    if (!WriteURLInfo(GetURLInfoValues(), iInfoCmd, piType, pBuffer, piSize)) {
        RejectCommand(iInfoCmd);
    }
}

void CPortModule::RejectCommand(int32_t iInfoCmd) const {
    throw invalid_parameter_exception(MsgComposer(m_profile.unknown_command_text, AsPointer(iInfoCmd)));
}

std::string CPortModule::GetURLText() const {
    std::string url = FormatURL();
    url.pop_back();
    return url;
}

URLInfoValues CPortModule::GetURLInfoValues() const {
    return {GetURLText(), m_profile.file_name, m_profile.description_address, m_i_description_size, 1, 0, 1, 0,
            m_profile.file_version_subminor};
}

}  // namespace GenTL
