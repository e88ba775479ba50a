// The buffer information queries of a data stream.
#include "gentl/Exceptions.h"
#include "gentl/InfoWriters.h"
#include "modules/BufferInfo.h"
#include "modules/DataStream.h"

namespace GenTL {

void CDataStream::DSGetBufferInfo(void* hBuffer, int32_t iInfoCmd, INFO_DATATYPE* piType, void* pBuffer,
                                  size_t* piSize) {
    const auto shared = ICommonBase::FromHandleAs<CBufferInfo>(hBuffer);
    if (!shared) {
        throw invalid_handle_exception("Invalid Handle");
    }
    const CBufferInfo& buffer = *shared;
    switch (iInfoCmd) {
        case BUFFER_INFO_BASE: SetReturnPointer(pBuffer, piSize, piType, buffer.Buffer()); return;
        case BUFFER_INFO_SIZE: SetReturnSizeT(pBuffer, piSize, piType, buffer.Size()); return;
        case BUFFER_INFO_USER_PTR: SetReturnPointer(pBuffer, piSize, piType, buffer.UserPointer()); return;
        case BUFFER_INFO_NEW_DATA: SetReturnBool8(pBuffer, piSize, piType, buffer.m_b_new_data); return;
        case BUFFER_INFO_IS_QUEUED: SetReturnBool8(pBuffer, piSize, piType, buffer.m_b_queued); return;
        case BUFFER_INFO_IS_ACQUIRING: SetReturnBool8(pBuffer, piSize, piType, buffer.m_b_is_acquiring); return;
        case BUFFER_INFO_IS_INCOMPLETE: SetReturnBool8(pBuffer, piSize, piType, buffer.m_b_is_incomplete); return;
        case BUFFER_INFO_TLTYPE:
            *piType = INFO_DATATYPE_STRING;
            SetReturnParam(pBuffer, piSize, piType, std::string("Custom"));
            return;
        case BUFFER_INFO_SIZE_FILLED: SetReturnSizeT(pBuffer, piSize, piType, buffer.m_i_size_filled); return;
        case BUFFER_INFO_WIDTH: SetReturnSizeT(pBuffer, piSize, piType, buffer.m_i_width); return;
        case BUFFER_INFO_HEIGHT: SetReturnSizeT(pBuffer, piSize, piType, buffer.m_i_height); return;
        case BUFFER_INFO_XOFFSET: SetReturnSizeT(pBuffer, piSize, piType, buffer.m_i_x_offset); return;
        case BUFFER_INFO_YOFFSET: SetReturnSizeT(pBuffer, piSize, piType, buffer.m_i_y_offset); return;
        case BUFFER_INFO_XPADDING: SetReturnSizeT(pBuffer, piSize, piType, buffer.m_i_x_padding); return;
        case BUFFER_INFO_YPADDING: SetReturnSizeT(pBuffer, piSize, piType, buffer.m_i_y_padding); return;
        case BUFFER_INFO_FRAMEID:
            if (!buffer.m_b_new_data) {
                throw not_available_exception(
                    "The agent inquried BUFFER_INFO_FRAMEID but the buffer has not been filled up.");
            }
            SetReturnParam(pBuffer, piSize, piType, static_cast<unsigned long>(buffer.m_i_frame_id));
            return;
        case BUFFER_INFO_IMAGEPRESENT: SetReturnBool8(pBuffer, piSize, piType, buffer.m_b_image_present); return;
        case BUFFER_INFO_IMAGEOFFSET: SetReturnSizeT(pBuffer, piSize, piType, buffer.m_i_image_offset); return;
        case BUFFER_INFO_PAYLOADTYPE: SetReturnSizeT(pBuffer, piSize, piType, buffer.m_i_payload_type); return;
        case BUFFER_INFO_PIXELFORMAT:
            SetReturnParam(pBuffer, piSize, piType, static_cast<unsigned long>(buffer.m_i_pixel_format));
            return;
        case BUFFER_INFO_PIXELFORMAT_NAMESPACE:
            SetReturnParam(pBuffer, piSize, piType, static_cast<unsigned long>(buffer.m_i_pixel_format_namespace));
            return;
        case BUFFER_INFO_DELIVERED_IMAGEHEIGHT:
            SetReturnSizeT(pBuffer, piSize, piType, buffer.m_i_delivered_image_height);
            return;
        case BUFFER_INFO_DELIVERED_CHUNKPAYLOADSIZE:
            SetReturnSizeT(pBuffer, piSize, piType, buffer.m_i_delivered_chunk_payload_size);
            return;
        case BUFFER_INFO_CHUNKLAYOUTID:
            SetReturnParam(pBuffer, piSize, piType, static_cast<unsigned long>(buffer.m_i_chunk_layout_id));
            return;
        case BUFFER_INFO_FILENAME:
            SetReturnParam(pBuffer, piSize, piType, std::string("QBN_BUFFER_INFO_FILENAME.txt"));
            return;
        case BUFFER_INFO_PIXEL_ENDIANNESS:
            SetReturnParam(pBuffer, piSize, piType, static_cast<int>(buffer.m_i_pixel_endianness));
            return;
        case BUFFER_INFO_DATA_SIZE: SetReturnSizeT(pBuffer, piSize, piType, buffer.m_i_data_size); return;
        case BUFFER_INFO_TIMESTAMP_NS:
            SetReturnParam(pBuffer, piSize, piType, static_cast<unsigned long>(buffer.m_i_timestamp.load()));
            return;
        case BUFFER_INFO_DATA_LARGER_THAN_BUFFER:
            SetReturnBool8(pBuffer, piSize, piType, buffer.m_b_data_larger_than_buffer);
            return;
        case BUFFER_INFO_CONTAINS_CHUNKDATA:
            SetReturnBool8(pBuffer, piSize, piType, buffer.m_b_contains_chunk_data);
            return;
        default: throw std::runtime_error("Error Inquire buffer info");
    }
}

}  // namespace GenTL
