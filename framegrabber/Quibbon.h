// Object interfaces of the frame-grabber component libQuibbon.so, as the producer calls them.
// The virtual slot order is part of the component's binary interface (Itanium C++ ABI): slots 0
// and 1 are the destructor pair, the operations follow in declaration order. Reserved slots keep
// the layout and always fail. Results are 32-bit signed, negative meaning failure; sizes are
// 64-bit byte counts passed in and out.
#pragma once

#include <cstdint>

namespace Quibbon {

class IInterface;
class IDevice;
class IDataStream;

// Result codes of the component.
constexpr int32_t kOk = 0;
constexpr int32_t kFailed = -1;
constexpr int32_t kTimedOut = -2;  // no frame became due (or was triggered) within the time-out

// Interface information numbers (IInterface::GetInfo), all texts.
constexpr int32_t kInterfaceInfoId = 0;
constexpr int32_t kInterfaceInfoDisplayName = 1;
constexpr int32_t kInterfaceInfoPrefix = 2;

// Device parameter numbers (IDevice::SetParameter / GetParameter).
enum Parameter : int32_t {
    kParamWidth = 1,
    kParamHeight = 2,
    kParamPixelFormat = 3,
    kParamFrameRate = 4,
    kParamTestPattern = 5,
    kParamVendor = 7,
    kParamModel = 8,
    kParamSerialNumber = 9,
    kParamEventNotification = 10,
    kParamRemoteEventTrigger = 11,
    kParamChunkMode = 12,
    kParamPayloadSize = 13,
    kParamTriggerMode = 16,
    kParamTriggerSource = 17,
    kParamSoftwareTrigger = 18,
};

// Values of kParamTestPattern.
enum TestPattern : int32_t {
    kPatternMovingRamp = 0,
    kPatternStillRamp = 1,
    kPatternCheckerboard = 2,
    kPatternColourBars = 3,
};

// The only value of kParamTriggerSource.
constexpr int32_t kTriggerSourceSoftware = 0;

// Size of the identity text buffers the producer passes.
constexpr uint64_t kIdTextSize = 2048;
constexpr uint64_t kInfoTextSize = 512;

// Stream information numbers (IDataStream::GetInfo).
constexpr int32_t kStreamInfoNumStarted = 6;  // uint64_t
constexpr int32_t kStreamInfoIsGrabbing = 7;  // one byte, non-zero while started

// Status record written by IInterface::GetDeviceStatus. The producer reads the byte after the
// first 8 bytes: non-zero means the device can be opened.
struct DeviceStatus {
    uint64_t index;
    uint8_t accessible;
    uint8_t reserved[7];
};
static_assert(sizeof(DeviceStatus) == 16, "status record layout");

// Description of one delivered frame (IDataStream::Grab), taken together with the image.
struct FrameInfo {
    uint32_t width;
    uint32_t height;
    uint32_t pixelFormat;
    uint32_t payloadSize;
    uint32_t chunkMode;
    uint32_t frameNumber;
};

class ISystem {
public:
    virtual ~ISystem() = default;                                                     // slots 0, 1
    virtual int32_t GetNumInterfaces(uint32_t* count) = 0;                            // slot 2
    virtual int32_t GetInterfaceID(uint32_t index, char* text, uint64_t* size) = 0;   // slot 3
    virtual int32_t OpenInterface(const char* id, IInterface** iface) = 0;            // slot 4
    virtual int32_t Reserved5() = 0;                                                  // slot 5
    virtual int32_t Reserved6() = 0;                                                  // slot 6
    virtual int32_t Release() = 0;                                                    // slot 7
};

class IInterface {
public:
    virtual ~IInterface() = default;                                                  // slots 0, 1
    virtual int32_t GetNumDevices(uint32_t* count) = 0;                               // slot 2
    virtual int32_t GetDeviceID(uint32_t index, char* text, uint64_t* size) = 0;      // slot 3
    virtual int32_t OpenDevice(const char* id, IDevice** device) = 0;                 // slot 4
    virtual int32_t Reserved5() = 0;                                                  // slot 5
    virtual int32_t GetInfo(int32_t info, char* text, uint64_t* size) = 0;            // slot 6
    virtual int32_t GetDeviceStatus(const char* id, DeviceStatus* status) = 0;        // slot 7
    virtual int32_t Reserved8() = 0;                                                  // slot 8
    virtual int32_t Release() = 0;                                                    // slot 9
};

class IDevice {
public:
    virtual ~IDevice() = default;                                                     // slots 0, 1
    virtual int32_t GetNumDataStreams(uint32_t* count) = 0;                           // slot 2
    virtual int32_t OpenDataStream(uint32_t index, IDataStream** stream) = 0;         // slot 3
    virtual int32_t SetParameter(int32_t param, const void* value, uint64_t* size) = 0;  // slot 4
    virtual int32_t GetParameter(int32_t param, void* value, uint64_t* size) = 0;     // slot 5
    virtual int32_t Release() = 0;                                                    // slot 6
};

class IDataStream {
public:
    virtual ~IDataStream() = default;                                                 // slots 0, 1
    virtual int32_t StartAcquisition(int32_t flags, int64_t count) = 0;               // slot 2
    virtual int32_t StopAcquisition(int32_t flags, int32_t mode) = 0;                 // slot 3
    // Waits for the next frame (frame-rate limit, software trigger) and writes one payload of
    // the camera's current size; kTimedOut when none came within the time-out.
    virtual int32_t Fill(void* buffer, uint32_t timeoutMs) = 0;                       // slot 4
    virtual int32_t Reserved5() = 0;                                                  // slot 5
    virtual int32_t GetInfo(int32_t info, void* buffer, uint64_t* size) = 0;          // slot 6
    virtual int32_t Release() = 0;                                                    // slot 7
    // Like Fill, but never writes more than *size bytes: a payload larger than *size is refused
    // without using up a frame or a trigger. On success *size is the payload size and info
    // (optional) describes the frame just written.
    virtual int32_t Grab(void* buffer, uint64_t* size, uint32_t timeoutMs, FrameInfo* info) = 0;  // slot 8
};

}  // namespace Quibbon

// The component's only exported function: stores its system object, or null.
extern "C" __attribute__((visibility("default"))) void GetSystem(Quibbon::ISystem** system);
