#include "resources/ResourceTable.h"

#include "EmbeddedDocuments.h"
#include "gentl/Exceptions.h"

namespace GenTL {
namespace {

struct S_Resource_Entry {
    int32_t i_number;
    const uint8_t* p_data;
    size_t i_size;
};

// One table line per embedded document; the array comes from EmbeddedDocuments.h, generated
// from the .xml file of the same name, so its size is the exact document length.
template <size_t N>
constexpr S_Resource_Entry Entry(int32_t number, const unsigned char (&data)[N]) {
    static_assert(N <= kMaxDocumentSize, "document too large for a 32-bit padded length");
    return {number, data, N};
}

constexpr S_Resource_Entry s_resources[] = {
    Entry(kResourceSystem, g_res_KVTL_xml),
    Entry(kResourceInterface, g_res_KVTLI_xml),
    Entry(kResourceDevice, g_res_KVDEVTL_xml),
    Entry(kResourceBuffer, g_res_KVGEVTLBuf_xml),
    Entry(kResourceDataStream, g_res_KVDS_xml),
    Entry(kResourceRemoteDevice, g_res_KVDEV_xml),
};

const S_Resource_Entry* FindResource(int32_t number) {
    for (const S_Resource_Entry& entry : s_resources) {
        if (entry.i_number == number) {
            return &entry;
        }
    }
    return nullptr;
}

}  // namespace

int32_t CopyPadded(const uint8_t* data, size_t size, std::vector<uint8_t>& buffer) {
    if (size > kMaxDocumentSize) {
        throw invalid_parameter_exception("Resource too large");
    }
    const size_t padded = (size + 3) & ~size_t{3};
    // assign first: a resize alone would keep stale bytes of a reused buffer in the padding.
    buffer.assign(data, data + size);
    buffer.resize(padded, 0);
    return static_cast<int32_t>(padded);
}

ResourceBytes GetResourceBytes(int32_t iResource) {
    const S_Resource_Entry* entry = FindResource(iResource);
    if (entry == nullptr) {
        throw invalid_parameter_exception("Unknown resource");
    }
    return {entry->p_data, entry->i_size, static_cast<int32_t>((entry->i_size + 3) & ~size_t{3})};
}

int32_t CopyResource(const void* /*hModule*/, int32_t iResource, const char* /*pszType*/,
                     std::vector<uint8_t>& buffer) {
    const S_Resource_Entry* entry = FindResource(iResource);
    if (entry == nullptr) {
        throw invalid_parameter_exception("Unknown resource");
    }
    return CopyPadded(entry->p_data, entry->i_size, buffer);
}

}  // namespace GenTL
