/* An Aravis device over a block of memory, standing in for a camera in tests of its GenApi
 * document: the node map reads and writes the block's bytes at the registers' addresses. */
#ifndef QUARVO_TESTS_MEMORY_DEVICE_H
#define QUARVO_TESTS_MEMORY_DEVICE_H

#include <arv.h>

G_BEGIN_DECLS

#define MEMORY_TYPE_DEVICE (memory_device_get_type())
G_DECLARE_FINAL_TYPE(MemoryDevice, memory_device, MEMORY, DEVICE, ArvDevice)

/* Builds the node map of the `xml_size` bytes of the document `xml` (copied) on the `size` bytes of
 * `memory`, which the caller keeps alive and may change at any time. An access beyond the block
 * fails. NULL when the document gives no node map with a Root category. */
MemoryDevice* memory_device_new(guint8* memory, size_t size, const char* xml, size_t xml_size);

G_END_DECLS

#endif
