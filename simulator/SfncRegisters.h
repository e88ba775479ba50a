// The register space of the SFNC camera. Registers are little-endian; integers, enumerations,
// booleans and commands are 4 bytes, floating-point values 8 bytes (IEEE double), texts fixed-size
// zero-padded blocks. Features that have a selector (TriggerSelector, GainSelector, ChunkSelector,
// UserSetSelector, EventSelector) read and write the register of the selected entry at the same
// address.
#pragma once

#include <cstdint>

namespace Quibbon::Sim::Sfnc {

enum Register : uint64_t {
    // DeviceControl
    kDeviceVendorName = 0x0000,       // text, 32 bytes, read-only
    kDeviceModelName = 0x0020,        // text, 32 bytes, read-only
    kDeviceSerialNumber = 0x0040,     // text, 32 bytes, read-only
    kDeviceFirmwareVersion = 0x0060,  // text, 32 bytes, read-only
    kDeviceUserID = 0x0080,           // text, 64 bytes, read-write
    kDeviceReset = 0x1000,            // command, write 1
    kDeviceTemperature = 0x1008,      // float, degrees Celsius, read-only

    // ImageFormatControl
    kSensorWidth = 0x2000,            // read-only
    kSensorHeight = 0x2004,           // read-only
    kWidthMax = 0x2008,               // read-only: SensorWidth / (binning * decimation), down to a multiple of 4
    kHeightMax = 0x200C,              // read-only
    kWidth = 0x2010,                  // 4 .. WidthMax - OffsetX, a multiple of 4; locked
    kHeight = 0x2014,                 // 1 .. HeightMax - OffsetY; locked
    kOffsetX = 0x2018,                // 0 .. WidthMax - Width
    kOffsetY = 0x201C,                // 0 .. HeightMax - Height
    kPixelFormat = 0x2020,            // a pixel format code the generator knows; locked
    kReverseX = 0x2024,               // boolean
    kReverseY = 0x2028,               // boolean
    kBinningHorizontal = 0x202C,      // 1 .. 4; locked
    kBinningVertical = 0x2030,        // 1 .. 4; locked
    kBinningHorizontalMode = 0x2034,  // 0 Sum, 1 Average
    kBinningVerticalMode = 0x2038,    // 0 Sum, 1 Average
    kDecimationHorizontal = 0x203C,   // 1 .. 4; locked
    kDecimationVertical = 0x2040,     // 1 .. 4; locked
    kTestPattern = 0x2044,            // TestPatternValue

    // AcquisitionControl
    kAcquisitionMode = 0x3000,            // AcquisitionModeValue; locked
    kAcquisitionStart = 0x3004,           // command, write 1
    kAcquisitionStop = 0x3008,            // command, write 1
    kAcquisitionFrameCount = 0x300C,      // 1 .. 65535; locked
    kAcquisitionFrameRateEnable = 0x3010, // boolean
    kAcquisitionFrameRate = 0x3018,       // float, Hz, 0.1 .. 100000
    kTriggerSelector = 0x3020,            // TriggerSelectorValue
    kTriggerMode = 0x3024,                // selected trigger: 0 Off, 1 On
    kTriggerSoftware = 0x3028,            // selected trigger: command, write 1
    kTriggerSource = 0x302C,              // selected trigger: TriggerSourceValue
    kTriggerActivation = 0x3030,          // selected trigger: 0 RisingEdge, 1 FallingEdge
    kTriggerDelay = 0x3038,               // selected trigger: float, µs, 0 .. 1000000
    kExposureMode = 0x3040,               // 1 Timed (the only value)
    kExposureTime = 0x3048,               // float, µs, 1 .. 1000000
    kExposureAuto = 0x3050,               // AutoValue
    kAcquisitionResultingFrameRate = 0x3058,  // float, Hz, read-only: the rate the camera runs at

    // AnalogControl
    kGainSelector = 0x4000,  // 0 All (the only value)
    kGain = 0x4008,          // float, dB, 0 .. 48
    kGainAuto = 0x4010,      // AutoValue
    kBlackLevel = 0x4018,    // float, grey levels of 8 bits, 0 .. 255
    kGamma = 0x4020,         // float, 0.25 .. 4

    // TransportLayerControl
    kPayloadSize = 0x5000,     // read-only
    kTLParamsLocked = 0x5004,  // 0 or 1; reads 1 while the camera acquires

