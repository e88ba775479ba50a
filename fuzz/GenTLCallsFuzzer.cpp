// libFuzzer target: reads its input as a sequence of GenTL calls and makes them on the producer,
// linked in statically together with its internals. Every exported function is reachable, with
// handles drawn from those handed out so far (open or closed), null, garbage and interior
// addresses, sizes from 0 to huge, any register address on every port, every information
// command and unknown ones, and time-outs of (nearly) 0. A few compound steps open a whole module
// chain or start an acquisition, so that short inputs reach deep states, and one sets the
// simulated camera's fault injection.
//
// Each input ends with GCCloseLib. After it the producer must hold no module and no event object,
// its registries must be empty and it must have released every object of the frame grabber;
// otherwise the target aborts, which libFuzzer reports as a crash. AddressSanitizer,
// UndefinedBehaviorSanitizer and LeakSanitizer report the rest.
//
// Rules the target keeps, as any correct consumer does: output pointers are null or valid; a
// buffer passed with a size holds that many bytes, except that sizes above kScratchSize stand for
// "huge": the producer never has that much to write, so a write past the scratch buffer is a
// fault (EventGetDataInfo, which clears the whole buffer it is given for some event kinds, gets
// honest sizes only); announced memory is real and stays valid until the library is closed.
#include <dlfcn.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "events/EventObj.h"
#include "framegrabber/Quibbon.h"
#include "gentl/GenTL.h"
#include "gentl/controller/LibraryController.h"
#include "modules/CommonBase.h"

extern "C" const char* __asan_default_options() {
    // A refused allocation is an answer the producer handles, not a crash of the target.
    return "allocator_may_return_null=1";
}

