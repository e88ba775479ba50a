/* An Aravis device whose register space is one GenTL module port: GenApi nodes evaluated by
 * Aravis read and write the port through GCReadPort and GCWritePort of a loaded producer. */
#ifndef QUARVO_CONSUMER_GENTL_PORT_DEVICE_H
#define QUARVO_CONSUMER_GENTL_PORT_DEVICE_H

#include <arv.h>

#include "gentl/GenTL.h"

G_BEGIN_DECLS

/* The producer functions the device calls; all three must be set. */
typedef struct {
    GC_ERROR (*read_port)(PORT_HANDLE hPort, uint64_t iAddress, void* pBuffer, size_t* piSize);
    GC_ERROR (*write_port)(PORT_HANDLE hPort, uint64_t iAddress, const void* pBuffer, size_t* piSize);
    GC_ERROR (*get_last_error)(GC_ERROR* piErrorCode, char* sErrText, size_t* piSize);
} GenTLPortFunctions;

#define GENTL_TYPE_PORT_DEVICE (gentl_port_device_get_type())
G_DECLARE_FINAL_TYPE(GenTLPortDevice, gentl_port_device, GENTL, PORT_DEVICE, ArvDevice)

/* Creates the device on `port` and builds its node map from the `size` bytes of the GenApi
 * document `xml` (copied). Returns NULL with `error` set when the document gives no node map. */
GenTLPortDevice* gentl_port_device_new(const GenTLPortFunctions* functions, PORT_HANDLE port, const char* xml,
                                       size_t size, GError** error);

G_END_DECLS

#endif
