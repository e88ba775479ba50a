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

// Result codes of the component. Non-negative results mean an image was written.
constexpr int32_t kOk = 0;
constexpr int32_t kTruncated = 1;     // an image was written, but only the first *size bytes of it
constexpr int32_t kFailed = -1;       // bad argument, unknown number, refused value, closed stream
constexpr int32_t kTimedOut = -2;     // no frame became due (or was triggered) within the time-out
constexpr int32_t kStopped = -3;      // the grab was interrupted by a stop, or its stream is disarmed
constexpr int32_t kCameraError = -4;  // the camera failed this grab; nothing was written
constexpr int32_t kDenied = -5;       // a register access the camera refuses now (locked, read-only)
constexpr int32_t kNoRegister = -6;   // no register of the camera covers that address range

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
    kParamUserName = 14,  // text, read-only: the camera's user-defined name
    kParamTriggerMode = 16,
    kParamTriggerSource = 17,
    kParamSoftwareTrigger = 18,
    // A camera that owns its register space and its GenApi document answers 1 (uint32_t): its
    // device objects implement ReadRegisters and WriteRegisters (slots 7 and 8), and the producer
    // forwards every access of the remote device port to them. Other cameras refuse the number,
    // and their device objects have no slots beyond Release.
    kParamSelfDescribing = 19,
    // Text, read-only, self-describing cameras only: the URL of the camera's document in its own
    // register space, "Local:<file name>;<address>;<size>" (hexadecimal).
    kParamDescriptionURL = 20,
    // Text, read-only, self-describing cameras only: why the last register access of the calling
    // thread that failed was refused, naming the feature and the value.
    kParamRegisterError = 21,
    // Self-describing cameras that raise events answer 1 (uint32_t): their device objects also
    // implement TakeEvents (slot 9).
    kParamCameraEvents = 22,
    // uint32_t, read-only, cameras whose frames may carry chunks in the GigE Vision layout
    // (FrameRecord): the most chunks a frame carries, its image included. Others refuse it.
    kParamMaxChunks = 23,
    // Fault injection, numeric, 0 = off. Writing one restarts its count. The counts belong to the
    // camera: every stream object opened on it advances the same ones.
    //   kParamFaultFailEvery:       every Nth time a frame comes due for a grab, the grab fails with
    //                               kCameraError instead: the frame slot and the pending trigger are
    //                               used up, no frame number is (counts failed, dropped and
    //                               delivered frames).
    //   kParamFaultTimeoutEvery:    every Nth grab call (Grab or Fill on an open, armed stream
    //                               object) waits out its whole time-out and returns kTimedOut,
    //                               using up nothing.
    //   kParamFaultDelayMs:         every grab, once its frame is due, waits this many milliseconds
    //                               more before it takes the frame; the wait counts against the
    //                               time-out (a frame later than the time-out is not taken).
    //   kParamFaultDropEvery:       every Nth frame is skipped: it uses up the frame slot, the
    //                               trigger and a frame number, and the grab waits on for the next
    //                               frame (in trigger mode, for another trigger) within its
    //                               time-out; the next frame delivered to that stream object
    //                               reports it in droppedBefore (counts dropped and delivered
    //                               frames).
    //   kParamFaultIncompleteEvery: every Nth frame is delivered incomplete: only the first half of
    //                               its payload (payload / 2, a multiple of 4 since every payload
    //                               is a multiple of 8) is written, flags has kFrameIncomplete
    //                               (counts dropped and delivered frames; a frame that is due to be
    //                               both dropped and incomplete is dropped).
    // Waits of these faults end at once on a stop (kStopped) or a stream close (kFailed).
    kParamFaultFailEvery = 101,
    kParamFaultTimeoutEvery = 102,
    kParamFaultDelayMs = 103,
    kParamFaultDropEvery = 104,
    kParamFaultIncompleteEvery = 105,
};

