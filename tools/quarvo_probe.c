/* A minimal GenTL consumer written in C: loads a producer with dlopen and prints the producer's
 * information, its interfaces and the devices on each interface. */
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>

#include "gentl/GenTL.h"

#define DECLARE(name) static __typeof__(&name) p##name;
#define RESOLVE(name)                                                      \
    if ((p##name = (__typeof__(&name))dlsym(library, #name)) == NULL) {    \
        fprintf(stderr, "missing export %s\n", #name);                     \
        return 0;                                                          \
    }
#define FUNCTIONS(X)                                                                                  \
    X(GCInitLib) X(GCCloseLib) X(GCGetInfo) X(GCGetLastError) X(TLOpen) X(TLClose)                    \
    X(TLUpdateInterfaceList) X(TLGetNumInterfaces) X(TLGetInterfaceID) X(TLOpenInterface) X(IFClose)  \
    X(IFUpdateDeviceList) X(IFGetNumDevices) X(IFGetDeviceID) X(IFGetDeviceInfo)

FUNCTIONS(DECLARE)

static int Resolve(void* library) {
    FUNCTIONS(RESOLVE)
    return 1;
}

static int Report(const char* what, GC_ERROR code) {
    if (code != GC_ERR_SUCCESS) {
        char text[1024] = "";
        size_t size = sizeof text;
        GC_ERROR last = 0;
        pGCGetLastError(&last, text, &size);
        fprintf(stderr, "%s failed with %d: %s\n", what, (int)code, text);
    }
    return code == GC_ERR_SUCCESS;
}

static void PrintProducerInfo(void) {
    static const struct {
        TL_INFO_CMD cmd;
        const char* label;
    } texts[] = {{TL_INFO_ID, "ID"},         {TL_INFO_VENDOR, "Vendor"},  {TL_INFO_MODEL, "Model"},
                 {TL_INFO_VERSION, "Version"}, {TL_INFO_TLTYPE, "Type"},  {TL_INFO_PATHNAME, "Path"},
                 {TL_INFO_DISPLAYNAME, "Display name"}};
    for (size_t i = 0; i < sizeof texts / sizeof texts[0]; ++i) {
        char text[2048] = "";
        size_t size = sizeof text;
        INFO_DATATYPE type = 0;
        if (Report("GCGetInfo", pGCGetInfo(texts[i].cmd, &type, text, &size))) {
            printf("%-14s %s\n", texts[i].label, text);
        }
    }
    uint32_t major = 0, minor = 0;
    size_t size = sizeof major;
    INFO_DATATYPE type = 0;
    pGCGetInfo(TL_INFO_GENTL_VER_MAJOR, &type, &major, &size);
    size = sizeof minor;
    pGCGetInfo(TL_INFO_GENTL_VER_MINOR, &type, &minor, &size);
    printf("%-14s %u.%u\n", "GenTL version", major, minor);
}

static void PrintDevices(IF_HANDLE iface) {
    uint32_t count = 0;
    if (!Report("IFUpdateDeviceList", pIFUpdateDeviceList(iface, NULL, 1000)) ||
        !Report("IFGetNumDevices", pIFGetNumDevices(iface, &count))) {
        return;
    }
    for (uint32_t i = 0; i < count; ++i) {
        char id[256] = "", model[256] = "", serial[256] = "";
        size_t size = sizeof id;
        INFO_DATATYPE type = 0;
        pIFGetDeviceID(iface, i, id, &size);
        size = sizeof model;
        pIFGetDeviceInfo(iface, id, DEVICE_INFO_MODEL, &type, model, &size);
        size = sizeof serial;
        pIFGetDeviceInfo(iface, id, DEVICE_INFO_SERIAL_NUMBER, &type, serial, &size);
        printf("    device %-8s model %-24s serial %s\n", id, model, serial);
    }
}

static void PrintInterfaces(TL_HANDLE system) {
    uint32_t count = 0;
    if (!Report("TLUpdateInterfaceList", pTLUpdateInterfaceList(system, NULL, 1000)) ||
        !Report("TLGetNumInterfaces", pTLGetNumInterfaces(system, &count))) {
        return;
    }
    printf("%u interface(s)\n", count);
    for (uint32_t i = 0; i < count; ++i) {
        char id[256] = "";
        size_t size = sizeof id;
        IF_HANDLE iface = NULL;
        if (!Report("TLGetInterfaceID", pTLGetInterfaceID(system, i, id, &size)) ||
            !Report("TLOpenInterface", pTLOpenInterface(system, id, &iface))) {
            continue;
        }
        printf("  interface %s\n", id);
        PrintDevices(iface);
        pIFClose(iface);
    }
}

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : "Quarvo.cti";
    void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (library == NULL) {
        fprintf(stderr, "cannot load %s: %s\n", path, dlerror());
        return 1;
    }
    if (!Resolve(library) || !Report("GCInitLib", pGCInitLib())) {
        return 1;
    }
    PrintProducerInfo();
    TL_HANDLE system = NULL;
    int ok = Report("TLOpen", pTLOpen(&system));
    if (ok) {
        PrintInterfaces(system);
        ok = Report("TLClose", pTLClose(system));
    }
    ok = Report("GCCloseLib", pGCCloseLib()) && ok;
    dlclose(library);
    return ok ? 0 : 1;
}