namespace {

constexpr size_t kScratchSize = size_t{4} << 20;
constexpr size_t kMaxAnnounced = size_t{16} << 20;
constexpr size_t kMaxStackEntries = 8;
constexpr size_t kMaxSteps = 256;

alignas(16) uint8_t g_scratch[kScratchSize];

// The bytes of the input, read front to back; zeros once it is used up.
class Input {
public:
    Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool Done() const { return m_pos >= m_size; }
    uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    // Little-endian.
    uint16_t U16() {
        const uint16_t low = Byte();
        return static_cast<uint16_t>(low | Byte() << 8);
    }
    uint32_t U32() {
        const uint32_t low = U16();
        return low | static_cast<uint32_t>(U16()) << 16;
    }
    uint64_t U64() {
        const uint64_t low = U32();
        return low | static_cast<uint64_t>(U32()) << 32;
    }
    std::string Text() {
        std::string text;
        for (size_t length = Byte() % 24; length > 0 && !Done(); --length) {
            text.push_back(static_cast<char>(Byte()));
        }
        return text;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

using GetSystemFunction = void (*)(Quibbon::ISystem**);

// The frame grabber's entry function, once the producer has loaded it (found by its soname).
GetSystemFunction FrameGrabberEntry() {
    static GetSystemFunction entry = nullptr;
    if (entry == nullptr) {
        if (void* component = dlopen("libQuibbon.so", RTLD_NOW | RTLD_NOLOAD)) {
            entry = reinterpret_cast<GetSystemFunction>(dlsym(component, "GetSystem"));
            dlclose(component);  // the producer keeps it loaded
        }
    }
    return entry;
}

// With QUARVO_FUZZ_TRACE set, every call and its result are printed, to follow an input.
const bool g_trace = std::getenv("QUARVO_FUZZ_TRACE") != nullptr;

template <class Function>
struct Traced {
    const char* name;
    Function* function;
    template <class... Args>
    GC_ERROR operator()(Args... args) const {
        const GC_ERROR result = function(args...);
        if (g_trace) {
            std::fprintf(stderr, "%s -> %d\n", name, result);
        }
        return result;
    }
};
#define TRACED(function) (Traced<decltype(function)>{#function, &function})

enum Kind { kSystem, kInterface, kDevice, kRemote, kStream, kBuffer, kEvent, kKinds };

// Register addresses of the module ports, so that short inputs hit real registers.
constexpr uint64_t kAddresses[] = {
    0x0,   0x4,   0x8,   0xC,   0x10,  0x34,  0x44,  0x48,  0x50,  0x80,  0x88,  0x90,  0xC8,  0xD8,
    0xDC,  0x100, 0x104, 0x108, 0x10C, 0x114, 0x118, 0x11C, 0x120, 0x124, 0x128, 0x140, 0x180, 0x1C0,
    0x200, 0x210, 0x280, 0x2C0, 0x300, 0x310, 0x320, 0x380, 0x400, 0x480, 0x484, 0x488, 0x4C8, 0x508,
    0x548, 0x54C, 0x590, 0x594, 0x5A0, 0x5A4, 0x5B0, 0x5C0, 0x600, 0x700, 0x740, 0x840, 0x940};

// The state of one input: every handle and identifier handed out so far and the consumer memory
// announced to the producer.
class Session {
public:
    explicit Session(Input& input) : in(input) {}
    ~Session() = default;

    void Run();

private:
    // ---- argument vocabulary -------------------------------------------------------------------
    void* Handle(Kind kind) {
        const uint8_t how = in.Byte();
        switch (how % 10) {
            case 5: return AnyHandle();
            case 6: return nullptr;
            case 7: return reinterpret_cast<void*>(static_cast<uintptr_t>(in.U64()));
            case 8: {
                // Inside a (possibly freed) library object, but not its start.
                uint8_t* any = static_cast<uint8_t*>(AnyHandle());
                return any == nullptr ? nullptr : any + 1 + in.Byte() % 64;
            }
            case 9: return g_scratch + (in.Byte() & 0xF8);  // memory that is no library object
            default: {
                const std::vector<void*>& pool = m_handles[kind];
                return pool.empty() ? AnyHandle() : pool[in.Byte() % pool.size()];
            }
        }
    }
    void* AnyHandle() {
        const uint8_t start = in.Byte();
        for (int step = 0; step < kKinds; ++step) {
            const std::vector<void*>& pool = m_handles[(start + step) % kKinds];
            if (!pool.empty()) {
                return pool[in.Byte() % pool.size()];
            }
        }
        return nullptr;
    }
    void* PortHandle() {
        // Every module is a port; the remote device port is one too.
        static constexpr Kind kPorts[] = {kSystem, kInterface, kDevice, kRemote, kStream, kBuffer};
        return Handle(kPorts[in.Byte() % 6]);
    }
    void Remember(Kind kind, void* handle) {
        if (handle != nullptr) {
            m_handles[kind].push_back(handle);
        }
    }

    size_t Size() {
        switch (in.Byte() % 16) {
            case 0: return 0;
            case 1: return 1;
            case 2: return 3;
            case 3: return 4;
            case 4: return 8;
            case 5: return 16;
            case 6: return in.Byte();
            case 7: return in.U16();
            case 8: return kScratchSize;
            case 9: return 64;
            case 10: return 256;
            case 11: return SIZE_MAX;
            case 12: return SIZE_MAX / 2 + 1;
            case 13: return (size_t{1} << 32) | in.Byte();
            case 14: return in.U64();
            default: return 24;
        }
    }
    // A size that real memory of the consumer can back.
    size_t MemorySize() {
        switch (in.Byte() % 8) {
            case 0: return 0;
            case 1: return in.Byte();
            case 2: return in.U16();
            case 3: return 640 * 480;
            case 4: return 640 * 480 * 3;
            case 5: return 640 * 480 * 2 - 1 - in.Byte() % 4;
            case 6: return 64 * 32 * 4;
            default: return (size_t{in.U32()}) % kMaxAnnounced;
        }
    }
    // A size for memory the producer allocates: what MemorySize gives, or beyond any allocator.
    size_t AllocationSize() {
        switch (in.Byte() % 6) {
            case 0: return SIZE_MAX;
            case 1: return SIZE_MAX / 2;
            case 2: return (size_t{1} << 40) + 1 + in.Byte();
            default: return MemorySize();
        }
    }
    uint64_t Address() {
        switch (in.Byte() % 8) {
            case 0:
            case 1:
            case 2: return kAddresses[in.Byte() % (sizeof kAddresses / sizeof kAddresses[0])];
            case 3: return in.U16() & ~uint64_t{3};
            case 4: return in.U16();
            case 5: return in.U64();
            case 6: return UINT64_MAX - (in.Byte() & 0xFC);
            default: return (uint64_t{0x0666666666666666} * 4) + (in.Byte() & 0xFC) - 0x80;
        }
    }
    uint32_t Value() {
        switch (in.Byte() % 8) {
            case 0: return 0;
            case 1: return 1;
            case 2: return 2;
            case 3: return 32;
            case 4: return 64;
            case 5: return in.Byte();
            case 6: return in.U32();
            default: return 0xFFFFFFFF;
        }
    }
    // An enumeration value: mostly among the known ones (0 to last) and just past them, sometimes
    // anything, including custom and negative values.
    int32_t Enum(int32_t last) {
        const uint8_t how = in.Byte();
        if (how < 224) {
            return how % (last + 3);
        }
        switch (how % 4) {
            case 0: return 1000 + in.Byte();
            case 1: return -1 - in.Byte();
            default: return static_cast<int32_t>(in.U32());
        }
    }
    uint32_t Index() {
        switch (in.Byte() % 8) {
            case 4: return in.Byte();
            case 5: return in.U32();
            case 6: return 0xFFFFFFFF;
            default: return in.Byte() % 4;
        }
    }
    uint64_t Timeout() {
        switch (in.Byte() % 8) {
            case 6: return 1;
            case 7: return 5;
            default: return 0;
        }
    }
    // An identifier: one handed out so far, made up, empty or null. The returned pointer stays
    // valid until the next call of ID.
    const char* ID() {
        const uint8_t how = in.Byte();
        switch (how % 8) {
            case 5: m_id = in.Text(); return m_id.c_str();
            case 6: return "";
            case 7: return nullptr;
            default:
                if (m_ids.empty()) {
                    return "DS0";
                }
                m_id = m_ids[in.Byte() % m_ids.size()];
                if (how >= 0xF0 && !m_id.empty()) {
                    m_id.pop_back();  // a prefix of a real identifier
                }
                return m_id.c_str();
        }
    }
    // An output buffer with its size: null with a size (a size query), or the scratch buffer.
    void* OutBuffer() { return in.Byte() % 4 == 0 ? nullptr : g_scratch; }
    size_t* SizePointer(size_t& size) {
        size = Size();
        return in.Byte() % 16 == 0 ? nullptr : &size;
    }
    INFO_DATATYPE* TypePointer() { return in.Byte() % 16 == 0 ? nullptr : &m_type; }
    template <class T>
    T* Out(T& value) {
        return in.Byte() % 16 == 0 ? nullptr : &value;
    }
    // Prepares the scratch buffer as the data of a write.
    void* WriteData() {
        uint32_t words[2] = {Value(), Value()};
        std::memcpy(g_scratch, words, sizeof words);
        return in.Byte() % 16 == 0 ? nullptr : g_scratch;
    }
    // The identifier a Get*ID call wrote into the scratch buffer, when it succeeded.
    void KeepID(GC_ERROR result, const void* buffer, const size_t* size) {
        if (result == GC_ERR_SUCCESS && buffer != nullptr && size != nullptr && *size > 0 && *size <= 256) {
            m_ids.emplace_back(static_cast<const char*>(buffer), strnlen(static_cast<const char*>(buffer), *size));
        }
    }

    // ---- steps ----------------------------------------------------------------------------------
    void Step();
    void Stacked(bool bWrite);
    void OpenChain();
    void Acquire();
    void SetFault();
    void Announce();

    Input& in;
    std::vector<void*> m_handles[kKinds];
    std::vector<std::string> m_ids;
    std::string m_id;
    INFO_DATATYPE m_type = 0;
    std::vector<std::unique_ptr<uint8_t[]>> m_memory;

public:
    // Announced memory is freed only after the library has been closed.
    std::vector<std::unique_ptr<uint8_t[]>> TakeMemory() { return std::move(m_memory); }
};

void Session::Run() {
    for (size_t step = 0; step < kMaxSteps && !in.Done(); ++step) {
        Step();
    }
}

void Session::Stacked(bool bWrite) {
    PORT_REGISTER_STACK_ENTRY entries[kMaxStackEntries] = {};
    const size_t count = in.Byte() % (kMaxStackEntries + 1);
    for (size_t i = 0; i < count; ++i) {
        entries[i].Address = Address();
        entries[i].Size = Size();
        entries[i].pBuffer = in.Byte() % 8 == 0 ? nullptr : g_scratch + (in.Byte() & 0xF0);
        if (entries[i].Size > kScratchSize - 256 && entries[i].Size <= kScratchSize) {
            entries[i].Size = kScratchSize - 256;
        }
    }
    if (bWrite) {
        WriteData();
    }
    size_t number = in.Byte() % (count + 1);
    void* port = PortHandle();
    PORT_REGISTER_STACK_ENTRY* list = in.Byte() % 16 == 0 ? nullptr : entries;
    size_t* numberPointer = Out(number);
    if (bWrite) {
        TRACED(GCWritePortStacked)(port, list, numberPointer);
    } else {
        TRACED(GCReadPortStacked)(port, list, numberPointer);
    }
}

// Initialises the library and opens one camera down to its data stream, as a consumer does.
void Session::OpenChain() {
    TRACED(GCInitLib)();
    TL_HANDLE system = nullptr;
    if (TRACED(TLOpen)(&system) == GC_ERR_SUCCESS) {
        Remember(kSystem, system);
    } else if (!m_handles[kSystem].empty()) {
        system = m_handles[kSystem].back();
    }
    TRACED(TLUpdateInterfaceList)(system, nullptr, 0);
    char id[256] = {};
    size_t size = sizeof id;
    if (TRACED(TLGetInterfaceID)(system, in.Byte() % 2, id, &size) != GC_ERR_SUCCESS) {
        return;
    }
    m_ids.emplace_back(id);
    IF_HANDLE iface = nullptr;
    if (TRACED(TLOpenInterface)(system, id, &iface) != GC_ERR_SUCCESS) {
        return;
    }
    Remember(kInterface, iface);
    TRACED(IFUpdateDeviceList)(iface, nullptr, 0);
    size = sizeof id;
    if (TRACED(IFGetDeviceID)(iface, in.Byte() % 2, id, &size) != GC_ERR_SUCCESS) {
        return;
    }
    m_ids.emplace_back(id);
    DEV_HANDLE device = nullptr;
    const DEVICE_ACCESS_FLAGS flags = in.Byte() % 8 == 0 ? DEVICE_ACCESS_READONLY : DEVICE_ACCESS_CONTROL;
    if (TRACED(IFOpenDevice)(iface, id, flags, &device) != GC_ERR_SUCCESS) {
        return;
    }
    Remember(kDevice, device);
    PORT_HANDLE remote = nullptr;
    if (TRACED(DevGetPort)(device, &remote) == GC_ERR_SUCCESS) {
        Remember(kRemote, remote);
        // A small image at the highest rate keeps acquisitions cheap.
        uint32_t value = 64;
        size_t bytes = sizeof value;
        TRACED(GCWritePort)(remote, 0x104, &value, &bytes);
        value = 32;
        TRACED(GCWritePort)(remote, 0x108, &value, &bytes);
        value = 0;
        TRACED(GCWritePort)(remote, 0x118, &value, &bytes);
    }
    size = sizeof id;
    if (TRACED(DevGetDataStreamID)(device, 0, id, &size) == GC_ERR_SUCCESS) {
        m_ids.emplace_back(id);
    }
    DS_HANDLE stream = nullptr;
    if (TRACED(DevOpenDataStream)(device, "DS0", &stream) == GC_ERR_SUCCESS) {
        Remember(kStream, stream);
    }
}

// Registers the new-buffer event, announces and queues buffers and starts the acquisition.
void Session::Acquire() {
    DS_HANDLE stream = Handle(kStream);
    EVENT_HANDLE event = nullptr;
    if (TRACED(GCRegisterEvent)(stream, EVENT_NEW_BUFFER, &event) == GC_ERR_SUCCESS) {
        Remember(kEvent, event);
    }
    const size_t count = 4 + in.Byte() % 4;
    const size_t size = in.Byte() % 4 == 0 ? MemorySize() : 64 * 32 * 4;
    for (size_t i = 0; i < count; ++i) {
        BUFFER_HANDLE buffer = nullptr;
        if (TRACED(DSAllocAndAnnounceBuffer)(stream, size, reinterpret_cast<void*>(i), &buffer) == GC_ERR_SUCCESS) {
            Remember(kBuffer, buffer);
        }
    }
    TRACED(DSFlushQueue)(stream, ACQ_QUEUE_UNQUEUED_TO_INPUT);
    const uint64_t frames[] = {1, 2, 5, GENTL_INFINITE};
    TRACED(DSStartAcquisition)(stream, ACQ_START_FLAGS_DEFAULT, frames[in.Byte() % 4]);
}

// The frame grabber's fault injection on one camera, set the way a test bench sets it. It lasts
// while the producer keeps the camera's rig alive.
void Session::SetFault() {
    const GetSystemFunction getSystem = FrameGrabberEntry();
    const int32_t parameter = Quibbon::kParamFaultFailEvery + in.Byte() % 5;
    const int32_t value = in.Byte() % 5;
    const std::string board = "Board" + std::to_string(in.Byte() % 2);
    const std::string camera = "Cam" + board.substr(5) + std::to_string(in.Byte() % 2);
    if (getSystem == nullptr) {
        return;
    }
    Quibbon::ISystem* system = nullptr;
    getSystem(&system);
    Quibbon::IInterface* iface = nullptr;
    Quibbon::IDevice* device = nullptr;
    if (system != nullptr && system->OpenInterface(board.c_str(), &iface) >= 0 &&
        iface->OpenDevice(camera.c_str(), &device) >= 0) {
        uint64_t size = sizeof value;
        device->SetParameter(parameter, &value, &size);
    }
    if (device != nullptr) device->Release();
    if (iface != nullptr) iface->Release();
    if (system != nullptr) system->Release();
}

void Session::Announce() {
    const size_t size = MemorySize();
    std::unique_ptr<uint8_t[]> memory(new uint8_t[size == 0 ? 1 : size]);
    void* pointer = in.Byte() % 8 == 0 ? nullptr : memory.get();
    void* user = reinterpret_cast<void*>(static_cast<uintptr_t>(in.U64()));
    BUFFER_HANDLE buffer = nullptr;
    DS_HANDLE stream = Handle(kStream);
    if (TRACED(DSAnnounceBuffer)(stream, pointer, size, user, Out(buffer)) == GC_ERR_SUCCESS) {
        Remember(kBuffer, buffer);
    }
    m_memory.push_back(std::move(memory));
}

// Every argument is read from the input in parameter order, one statement each, so that the
// format does not depend on the compiler's order of evaluation.
void Session::Step() {
    size_t size = 0;
    uint32_t number = 0;
    const uint8_t op = in.Byte();
    if (g_trace) {
        std::fprintf(stderr, "-- step %d\n", op % 64);
    }
    switch (op % 64) {
        // ---- library ----
        case 0: TRACED(GCInitLib)(); break;
        case 1: TRACED(GCCloseLib)(); break;
        case 2: {
            const TL_INFO_CMD command = Enum(TL_INFO_GENTL_VER_MINOR);
            INFO_DATATYPE* type = TypePointer();
            void* buffer = OutBuffer();
            TRACED(GCGetInfo)(command, type, buffer, SizePointer(size));
            break;
        }
        case 3: {
            GC_ERROR code = 0;
            GC_ERROR* codePointer = Out(code);
            void* buffer = OutBuffer();
            TRACED(GCGetLastError)(codePointer, static_cast<char*>(buffer), SizePointer(size));
            break;
        }
        // ---- ports ----
        case 4: {
            void* port = PortHandle();
            const uint64_t address = Address();
            void* buffer = in.Byte() % 16 == 0 ? nullptr : g_scratch;
            TRACED(GCReadPort)(port, address, buffer, SizePointer(size));
            break;
        }
        case 5:
        case 6: {
            void* port = PortHandle();
            const uint64_t address = Address();
            const void* data = WriteData();
            TRACED(GCWritePort)(port, address, data, SizePointer(size));
            break;
        }
        case 7: {
            void* port = PortHandle();
            void* buffer = OutBuffer();
            TRACED(GCGetPortURL)(port, static_cast<char*>(buffer), SizePointer(size));
            break;
        }
        case 8: {
            void* port = PortHandle();
            const PORT_INFO_CMD command = Enum(PORT_INFO_PORTNAME);
            INFO_DATATYPE* type = TypePointer();
            void* buffer = OutBuffer();
            TRACED(GCGetPortInfo)(port, command, type, buffer, SizePointer(size));
            break;
        }
        case 9: {
            void* port = PortHandle();
            TRACED(GCGetNumPortURLs)(port, Out(number));
            break;
        }
        case 10: {
            void* port = PortHandle();
            const uint32_t index = Index();
            const URL_INFO_CMD command = Enum(URL_INFO_FILENAME);
            INFO_DATATYPE* type = TypePointer();
            void* buffer = OutBuffer();
            TRACED(GCGetPortURLInfo)(port, index, command, type, buffer, SizePointer(size));
            break;
        }
        case 11: Stacked(false); break;
        case 12: Stacked(true); break;
        // ---- events ----
        case 13: {
            static constexpr Kind kSources[] = {kSystem, kInterface, kDevice, kRemote, kStream, kBuffer};
            void* source = Handle(kSources[in.Byte() % 6]);
            const EVENT_TYPE type = Enum(EVENT_MODULE);
            EVENT_HANDLE event = nullptr;
            if (TRACED(GCRegisterEvent)(source, type, Out(event)) == GC_ERR_SUCCESS) {
                Remember(kEvent, event);
            }
            break;
        }
        case 14: {
            static constexpr Kind kSources[] = {kSystem, kInterface, kDevice, kRemote, kStream, kBuffer};
            void* source = Handle(kSources[in.Byte() % 6]);
            TRACED(GCUnregisterEvent)(source, Enum(EVENT_MODULE));
            break;
        }
        case 15:
        case 16: {
            void* event = Handle(kEvent);
            void* buffer = OutBuffer();
            size_t* sizePointer = SizePointer(size);
            TRACED(EventGetData)(event, buffer, sizePointer, Timeout());
            break;
        }
        case 17: {
            void* event = Handle(kEvent);
            // The record a consumer hands back: what an earlier EventGetData left in the scratch
            // buffer, with some bytes of the input written over it.
            uint8_t record[300] = {};
            std::memcpy(record, g_scratch, sizeof record);
            const size_t changes = in.Byte() % 8;
            for (size_t i = 0; i < changes; ++i) {
                const size_t where = in.Byte() % sizeof record;
                record[where] = in.Byte();
            }
            const void* inBuffer = in.Byte() % 16 == 0 ? nullptr : record;
            const size_t inSize = in.Byte() % 4 == 0 ? Size() % (sizeof record + 1) : 16;
            const EVENT_DATA_INFO_CMD command = Enum(EVENT_DATA_NUMID);
            INFO_DATATYPE* type = TypePointer();
            void* buffer = OutBuffer();
            size_t* sizePointer = SizePointer(size);
            // Some event kinds clear the whole buffer the consumer names before they answer, so
            // here a size must be honest.
            size = std::min(size, kScratchSize);
            TRACED(EventGetDataInfo)(event, inBuffer, inSize, command, type, buffer, sizePointer);
            break;
        }
        case 18: {
            void* event = Handle(kEvent);
            const EVENT_INFO_CMD command = Enum(EVENT_INFO_DATA_SIZE_MAX);
            INFO_DATATYPE* type = TypePointer();
            void* buffer = OutBuffer();
            TRACED(EventGetInfo)(event, command, type, buffer, SizePointer(size));
            break;
        }
        case 19: TRACED(EventFlush)(Handle(kEvent)); break;
        case 20: TRACED(EventKill)(Handle(kEvent)); break;
        // ---- system ----
        case 21: {
            TL_HANDLE system = nullptr;
            if (TRACED(TLOpen)(Out(system)) == GC_ERR_SUCCESS) {
                Remember(kSystem, system);
            }
            break;
        }
        case 22: TRACED(TLClose)(Handle(kSystem)); break;
        case 23: {
            void* system = Handle(kSystem);
            const TL_INFO_CMD command = Enum(TL_INFO_GENTL_VER_MINOR);
            INFO_DATATYPE* type = TypePointer();
            void* buffer = OutBuffer();
            TRACED(TLGetInfo)(system, command, type, buffer, SizePointer(size));
            break;
        }
        case 24: {
            void* system = Handle(kSystem);
            TRACED(TLGetNumInterfaces)(system, Out(number));
            break;
        }
        case 25: {
            void* system = Handle(kSystem);
            const uint32_t index = Index();
            void* buffer = OutBuffer();
            size_t* sizePointer = SizePointer(size);
            KeepID(TRACED(TLGetInterfaceID)(system, index, static_cast<char*>(buffer), sizePointer), buffer, sizePointer);
            break;
        }
        case 26: {
            void* system = Handle(kSystem);
            const char* id = ID();
            const INTERFACE_INFO_CMD command = Enum(INTERFACE_INFO_TLTYPE);
            INFO_DATATYPE* type = TypePointer();
            void* buffer = OutBuffer();
            TRACED(TLGetInterfaceInfo)(system, id, command, type, buffer, SizePointer(size));
            break;
        }
        case 27: {
            void* system = Handle(kSystem);
            const char* id = ID();
            IF_HANDLE iface = nullptr;
            if (TRACED(TLOpenInterface)(system, id, Out(iface)) == GC_ERR_SUCCESS) {
                Remember(kInterface, iface);
            }
            break;
        }
        case 28: {
            bool8_t changed = 0;
            void* system = Handle(kSystem);
            bool8_t* changedPointer = Out(changed);
            TRACED(TLUpdateInterfaceList)(system, changedPointer, in.U64());
            break;
        }
        // ---- interface ----
        case 29: TRACED(IFClose)(Handle(kInterface)); break;
        case 30: {
            void* iface = Handle(kInterface);
            const INTERFACE_INFO_CMD command = Enum(INTERFACE_INFO_TLTYPE);
            INFO_DATATYPE* type = TypePointer();
            void* buffer = OutBuffer();
            TRACED(IFGetInfo)(iface, command, type, buffer, SizePointer(size));
            break;
        }
        case 31: {
            void* iface = Handle(kInterface);
            TRACED(IFGetNumDevices)(iface, Out(number));
            break;
        }
        case 32: {
            void* iface = Handle(kInterface);
            const uint32_t index = Index();
            void* buffer = OutBuffer();
            size_t* sizePointer = SizePointer(size);
            KeepID(TRACED(IFGetDeviceID)(iface, index, static_cast<char*>(buffer), sizePointer), buffer, sizePointer);
            break;
        }
        case 33: {
            bool8_t changed = 0;
            void* iface = Handle(kInterface);
            bool8_t* changedPointer = Out(changed);
            TRACED(IFUpdateDeviceList)(iface, changedPointer, in.U64());
            break;
        }
        case 34: {
            void* iface = Handle(kInterface);
            const char* id = ID();
            const DEVICE_INFO_CMD command = Enum(DEVICE_INFO_TIMESTAMP_FREQUENCY);
            INFO_DATATYPE* type = TypePointer();
            void* buffer = OutBuffer();
            TRACED(IFGetDeviceInfo)(iface, id, command, type, buffer, SizePointer(size));
            break;
        }
        case 35: {
            void* iface = Handle(kInterface);
            const char* id = ID();
            const DEVICE_ACCESS_FLAGS flags = Enum(DEVICE_ACCESS_EXCLUSIVE);
            DEV_HANDLE device = nullptr;
            if (TRACED(IFOpenDevice)(iface, id, flags, Out(device)) == GC_ERR_SUCCESS) {
                Remember(kDevice, device);
            }
            break;
        }
        case 36: {
            TL_HANDLE parent = nullptr;
            void* iface = Handle(kInterface);
            TRACED(IFGetParentTL)(iface, Out(parent));
            break;
        }
        // ---- device ----
        case 37: {
            PORT_HANDLE port = nullptr;
            void* device = Handle(kDevice);
            if (TRACED(DevGetPort)(device, Out(port)) == GC_ERR_SUCCESS) {
                Remember(kRemote, port);
            }
            break;
        }
        case 38: {
            void* device = Handle(kDevice);
            TRACED(DevGetNumDataStreams)(device, Out(number));
            break;
        }
        case 39: {
            void* device = Handle(kDevice);
            const uint32_t index = Index();
            void* buffer = OutBuffer();
            size_t* sizePointer = SizePointer(size);
            KeepID(TRACED(DevGetDataStreamID)(device, index, static_cast<char*>(buffer), sizePointer), buffer, sizePointer);
            break;
        }
        case 40: {
            void* device = Handle(kDevice);
            const char* id = ID();
            DS_HANDLE stream = nullptr;
            if (TRACED(DevOpenDataStream)(device, id, Out(stream)) == GC_ERR_SUCCESS) {
                Remember(kStream, stream);
            }
            break;
        }
        case 41: {
            void* device = Handle(kDevice);
            const DEVICE_INFO_CMD command = Enum(DEVICE_INFO_TIMESTAMP_FREQUENCY);
            INFO_DATATYPE* type = TypePointer();
            void* buffer = OutBuffer();
            TRACED(DevGetInfo)(device, command, type, buffer, SizePointer(size));
            break;
        }
        case 42: TRACED(DevClose)(Handle(kDevice)); break;
        case 43: {
            IF_HANDLE parent = nullptr;
            void* device = Handle(kDevice);
            TRACED(DevGetParentIF)(device, Out(parent));
            break;
        }
        // ---- data stream ----
        case 44: Announce(); break;
        case 45: {
            void* stream = Handle(kStream);
            const size_t bytes = AllocationSize();
            void* user = reinterpret_cast<void*>(static_cast<uintptr_t>(in.U64()));
            BUFFER_HANDLE buffer = nullptr;
            if (TRACED(DSAllocAndAnnounceBuffer)(stream, bytes, user, Out(buffer)) == GC_ERR_SUCCESS) {
                Remember(kBuffer, buffer);
            }
            break;
        }
        case 46: {
            void* stream = Handle(kStream);
            TRACED(DSFlushQueue)(stream, Enum(ACQ_QUEUE_ALL_DISCARD));
            break;
        }
        case 47: {
            void* stream = Handle(kStream);
            const ACQ_START_FLAGS flags = in.Byte() % 8 == 0 ? Enum(0) : ACQ_START_FLAGS_DEFAULT;
            const uint8_t how = in.Byte();
            const uint64_t frames = how % 4 == 0 ? in.U64() : (how % 4 == 1 ? GENTL_INFINITE : how % 8);
            TRACED(DSStartAcquisition)(stream, flags, frames);
            break;
        }
        case 48: {
            void* stream = Handle(kStream);
            TRACED(DSStopAcquisition)(stream, Enum(ACQ_STOP_FLAGS_KILL));
            break;
        }
        case 49: {
            void* stream = Handle(kStream);
            const STREAM_INFO_CMD command = Enum(STREAM_INFO_BUF_ALIGNMENT);
            INFO_DATATYPE* type = TypePointer();
            void* buffer = OutBuffer();
            TRACED(DSGetInfo)(stream, command, type, buffer, SizePointer(size));
            break;
        }
        case 50: {
            void* stream = Handle(kStream);
            const uint32_t index = Index();
            BUFFER_HANDLE buffer = nullptr;
            if (TRACED(DSGetBufferID)(stream, index, Out(buffer)) == GC_ERR_SUCCESS) {
                Remember(kBuffer, buffer);
            }
            break;
        }
        case 51: TRACED(DSClose)(Handle(kStream)); break;
        case 52: {
            void* memory = nullptr;
            void* user = nullptr;
            void* stream = Handle(kStream);
            void* buffer = Handle(kBuffer);
            void** memoryPointer = Out(memory);
            TRACED(DSRevokeBuffer)(stream, buffer, memoryPointer, Out(user));
            break;
        }
        case 53:
        case 54: {
            void* stream = Handle(kStream);
            TRACED(DSQueueBuffer)(stream, Handle(kBuffer));
            break;
        }
        case 55: {
            void* stream = Handle(kStream);
            void* handle = Handle(kBuffer);
            const BUFFER_INFO_CMD command = Enum(BUFFER_INFO_CONTAINS_CHUNKDATA);
            INFO_DATATYPE* type = TypePointer();
            void* buffer = OutBuffer();
            TRACED(DSGetBufferInfo)(stream, handle, command, type, buffer, SizePointer(size));
            break;
        }
        case 56: {
            SINGLE_CHUNK_DATA chunks[4] = {};
            void* stream = Handle(kStream);
            void* buffer = Handle(kBuffer);
            SINGLE_CHUNK_DATA* list = in.Byte() % 4 == 0 ? nullptr : chunks;
            size_t count = in.Byte() % 5;
            TRACED(DSGetBufferChunkData)(stream, buffer, list, Out(count));
            break;
        }
        case 57: {
            DEV_HANDLE parent = nullptr;
            void* stream = Handle(kStream);
            TRACED(DSGetParentDev)(stream, Out(parent));
            break;
        }
        case 58: {
            void* stream = Handle(kStream);
            void* buffer = Handle(kBuffer);
            TRACED(DSGetNumBufferParts)(stream, buffer, Out(number));
            break;
        }
        case 59: {
            void* stream = Handle(kStream);
            void* handle = Handle(kBuffer);
            const uint32_t index = Index();
            const BUFFER_PART_INFO_CMD command = Enum(BUFFER_PART_INFO_DELIVERED_IMAGEHEIGHT);
            INFO_DATATYPE* type = TypePointer();
            void* buffer = OutBuffer();
            TRACED(DSGetBufferPartInfo)(stream, handle, index, command, type, buffer, SizePointer(size));
            break;
        }
        // ---- compound steps ----
        case 60: OpenChain(); break;
        case 61: Acquire(); break;
        case 62: SetFault(); break;
        default: {
            // Hand a filled buffer back, as consumers do in their loop.
            void* event = Handle(kEvent);
            const uint64_t timeout = Timeout();
            void* stream = Handle(kStream);
            EVENT_NEW_BUFFER_DATA data{};
            size_t bytes = sizeof data;
            if (TRACED(EventGetData)(event, &data, &bytes, timeout) == GC_ERR_SUCCESS) {
                TRACED(DSQueueBuffer)(stream, data.BufferHandle);
            }
            break;
        }
    }
}

[[noreturn]] void Fail(const char* what, unsigned long long count) {
    std::fprintf(stderr, "==quarvo_fuzz== after GCCloseLib: %s (%llu)\n", what, count);
    std::fflush(stderr);
    std::abort();
}

// After the library is closed the frame grabber's rig must be gone: every object the producer
// opened on it was released. A marker written to a camera survives only while the rig lives.
void CheckFrameGrabberReleased() {
    const GetSystemFunction getSystem = FrameGrabberEntry();
    if (getSystem == nullptr) {
        return;  // the producer never loaded it
    }
    const auto marker = [getSystem](int32_t* write, int32_t* read) {
        Quibbon::ISystem* system = nullptr;
        getSystem(&system);
        Quibbon::IInterface* iface = nullptr;
        Quibbon::IDevice* device = nullptr;
        if (system != nullptr && system->OpenInterface("Board0", &iface) >= 0 &&
            iface->OpenDevice("Cam00", &device) >= 0) {
            uint64_t size = sizeof(int32_t);
            if (write != nullptr) device->SetParameter(Quibbon::kParamFaultDelayMs, write, &size);
            if (read != nullptr) device->GetParameter(Quibbon::kParamFaultDelayMs, read, &size);
        }
        if (device != nullptr) device->Release();
        if (iface != nullptr) iface->Release();
        if (system != nullptr) system->Release();
    };
    int32_t before = 0;
    marker(nullptr, &before);
    int32_t mark = 1234;
    marker(&mark, nullptr);
    int32_t after = 0;
    marker(nullptr, &after);
    if (before != 0 || after != 0) {
        Fail("an object of the frame grabber is still held", static_cast<unsigned long long>(after));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::memset(g_scratch, 0, 4096);
    Input input(data, size);
    std::vector<std::unique_ptr<uint8_t[]>> memory;
    {
        Session session(input);
        session.Run();
        memory = session.TakeMemory();
    }
    GCCloseLib();
    using GenTL::g_Controller;
    if (const uint64_t modules = GenTL::ICommonBase::LiveCount()) Fail("modules alive", modules);
    if (const uint64_t events = GenTL::CEventObj::LiveCount()) Fail("event objects alive", events);
    if (g_Controller.GetTransportLayer() != nullptr) Fail("a System is published", 1);
    const size_t entries = g_Controller.GetNumberOpenInterfaces() + g_Controller.GetNumberOpenDevices() +
                           g_Controller.GetTotalNumberOpenStreams() + g_Controller.GetNumberAnnouncedBuffers();
    if (entries != 0) Fail("registry entries left", entries);
    CheckFrameGrabberReleased();
    return 0;
}
