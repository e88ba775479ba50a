// The port half every module shares: its register map, its embedded description, the URL naming
// that description and the answers of the port and URL information queries. The modules differ
// only in the values and refusal texts their PortProfile gives and in their port information texts.
#pragma once

#include <cstdint>
#include <string>

#include "gentl/GenTL.h"
#include "modules/CommonBase.h"
#include "modules/PortAnswers.h"
#include "regmap/RegisterMap.h"

namespace GenTL {

// How a module hands out its URL text.
enum class URLCopy {
    // Copies the text itself and refuses a small buffer with the module's own texts.
    Self,
    // Through the information writer, which applies the common size protocol.
    Writer,
};

// Message formats with which a module refuses bad URL requests (URLCopy::Self).
struct URLErrorTexts {
    const char* null_size;  // takes the size pointer (%p)
    const char* too_small;  // takes the required and the given size (%d, %d)
};

// Where a module's description lives, what it is called and how the module words its refusals.
struct PortProfile {
    const char* file_name;
    int32_t resource_number;
    const char* resource_name;
    uint64_t description_address;
    int32_t file_version_subminor;
    URLCopy url_copy;
    URLErrorTexts url_errors;
    // A URL index other than 0: invalid_index_exception when true, else invalid_parameter_exception,
    // with this text (takes the index as %p).
    bool url_index_is_index_error;
    const char* url_index_text;
    // An unknown port or URL information command (may take the command as %p).
    const char* unknown_command_text;
};

class CPortModule : public ICommonBase {
public:
    uint64_t ReadData(uint64_t iAddress, void* pBuffer, uint64_t* piSize) final;
    uint64_t WriteData(uint64_t iAddress, const void* pBuffer, uint64_t* piSize) final;
    uint32_t ReadReg(uint64_t iAddress, uint32_t& iValue) final;
    void WriteReg(uint64_t iAddress, uint32_t iValue) final;
    void GetURL(char* sURL, uint64_t* piSize) final;
    void GetPortInfo(PORT_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) final;
    void GetNumPortURLs(uint32_t* piNumURLs) final;
    void GetPortURLInfo(uint32_t iURLIndex, URL_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer,
                        size_t* piSize) final;

    uint32_t GetDescriptionSize() const { return m_i_description_size; }

protected:
    explicit CPortModule(const PortProfile& profile);
    ~CPortModule();

    CRegisterMap& Map() { return m_map; }
    // Lays the module's description into the map as a read-only block at its address.
    void AddDescription();
    virtual PortInfoTexts GetPortInfoTexts() = 0;

private:
    // "Local:<file>;<address>;<size>;" with address and size in lower-case hexadecimal.
    std::string FormatURL() const;
    // The URL as handed out: the formatted text without its trailing semicolon.
    std::string GetURLText() const;
    void CopyURLSelf(char* sURL, uint64_t* piSize) const;
    URLInfoValues GetURLInfoValues() const;
    [[noreturn]] void RejectCommand(int32_t iInfoCmd) const;

    const PortProfile m_profile;
    CRegisterMap m_map;
    uint32_t m_i_description_size = 0;
};

}  // namespace GenTL
