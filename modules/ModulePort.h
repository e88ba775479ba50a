// What every module port shares: its register map, its embedded description and the answers of
// the port and URL information queries.
#pragma once

#include <cstdint>
#include <string>

#include "gentl/GenTL.h"
#include "regmap/RegisterMap.h"

namespace GenTL {

// Where a module's description lives and what it is called.
struct PortDescription {
    const char* file_name;
    int32_t resource_number;
    const char* resource_name;
    uint64_t address;
    int32_t file_version_subminor;
};

// The port information texts of one module.
struct PortInfoTexts {
    std::string id;
    std::string vendor;
    std::string model;
    std::string tl_type;
    std::string module;
    std::string version;
    std::string port_name;
};

// Message formats with which a module refuses bad URL requests.
struct URLErrorTexts {
    const char* null_size;   // takes the size pointer (%p)
    const char* too_small;   // takes the required and the given size (%d, %d)
};

class CModulePort {
public:
    explicit CModulePort(const PortDescription& description);

    CRegisterMap& Map() { return m_map; }
    uint32_t GetDescriptionSize() const { return m_i_description_size; }

    // Lays the module's description into the map as a read-only block.
    void AddDescription();

    uint64_t ReadData(uint64_t iAddress, void* pBuffer, uint64_t* piSize);
    uint64_t WriteData(uint64_t iAddress, const void* pBuffer, uint64_t* piSize);
    uint32_t ReadReg(uint64_t iAddress, uint32_t& iValue);
    void WriteReg(uint64_t iAddress, uint32_t iValue);

    // "Local:<file>;<address>;<size>;" with address and size in lower-case hexadecimal.
    std::string FormatURL() const;
    // Copies the URL without its trailing semicolon into sURL; *piSize receives the formatted
    // length + 1. A buffer that is too small gets nothing and raises invalid_parameter_exception.
    void CopyURL(char* sURL, uint64_t* piSize, const URLErrorTexts& texts) const;

    // URL information of URL index 0; false for a command the port does not answer.
    bool WriteURLInfo(URL_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) const;
    // Port information; false for a command the port does not answer.
    static bool WritePortInfo(const PortInfoTexts& texts, PORT_INFO_CMD iInfoCmd, INFO_DATATYPE* piType,
                              void* pBuffer, size_t* piSize);

private:
    const PortDescription& m_description;
    CRegisterMap m_map;
    uint32_t m_i_description_size = 0;
};

}  // namespace GenTL
