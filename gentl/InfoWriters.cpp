#include "gentl/InfoWriters.h"

#include <cstring>

#include "gentl/Exceptions.h"
#include "gentl/MsgComposer.h"

namespace GenTL {

void SetReturnParam(void* pDst, size_t* piSize, INFO_DATATYPE* piType, int iType, const void* pSrc, size_t iLen) {
    if (piType != nullptr) {
        *piType = iType;
    }
    if (piSize == nullptr) {
        throw invalid_parameter_exception(MsgComposer("Specified iDst is invalid: iDst = 0x%p.", piSize));
    }
    if (pDst == nullptr) {
        *piSize = iLen;
        return;
    }
    if (iLen > *piSize) {
        throw buffer_too_small_exception(MsgComposer("Prepared buffer is too small. Required: %d. Prepared: %d.",
                                                     static_cast<int>(iLen), static_cast<int>(*piSize)));
    }
    std::memcpy(pDst, pSrc, iLen);
    *piSize = iLen;
}

void SetReturnParam(void* pDst, size_t* piSize, INFO_DATATYPE* piType, const std::string& value) {
    SetReturnParam(pDst, piSize, piType, INFO_DATATYPE_STRING, value.c_str(), value.size() + 1);
}

void SetReturnParam(void* pDst, size_t* piSize, INFO_DATATYPE* piType, int value) {
    SetReturnParam(pDst, piSize, piType, INFO_DATATYPE_INT32, &value, sizeof value);
}

void SetReturnParam(void* pDst, size_t* piSize, INFO_DATATYPE* piType, unsigned int value) {
    SetReturnParam(pDst, piSize, piType, INFO_DATATYPE_UINT32, &value, sizeof value);
}

void SetReturnParam(void* pDst, size_t* piSize, INFO_DATATYPE* piType, unsigned long value) {
    SetReturnParam(pDst, piSize, piType, INFO_DATATYPE_UINT64, &value, sizeof value);
}

void SetReturnBool8(void* pDst, size_t* piSize, INFO_DATATYPE* piType, bool value) {
    const uint8_t byte = value ? 1 : 0;
    SetReturnParam(pDst, piSize, piType, INFO_DATATYPE_BOOL8, &byte, sizeof byte);
}

void SetReturnSizeT(void* pDst, size_t* piSize, INFO_DATATYPE* piType, size_t value) {
    SetReturnParam(pDst, piSize, piType, INFO_DATATYPE_SIZET, &value, sizeof value);
}

void SetReturnPointer(void* pDst, size_t* piSize, INFO_DATATYPE* piType, const void* value) {
    SetReturnParam(pDst, piSize, piType, INFO_DATATYPE_PTR, &value, sizeof value);
}

}  // namespace GenTL