// Values of kParamTestPattern.
enum TestPattern : int32_t {
    kPatternMovingRamp = 0,
    kPatternStillRamp = 1,
    kPatternCheckerboard = 2,
    kPatternColourBars = 3,
    // Replays the camera's PNG images in name order, frame N showing image N modulo their number.
    // Accepted only by a camera that has images, while its size is theirs; while it is set the size
    // cannot change.
    kPatternImages = 4,
};

// The only value of kParamTriggerSource.
constexpr int32_t kTriggerSourceSoftware = 0;

// Size of the identity text buffers the producer passes.
constexpr uint64_t kIdTextSize = 2048;
constexpr uint64_t kInfoTextSize = 512;

// Stream information numbers (IDataStream::GetInfo).
constexpr int32_t kStreamInfoNumStarted = 6;    // uint64_t
constexpr int32_t kStreamInfoIsGrabbing = 7;    // one byte, non-zero while started
constexpr int32_t kStreamInfoGrabVersion = 8;   // uint32_t, 1: slot 8 (Grab) exists as declared here
// uint32_t, 1: Grab fills a FrameRecord (below) when the caller sets info->reserved to
// sizeof(FrameRecord) before the call; otherwise it writes a FrameInfo only. Components that do not
// answer this number always write a FrameInfo only.
constexpr int32_t kStreamInfoFrameRecord = 9;

// Flags of IDataStream::StartAcquisition / StopAcquisition; other bits are ignored.
constexpr int32_t kStreamOnly = 1;  // arm or disarm this stream object only, not the camera

// Status record written by IInterface::GetDeviceStatus. The producer reads the byte after the
// first 8 bytes: non-zero means the device can be opened.
struct DeviceStatus {
    uint64_t index;
    uint8_t accessible;
    uint8_t reserved[7];
};
static_assert(sizeof(DeviceStatus) == 16, "status record layout");

// Bits of FrameInfo::flags.
constexpr uint32_t kFrameIncomplete = 1;  // the camera sent only part of the payload

// Description of one delivered frame (IDataStream::Grab), taken together with the image.
struct FrameInfo {
    uint32_t width;
    uint32_t height;
    uint32_t pixelFormat;
    uint32_t payloadSize;
    uint32_t chunkMode;
    // Number of the frame on its stream object: 0 for the first frame after the object was
    // opened, counting delivered and dropped frames. The image is rendered from it, so a frame
    // counter that starts at 0 with the stream object and adds 1 + droppedBefore per frame stays
    // equal to it.
    uint32_t frameNumber;
    uint32_t filledSize;     // bytes actually written into the buffer
    uint32_t flags;          // kFrameIncomplete
    uint32_t droppedBefore;  // frames dropped since the previous frame delivered to this stream object
    uint32_t reserved;       // 0
};
static_assert(sizeof(FrameInfo) == 40, "frame record layout");

// A FrameInfo with what a camera itself knows of the frame (kStreamInfoFrameRecord). On return
// info.reserved still holds sizeof(FrameRecord).
struct FrameRecord {
    FrameInfo info;
    // The camera's time stamp of the frame in nanoseconds, or 0 when the camera has none (the
    // caller then stamps the frame itself).
    uint64_t timestamp;
    // Non-zero when the payload is the image followed by chunks in the GigE Vision layout: the
    // image is the first chunk, every chunk is its data followed by its 4-byte ID and 4-byte length
    // (big-endian), so the chunks are read from the payload's end. The number changes whenever the
    // set of chunks changes.
    uint32_t chunkLayoutId;
    uint32_t imageSize;  // bytes of the image at the start of the payload
    // Non-zero when the camera holds events for IDevice::TakeEvents (this frame's among them).
    uint32_t eventsPending;
    uint32_t reserved;  // 0
};
static_assert(sizeof(FrameRecord) == 64, "extended frame record layout");

