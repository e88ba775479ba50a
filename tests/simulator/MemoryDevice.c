#include "MemoryDevice.h"

#include <string.h>

struct _MemoryDevice {
    ArvDevice parent_instance;
    guint8* memory;
    size_t size;
    char* xml;
    size_t xml_size;
    ArvGc* genicam;
};

G_DEFINE_TYPE(MemoryDevice, memory_device, ARV_TYPE_DEVICE)

static gboolean check_range(MemoryDevice* self, guint64 address, guint32 size, GError** error) {
    if (address <= self->size && size <= self->size - address) {
        return TRUE;
    }
    g_set_error(error, ARV_DEVICE_ERROR, ARV_DEVICE_ERROR_TRANSFER_ERROR,
                "%u bytes at 0x%" G_GINT64_MODIFIER "x are outside the memory", size, address);
    return FALSE;
}

static gboolean read_memory(ArvDevice* device, guint64 address, guint32 size, void* buffer, GError** error) {
    MemoryDevice* self = MEMORY_DEVICE(device);
    if (!check_range(self, address, size, error)) {
        return FALSE;
    }
    memcpy(buffer, self->memory + address, size);
    return TRUE;
}

static gboolean write_memory(ArvDevice* device, guint64 address, guint32 size, void* buffer, GError** error) {
    MemoryDevice* self = MEMORY_DEVICE(device);
    if (!check_range(self, address, size, error)) {
        return FALSE;
    }
    memcpy(self->memory + address, buffer, size);
    return TRUE;
}

/* Registers are little-endian, as is the host (x86-64). */
static gboolean read_register(ArvDevice* device, guint64 address, guint32* value, GError** error) {
    return read_memory(device, address, sizeof *value, value, error);
}

static gboolean write_register(ArvDevice* device, guint64 address, guint32 value, GError** error) {
    return write_memory(device, address, sizeof value, &value, error);
}

static const char* get_genicam_xml(ArvDevice* device, size_t* size) {
    MemoryDevice* self = MEMORY_DEVICE(device);
    *size = self->xml_size;
    return self->xml;
}

static ArvGc* get_genicam(ArvDevice* device) { return MEMORY_DEVICE(device)->genicam; }

static void memory_device_finalize(GObject* object) {
    MemoryDevice* self = MEMORY_DEVICE(object);
    g_clear_object(&self->genicam);
    g_clear_pointer(&self->xml, g_free);
    G_OBJECT_CLASS(memory_device_parent_class)->finalize(object);
}

static void memory_device_init(MemoryDevice* self) { (void)self; }

static void memory_device_class_init(MemoryDeviceClass* klass) {
    GObjectClass* object_class = G_OBJECT_CLASS(klass);
    ArvDeviceClass* device_class = ARV_DEVICE_CLASS(klass);
    object_class->finalize = memory_device_finalize;
    device_class->get_genicam_xml = get_genicam_xml;
    device_class->get_genicam = get_genicam;
    device_class->read_memory = read_memory;
    device_class->write_memory = write_memory;
    device_class->read_register = read_register;
    device_class->write_register = write_register;
}

MemoryDevice* memory_device_new(guint8* memory, size_t size, const char* xml, size_t xml_size) {
    MemoryDevice* self = g_object_new(MEMORY_TYPE_DEVICE, NULL);
    self->memory = memory;
    self->size = size;
    self->xml = g_memdup2(xml, xml_size);
    self->xml_size = xml_size;
    self->genicam = arv_gc_new(ARV_DEVICE(self), self->xml, self->xml_size);
    if (self->genicam == NULL || arv_gc_get_node(self->genicam, "Root") == NULL) {
        g_object_unref(self);
        return NULL;
    }
    return self;
}
