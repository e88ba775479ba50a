#include "consumer/GenTLPortDevice.h"

#include "consumer/ErrorNames.h"

#include <string.h>

struct _GenTLPortDevice {
    ArvDevice parent_instance;
    GenTLPortFunctions functions;
    PORT_HANDLE port;
    char* xml;
    size_t xml_size;
    ArvGc* genicam;
};

G_DEFINE_TYPE(GenTLPortDevice, gentl_port_device, ARV_TYPE_DEVICE)

/* Turns the result of one port call into the Aravis convention: TRUE, or FALSE with `error` set
 * from the code and the producer's last-error text. A short transfer counts as a failure. */
static gboolean check_transfer(GenTLPortDevice* self, const char* function, GC_ERROR code, guint64 address,
                               size_t requested, size_t transferred, GError** error) {
    if (code == GC_ERR_SUCCESS && transferred == requested) {
        return TRUE;
    }
    if (code == GC_ERR_SUCCESS) {
        g_set_error(error, ARV_DEVICE_ERROR, ARV_DEVICE_ERROR_TRANSFER_ERROR,
                    "%s at 0x%" G_GINT64_MODIFIER "x moved %zu of %zu bytes", function, address, transferred,
                    requested);
        return FALSE;
    }
    char text[1024] = "";
    size_t text_size = sizeof text;
    GC_ERROR last = 0;
    if (self->functions.get_last_error(&last, text, &text_size) != GC_ERR_SUCCESS) {
        g_strlcpy(text, "(no last error)", sizeof text);
    }
    g_set_error(error, ARV_DEVICE_ERROR, ARV_DEVICE_ERROR_PROTOCOL_ERROR,
                "%s at 0x%" G_GINT64_MODIFIER "x (%zu bytes) failed with %s: %s", function, address, requested,
                quarvo_error_code_name(code), text);
    return FALSE;
}

static gboolean read_memory(ArvDevice* device, guint64 address, guint32 size, void* buffer, GError** error) {
    GenTLPortDevice* self = GENTL_PORT_DEVICE(device);
    size_t transferred = size;
    const GC_ERROR code = self->functions.read_port(self->port, address, buffer, &transferred);
    return check_transfer(self, "GCReadPort", code, address, size, transferred, error);
}

static gboolean write_memory(ArvDevice* device, guint64 address, guint32 size, void* buffer, GError** error) {
    GenTLPortDevice* self = GENTL_PORT_DEVICE(device);
    size_t transferred = size;
    const GC_ERROR code = self->functions.write_port(self->port, address, buffer, &transferred);
    return check_transfer(self, "GCWritePort", code, address, size, transferred, error);
}

/* Module ports are little-endian, as is every host this consumer runs on (x86-64). */
static gboolean read_register(ArvDevice* device, guint64 address, guint32* value, GError** error) {
    return read_memory(device, address, sizeof *value, value, error);
}

static gboolean write_register(ArvDevice* device, guint64 address, guint32 value, GError** error) {
    return write_memory(device, address, sizeof value, &value, error);
}

static const char* get_genicam_xml(ArvDevice* device, size_t* size) {
    GenTLPortDevice* self = GENTL_PORT_DEVICE(device);
    *size = self->xml_size;
    return self->xml;
}

static ArvGc* get_genicam(ArvDevice* device) { return GENTL_PORT_DEVICE(device)->genicam; }

static void gentl_port_device_finalize(GObject* object) {
    GenTLPortDevice* self = GENTL_PORT_DEVICE(object);
    g_clear_object(&self->genicam);
    g_clear_pointer(&self->xml, g_free);
    G_OBJECT_CLASS(gentl_port_device_parent_class)->finalize(object);
}

static void gentl_port_device_init(GenTLPortDevice* self) { (void)self; }

static void gentl_port_device_class_init(GenTLPortDeviceClass* klass) {
    GObjectClass* object_class = G_OBJECT_CLASS(klass);
    ArvDeviceClass* device_class = ARV_DEVICE_CLASS(klass);
    object_class->finalize = gentl_port_device_finalize;
    device_class->get_genicam_xml = get_genicam_xml;
    device_class->get_genicam = get_genicam;
    device_class->read_memory = read_memory;
    device_class->write_memory = write_memory;
    device_class->read_register = read_register;
    device_class->write_register = write_register;
}

GenTLPortDevice* gentl_port_device_new(const GenTLPortFunctions* functions, PORT_HANDLE port, const char* xml,
                                       size_t size, GError** error) {
    GenTLPortDevice* self = g_object_new(GENTL_TYPE_PORT_DEVICE, NULL);
    self->functions = *functions;
    self->port = port;
    self->xml = g_memdup2(xml, size);
    self->xml_size = size;
    self->genicam = arv_gc_new(ARV_DEVICE(self), self->xml, self->xml_size);
    if (self->genicam == NULL || arv_gc_get_node(self->genicam, "Root") == NULL) {
        g_set_error(error, ARV_DEVICE_ERROR, ARV_DEVICE_ERROR_GENICAM_NOT_FOUND,
                    "the port's document gives no node map with a Root category");
        g_object_unref(self);
        return NULL;
    }
    return self;
}