// One event a camera raised (IDevice::TakeEvents): its GenApi event ID, its time on the camera's
// clock in nanoseconds and the ID of the frame it belongs to (0 for events of no frame). The
// producer delivers it as a remote-device event of that ID whose 16 data bytes are the time stamp
// (offset 0) and the frame ID (offset 8), little-endian; the camera's document addresses them so.
struct CameraEvent {
    uint64_t id;
    uint64_t timestamp;
    uint64_t frameId;
};
static_assert(sizeof(CameraEvent) == 24, "camera event layout");

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
    // Only on device objects of self-describing cameras (kParamSelfDescribing); never call them
    // on others. Read or write size bytes of the camera's register space at address: kOk;
    // kNoRegister when the range is not covered by registers (a partial register counts as not
    // covered); kFailed for a null pointer or a refused value; kDenied for a write to a read-only
    // register or to one locked while the camera acquires. A refused access changes nothing;
    // kParamRegisterError then tells why.
    virtual int32_t ReadRegisters(uint64_t address, void* data, uint64_t size) = 0;         // slot 7
    virtual int32_t WriteRegisters(uint64_t address, const void* data, uint64_t size) = 0;  // slot 8
    // Only on device objects of cameras that raise events (kParamCameraEvents). Moves up to
    // *count of the oldest events the camera holds into events, oldest first, and sets *count to
    // the number moved; *dropped receives the number of events the camera dropped, its queue being
    // full, since the previous call. kOk, or kFailed for a null pointer.
    virtual int32_t TakeEvents(CameraEvent* events, uint64_t* count, uint64_t* dropped) = 0;  // slot 9
};

class IDataStream {
public:
    virtual ~IDataStream() = default;                                                 // slots 0, 1
    // flags 0: starts the camera's acquisition (count is ignored); kFailed when already started.
    // kStreamOnly: re-arms this stream object only; the camera's state is not touched.
    virtual int32_t StartAcquisition(int32_t flags, int64_t count) = 0;               // slot 2
    // flags 0: stops the camera's acquisition (kFailed when not started) and, in either case, ends
    // every grab then waiting on the camera with kStopped; later grabs wait as usual.
    // kStreamOnly: disarms this stream object only: its waiting grabs end with kStopped and every
    // later Grab or Fill on it returns kStopped at once, until it is re-armed. A stream object
    // starts armed. The camera's state is not touched. mode is ignored.
    virtual int32_t StopAcquisition(int32_t flags, int32_t mode) = 0;                 // slot 3
    // Waits for the next frame (frame-rate limit, software trigger) and writes one payload of
    // the camera's current size (half of it for an incomplete frame); the result codes of Grab.
    virtual int32_t Fill(void* buffer, uint32_t timeoutMs) = 0;                       // slot 4
    virtual int32_t Reserved5() = 0;                                                  // slot 5
    virtual int32_t GetInfo(int32_t info, void* buffer, uint64_t* size) = 0;          // slot 6
    virtual int32_t Release() = 0;                                                    // slot 7
    // Like Fill, but never writes more than *size bytes (image, chunk and incomplete frames alike).
    // A payload larger than *size still uses up the frame and the trigger: as much of it as the
    // frame carries is written up to *size bytes and the result is kTruncated (also when an
    // incomplete frame's half would have fitted). With a non-negative result *size is the full
    // payload size and info (optional) describes the frame, filledSize being the bytes written.
    // kTimedOut, kStopped, kCameraError and kFailed write nothing and change neither.
    virtual int32_t Grab(void* buffer, uint64_t* size, uint32_t timeoutMs, FrameInfo* info) = 0;  // slot 8
};

}  // namespace Quibbon

// The component's entry function: stores its system object, or null. The first call while no
// object of the component is alive builds the rig, from the file named by the environment
// variable QUARVO_RIG when it is set.
extern "C" __attribute__((visibility("default"))) void GetSystem(Quibbon::ISystem** system);
// Optional (look it up before calling it): why the last GetSystem stored null, for example
// "rig.toml:7: unknown key 'widht'". A null text only reports the size needed (with the
// terminator); kFailed when the last GetSystem stored a system, size is null or *size is too
// small.
extern "C" __attribute__((visibility("default"))) int32_t QuibbonGetLastError(char* text, uint64_t* size);