    // ChunkDataControl
    kChunkModeActive = 0x6000,  // boolean; locked
    kChunkSelector = 0x6004,    // ChunkSelectorValue
    kChunkEnable = 0x6008,      // selected chunk: boolean; locked

    // EventControl
    kEventSelector = 0x7000,      // EventValue
    kEventNotification = 0x7004,  // selected event: 0 Off, 1 On

    // UserSetControl
    kUserSetSelector = 0x8000,  // UserSetValue
    kUserSetLoad = 0x8004,      // selected set: command, write 1; refused while the camera acquires
    kUserSetSave = 0x8008,      // selected set: command, write 1; refused for Default
    kUserSetDefault = 0x800C,   // UserSetValue: the set the camera starts from and DeviceReset restores

    // The camera's clock, in nanoseconds (DeviceControl): it stamps every frame.
    kTimestampLatch = 0x9000,             // command, write 1: copies the clock to TimestampLatchValue
    kTimestampReset = 0x9004,             // command, write 1: the clock restarts at 0
    kTimestampLatchValue = 0x9008,        // 8 bytes, read-only
    kDeviceTimestampFrequency = 0x9010,   // 8 bytes, read-only: 1000000000 ticks per second

    // The camera's GenApi document, read-only.
    kDescription = 0x100000,
};

enum TestPatternValue : uint32_t {
    kTestPatternOff = 0,  // the scene: the configured pattern or the replayed images
    kTestPatternGreyDiagonalRampMoving = 1,
    kTestPatternGreyDiagonalRamp = 2,
    kTestPatternCheckerboard = 3,
    kTestPatternColorBar = 4,
};

enum AcquisitionModeValue : uint32_t { kContinuous = 0, kSingleFrame = 1, kMultiFrame = 2 };
enum TriggerSelectorValue : uint32_t { kFrameStart = 0, kAcquisitionStartTrigger = 1 };
enum TriggerSourceValue : uint32_t { kSourceSoftware = 0, kSourceLine0 = 1 };
enum AutoValue : uint32_t { kAutoOff = 0, kAutoOnce = 1, kAutoContinuous = 2 };
enum UserSetValue : uint32_t { kUserSetDefaultSet = 0, kUserSet1 = 1, kUserSet2 = 2, kUserSet3 = 3 };
constexpr uint32_t kUserSetCount = 4;
enum BinningModeValue : uint32_t { kBinningSum = 0, kBinningAverage = 1 };

// The chunks a frame may carry, in the order they follow the image.
enum ChunkSelectorValue : uint32_t {
    kChunkTimestamp = 0,     // uint64_t, ns: the frame's time stamp
    kChunkFrameID = 1,       // uint64_t: the frame's ID
    kChunkExposureTime = 2,  // double, µs
    kChunkGain = 3,          // double, dB
    kChunkWidth = 4,         // uint32_t
    kChunkHeight = 5,        // uint32_t
    kChunkPixelFormat = 6,   // uint32_t, the pixel format code
    kChunkCount = 7,
};

// The chunk IDs of the payload (the document's chunk ports): the image, then the chunk of each
// ChunkSelectorValue v at kChunkIdFirst + v. Chunk values are little-endian like the registers.
constexpr uint32_t kChunkIdImage = 0x0A5A0000;
constexpr uint32_t kChunkIdFirst = 0x0A5A0001;

// The events the camera raises (EventSelector), each by its GenApi event ID: the ID's decimal
// digits are the document's EventID (hexadecimal digits there, as GenTL passes the ID as text).
// Every event's data is 16 bytes: its time stamp in ns of the camera's clock at offset 0 and the
// ID of its frame at offset 8 (0 for events of no frame), little-endian.
enum EventValue : uint32_t {
    kEventAcquisitionStart = 9001,
    kEventAcquisitionEnd = 9002,
    kEventFrameStart = 9003,
    kEventFrameEnd = 9004,
    kEventExposureEnd = 9005,
    kEventFrameTriggerMissed = 9006,
};
constexpr uint32_t kEventFirst = kEventAcquisitionStart;
constexpr uint32_t kEventCount = 6;
constexpr uint64_t kEventDataSize = 16;

}  // namespace Quibbon::Sim::Sfnc
