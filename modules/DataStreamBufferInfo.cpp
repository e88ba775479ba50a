// The buffer information queries of a data stream.
#include "gentl/Exceptions.h"
#include "gentl/InfoWriters.h"
#include "modules/BufferInfo.h"
#include "modules/DataStream.h"

namespace GenTL {

namespace {

template <class T>
void Write(INFO_DATATYPE iType, T value, INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) {
    SetReturnParam(pBuffer, piSize, piType, iType, &value, sizeof value);
}

void WriteBool(bool value, INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) {
    Write<uint8_t>(INFO_DATATYPE_BOOL8, value ? 1 : 0, piType, pBuffer, piSize);
}

void WriteSize(uint64_t value, INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) {
    Write<size_t>(INFO_DATATYPE_SIZET, value, piType, pBuffer, piSize);
}

void WriteUInt64(uint64_t value, INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) {
    Write<uint64_t>(INFO_DATATYPE_UINT64, value, piType, pBuffer, piSize);
}

void WritePointer(const void* value, INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) {
    Write<const void*>(INFO_DATATYPE_PTR, value, piType, pBuffer, piSize);
}

}  // namespace

void CDataStream::DSGetBufferInfo(void* hBuffer, int32_t iInfoCmd, INFO_DATATYPE* piType, void* pBuffer,
                                  size_t* piSize) {
    const auto shared = ICommonBase::FromHandleAs<CBufferInfo>(hBuffer);
    if (!shared) {
        throw invalid_handle_exception("Invalid Handle");
    }
    const CBufferInfo& buffer = *shared;
    switch (iInfoCmd) {
        case BUFFER_INFO_BASE: WritePointer(buffer.Buffer(), piType, pBuffer, piSize); return;
        case BUFFER_INFO_SIZE: WriteSize(buffer.Size(), piType, pBuffer, piSize); return;
        case BUFFER_INFO_USER_PTR: WritePointer(buffer.UserPointer(), piType, pBuffer, piSize); return;
        case BUFFER_INFO_NEW_DATA: WriteBool(buffer.m_b_new_data, piType, pBuffer, piSize); return;
        case BUFFER_INFO_IS_QUEUED: WriteBool(buffer.m_b_queued, piType, pBuffer, piSize); return;
        case BUFFER_INFO_IS_ACQUIRING: WriteBool(buffer.m_b_is_acquiring, piType, pBuffer, piSize); return;
        case BUFFER_INFO_IS_INCOMPLETE: WriteBool(buffer.m_b_is_incomplete, piType, pBuffer, piSize); return;
        case BUFFER_INFO_TLTYPE:
            *piType = INFO_DATATYPE_STRING;
            SetReturnParam(pBuffer, piSize, piType, std::string("Custom"));
            return;
        case BUFFER_INFO_SIZE_FILLED: WriteSize(buffer.m_i_size_filled, piType, pBuffer, piSize); return;
        case BUFFER_INFO_WIDTH: WriteSize(buffer.m_i_width, piType, pBuffer, piSize); return;
        case BUFFER_INFO_HEIGHT: WriteSize(buffer.m_i_height, piType, pBuffer, piSize); return;
        case BUFFER_INFO_XOFFSET: WriteSize(buffer.m_i_x_offset, piType, pBuffer, piSize); return;
        case BUFFER_INFO_YOFFSET: WriteSize(buffer.m_i_y_offset, piType, pBuffer, piSize); return;
        case BUFFER_INFO_XPADDING: WriteSize(buffer.m_i_x_padding, piType, pBuffer, piSize); return;
        case BUFFER_INFO_YPADDING: WriteSize(buffer.m_i_y_padding, piType, pBuffer, piSize); return;
        case BUFFER_INFO_FRAMEID:
            if (!buffer.m_b_new_data) {
                throw not_available_exception(
                    "The agent inquried BUFFER_INFO_FRAMEID but the buffer has not been filled up.");
            }
            WriteUInt64(buffer.m_i_frame_id, piType, pBuffer, piSize);
            return;
        case BUFFER_INFO_IMAGEPRESENT: WriteBool(buffer.m_b_image_present, piType, pBuffer, piSize); return;
        case BUFFER_INFO_IMAGEOFFSET: WriteSize(buffer.m_i_image_offset, piType, pBuffer, piSize); return;
        case BUFFER_INFO_PAYLOADTYPE: WriteSize(buffer.m_i_payload_type, piType, pBuffer, piSize); return;
        case BUFFER_INFO_PIXELFORMAT: WriteUInt64(buffer.m_i_pixel_format, piType, pBuffer, piSize); return;
        case BUFFER_INFO_PIXELFORMAT_NAMESPACE:
            WriteUInt64(buffer.m_i_pixel_format_namespace, piType, pBuffer, piSize);
            return;
        case BUFFER_INFO_DELIVERED_IMAGEHEIGHT:
            WriteSize(buffer.m_i_delivered_image_height, piType, pBuffer, piSize);
            return;
        case BUFFER_INFO_DELIVERED_CHUNKPAYLOADSIZE:
            WriteSize(buffer.m_i_delivered_chunk_payload_size, piType, pBuffer, piSize);
            return;
        case BUFFER_INFO_CHUNKLAYOUTID: WriteUInt64(buffer.m_i_chunk_layout_id, piType, pBuffer, piSize); return;
        case BUFFER_INFO_FILENAME:
            SetReturnParam(pBuffer, piSize, piType, std::string("QBN_BUFFER_INFO_FILENAME.txt"));
            return;
        case BUFFER_INFO_PIXEL_ENDIANNESS:
            SetReturnParam(pBuffer, piSize, piType, static_cast<int>(buffer.m_i_pixel_endianness));
            return;
        case BUFFER_INFO_DATA_SIZE: WriteSize(buffer.m_i_data_size, piType, pBuffer, piSize); return;
        case BUFFER_INFO_TIMESTAMP_NS:
            SetReturnParam(pBuffer, piSize, piType, static_cast<unsigned long>(buffer.m_i_timestamp.load()));
            return;
        case BUFFER_INFO_DATA_LARGER_THAN_BUFFER:
            WriteBool(buffer.m_b_data_larger_than_buffer, piType, pBuffer, piSize);
            return;
        case BUFFER_INFO_CONTAINS_CHUNKDATA:
            WriteBool(buffer.m_b_contains_chunk_data, piType, pBuffer, piSize);
            return;
        default: throw std::runtime_error("Error Inquire buffer info");
    }
}

}  // namespace GenTL
