// The answers of the port and URL information queries and the hand-out of a port's URL, shared by
// the module ports (which keep their descriptions in their own register maps) and the port of a
// camera that describes itself (whose description lives in the camera).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "gentl/GenTL.h"

namespace GenTL {

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

// What the URL information queries of a port answer.
struct URLInfoValues {
    std::string url;  // as handed out, without a trailing semicolon
    std::string file_name;
    uint64_t address;  // of the description in the port's register space
    uint64_t size;     // of the description, in bytes
    int32_t schema_major;
    int32_t schema_minor;
    int32_t file_major;
    int32_t file_minor;
    int32_t file_subminor;
};

// Each writes the answer through the information writer; false for a command it does not know.
bool WritePortInfo(const PortInfoTexts& texts, PORT_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer,
                   size_t* piSize);
bool WriteURLInfo(const URLInfoValues& values, URL_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer,
                  size_t* piSize);

// Hands out a URL through the information writer's size protocol as the device-side ports do: the
// text, its terminator and one more zero byte, so that the size reported is the text's length + 2
// (the length of the text with its trailing semicolon, + 1).
void WriteURLText(const std::string& sURL, char* sBuffer, uint64_t* piSize);

}  // namespace GenTL
