#include "modules/PortAnswers.h"

#include "gentl/InfoWriters.h"

namespace GenTL {

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

bool WriteURLInfo(const URLInfoValues& values, URL_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer,
                  size_t* piSize) {
    switch (iInfoCmd) {
        case URL_INFO_URL: SetReturnParam(pBuffer, piSize, piType, values.url); return true;
        case URL_INFO_SCHEMA_VER_MAJOR: SetReturnParam(pBuffer, piSize, piType, values.schema_major); return true;
        case URL_INFO_SCHEMA_VER_MINOR: SetReturnParam(pBuffer, piSize, piType, values.schema_minor); return true;
        case URL_INFO_FILE_VER_MAJOR: SetReturnParam(pBuffer, piSize, piType, values.file_major); return true;
        case URL_INFO_FILE_VER_MINOR: SetReturnParam(pBuffer, piSize, piType, values.file_minor); return true;
        case URL_INFO_FILE_VER_SUBMINOR: SetReturnParam(pBuffer, piSize, piType, values.file_subminor); return true;
        case URL_INFO_FILE_REGISTER_ADDRESS:
            SetReturnParam(pBuffer, piSize, piType, static_cast<unsigned long>(values.address));
            return true;
        case URL_INFO_FILE_SIZE:
            SetReturnParam(pBuffer, piSize, piType, static_cast<unsigned long>(values.size));
            return true;
        case URL_INFO_SCHEME: SetReturnParam(pBuffer, piSize, piType, static_cast<int>(URL_SCHEME_LOCAL)); return true;
        case URL_INFO_FILENAME: SetReturnParam(pBuffer, piSize, piType, values.file_name); return true;
        default: return false;
    }
}

void WriteURLText(const std::string& sURL, char* sBuffer, uint64_t* piSize) {
    std::string bytes = sURL;
    bytes.append(2, '\0');
    SetReturnParam(sBuffer, piSize, nullptr, INFO_DATATYPE_STRING, bytes.data(), bytes.size());
}

}  // namespace GenTL
