#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "modules/PortModule.h"

namespace GenTL {

class CDataStream;

// One buffer announced to a data stream: the memory, the consumer's user pointer, the queue state
// and the description of the image last written into it, plus a small port. Its address is the
// buffer handle. The acquisition thread writes the state and the description while consumer
// threads read them, so every field that changes is atomic.
class CBufferInfo : public CPortModule {
public:
    static const std::string m_str_file_name;
    static constexpr ModuleKind kKind = ModuleKind::Buffer;

    // Over consumer memory, which the buffer never frees.
    CBufferInfo(CDataStream* pStream, void* pReserved, void* pMemory, size_t iSize, void* pUserPointer);
    // Over iSize bytes it allocates and owns; Buffer() fails when the allocation did.
    CBufferInfo(CDataStream* pStream, size_t iSize, void* pUserPointer);
    virtual ~CBufferInfo();

    ModuleKind Kind() const override { return kKind; }
    ICommonBase* GetParent() override;
    void Register(EVENT_TYPE iEventID, EVENT_HANDLE* phEvent) override;
    void Unregister(EVENT_TYPE iEventID) override;

    // The memory; raises "Invalid Memory Buffer" when there is none.
    void* Buffer() const;
    bool HasMemory() const { return m_p_memory != nullptr; }
    bool OwnsMemory() const { return m_b_owns_memory; }
    size_t Size() const { return m_i_size; }
    void* UserPointer() const { return m_p_user; }
    void SetTimestamp(uint64_t iTimestamp);

    // Queue state (see CDataStream).
    std::atomic<bool> m_b_queued{false};
    std::atomic<bool> m_b_new_data{false};
    std::atomic<bool> m_b_in_output{false};
    std::atomic<bool> m_b_is_acquiring{false};
    // Description of the last image written.
    std::atomic<uint64_t> m_i_width{1024};
    std::atomic<uint64_t> m_i_height{768};
    std::atomic<bool> m_b_is_incomplete{false};
    std::atomic<uint64_t> m_i_frame_id{0};
    std::atomic<bool> m_b_image_present{false};
    std::atomic<uint64_t> m_i_payload_type{1};
    std::atomic<uint64_t> m_i_pixel_format{0};
    std::atomic<uint64_t> m_i_delivered_image_height{0};
    std::atomic<uint64_t> m_i_delivered_chunk_payload_size{0};
    std::atomic<uint64_t> m_i_chunk_layout_id{0};
    std::atomic<bool> m_b_contains_chunk_data{false};
    std::atomic<uint64_t> m_i_size_filled{0};
    std::atomic<uint64_t> m_i_data_size{0};
    std::atomic<uint64_t> m_i_timestamp{0};
    std::atomic<bool> m_b_data_larger_than_buffer{false};
    // Never changed by the library.
    const uint64_t m_i_x_offset = 0;
    const uint64_t m_i_y_offset = 0;
    const uint64_t m_i_x_padding = 0;
    const uint64_t m_i_y_padding = 0;
    const uint64_t m_i_image_offset = 0;
    const uint64_t m_i_pixel_format_namespace = 0;
    const int32_t m_i_pixel_endianness = 0;

private:
    PortInfoTexts GetPortInfoTexts() override;
    void InitPort();

    void* m_p_memory;
    const size_t m_i_size;
    void* const m_p_user;
    const bool m_b_owns_memory;
    CDataStream* const m_p_stream;
};

}  // namespace GenTL
