// Writers for the piType / pBuffer / piSize protocol shared by every information query.
#pragma once

#include <cstddef>
#include <string>

#include "gentl/GenTL.h"

namespace GenTL {

// iLen raw bytes, reported with the caller's data type.
void SetReturnParam(void* pDst, size_t* piSize, INFO_DATATYPE* piType, int iType, const void* pSrc, size_t iLen);
// A text and its terminating NUL (INFO_DATATYPE_STRING).
void SetReturnParam(void* pDst, size_t* piSize, INFO_DATATYPE* piType, const std::string& value);
// 32-bit signed (INFO_DATATYPE_INT32).
void SetReturnParam(void* pDst, size_t* piSize, INFO_DATATYPE* piType, int value);
// 32-bit unsigned (INFO_DATATYPE_UINT32).
void SetReturnParam(void* pDst, size_t* piSize, INFO_DATATYPE* piType, unsigned int value);
// 64-bit unsigned (INFO_DATATYPE_UINT64).
void SetReturnParam(void* pDst, size_t* piSize, INFO_DATATYPE* piType, unsigned long value);

// A one-byte boolean (INFO_DATATYPE_BOOL8).
void SetReturnBool8(void* pDst, size_t* piSize, INFO_DATATYPE* piType, bool value);
// A size (INFO_DATATYPE_SIZET).
void SetReturnSizeT(void* pDst, size_t* piSize, INFO_DATATYPE* piType, size_t value);
// An address (INFO_DATATYPE_PTR).
void SetReturnPointer(void* pDst, size_t* piSize, INFO_DATATYPE* piType, const void* value);

}  // namespace GenTL
