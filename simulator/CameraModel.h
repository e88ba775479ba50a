// What sets camera models apart: the settings a camera keeps, how they are reached (numbered
// parameters, or a register space of the camera's own) and what they make of each frame. The
// camera (Camera.h) runs the rest for every model alike: grab sessions, pacing, triggers and
// injected faults. Every member is called with the camera's lock held, so a model needs no lock
// of its own; none may block.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "framegrabber/Quibbon.h"
#include "simulator/CameraEvents.h"
#include "simulator/FrameShape.h"

namespace Quibbon::Sim {

using CameraClock = std::chrono::steady_clock;

// What a model may ask of its camera while a setting is written.
class CameraControl {
public:
    // A trigger of the frame start trigger (software or line) at that time.
    virtual void AddTrigger(CameraClock::time_point when) = 0;
    // Forgets the pending triggers (the trigger mode or source changed).
    virtual void ClearTriggers() = 0;
    // Starts or stops the acquisition as the data stream does: kOk, or kFailed when it already
    // is in that state.
    virtual int32_t Start() = 0;
    virtual int32_t Stop() = 0;
    virtual bool Grabbing() const = 0;
    // Whether a frame start trigger waits for its frame.
    virtual bool TriggerPending() const = 0;

protected:
    ~CameraControl() = default;
};

// How frames come due.
struct FrameTiming {
    CameraClock::duration interval;  // shortest time between frames; zero = as fast as grabs come
    bool triggered;                  // frames wait for a frame start trigger
    bool lineTrigger;                // the trigger comes from the line (NextLineEdge), not software
    CameraClock::duration delay;     // from a trigger to its frame
};

// The chunks a frame carries after its image, in the GigE Vision layout (FrameRecord in
// Quibbon.h): the bytes that follow the image, starting with the image's own ID and length.
struct FrameChunks {
    std::vector<uint8_t> trailer;
    uint32_t layoutId = 0;  // 0: the frame carries no such chunks
};

class CameraModel {
public:
    virtual ~CameraModel() = default;

    // Numbered parameters (Quibbon.h): kOk, or kFailed for an unknown, read-only or refused one.
    virtual int32_t SetParameter(int32_t param, int32_t value, CameraControl& control) = 0;
    virtual std::optional<int32_t> GetNumber(int32_t param) const = 0;
    virtual std::optional<std::string> GetText(int32_t param) const = 0;

    // The camera's own register space (self-describing models only): results of
    // IDevice::ReadRegisters / WriteRegisters; error receives the text of a refusal.
    virtual int32_t ReadRegisters(uint64_t address, void* data, uint64_t size, std::string& error);
    virtual int32_t WriteRegisters(uint64_t address, const void* data, uint64_t size, CameraControl& control,
                                   std::string& error);

    // The next frame's image and whether the frame carries the chunk of today's cameras.
    virtual FrameShape Shape() const = 0;
    virtual bool ChunkMode() const { return false; }
    // The camera's time stamp of a frame taken at that time, in nanoseconds; 0 for a camera
    // without a clock of its own.
    virtual uint64_t Timestamp(CameraClock::time_point /*when*/) const { return 0; }
    // The chunks of the frame about to be taken, with its number, stamp and image size, from the
    // settings it is taken with; none by default.
    virtual FrameChunks Chunks(uint32_t /*frameNumber*/, uint64_t /*timestamp*/, uint32_t /*imageSize*/) const {
        return {};
    }
    virtual FrameTiming Timing() const = 0;
    // The first edge of the trigger line's active kind after that time (line triggers only).
    virtual CameraClock::time_point NextLineEdge(CameraClock::time_point after) const { return after; }
    // Whether the camera delivers frames now (acquisition mode, acquisition start trigger), and
    // the earliest time its next frame may come.
    virtual bool MayDeliver() const { return true; }
    virtual CameraClock::time_point EarliestFrame() const { return CameraClock::time_point::min(); }
    // A frame was taken at that time.
    virtual void FrameTaken(CameraClock::time_point /*when*/) {}
    // The frame taken last is delivered with that number and stamp.
    virtual void FrameDelivered(uint32_t /*frameNumber*/, uint64_t /*timestamp*/) {}
    // The events the camera raised and holds for the consumer; null for a model without events.
    virtual CameraEvents* Events() { return nullptr; }
    // The acquisition started or stopped.
    virtual void AcquisitionChanged(bool /*grabbing*/, CameraClock::time_point /*when*/) {}
    // How often the camera was reset (DeviceReset); device objects opened before a reset lose
    // their register access.
    virtual uint64_t Resets() const { return 0; }

protected:
    CameraModel() = default;
};

}  // namespace Quibbon::Sim
