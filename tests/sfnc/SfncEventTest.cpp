// Events of the SFNC camera through the producer: each event the consumer enabled arrives once, in
// order, before the frame it belongs to, with the frame's stamp and ID, and its data reads as the
// camera's document declares it (Aravis evaluates the document's event features down to the
// register, port and event ID; Aravis 0.8 does not deliver events to a node map itself). A
// consumer that reads no events loses the oldest ones, counted, and nothing else.
#include <gtest/gtest.h>

#include <arv.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sfnc/SfncFixture.h"

namespace quarvo_test {
namespace {

constexpr size_t kBuffers = 5;          // the fewest a stream starts with
constexpr size_t kEventCapacity = 1024;  // remote-device events the producer keeps
constexpr uint64_t kRegEventSelector = 0x7000;
constexpr int64_t kExposureNs = 1000000;

constexpr char kRig[] = R"([[board]]
[[board.camera]]
id = "Sfnc"
profile = "sfnc"
width = 64
height = 48
pixel_format = "Mono8"
frame_rate = 0
)";

struct Event {
    std::string id;
    std::vector<uint8_t> data;
};

// The first child of a node of the document that is a property of that type; null if none.
ArvGcPropertyNode* Property(ArvGcNode* node, ArvGcPropertyNodeType type) {
    for (ArvDomNode* child = arv_dom_node_get_first_child(ARV_DOM_NODE(node)); child != nullptr;
         child = arv_dom_node_get_next_sibling(child)) {
        if (ARV_IS_GC_PROPERTY_NODE(child) && arv_gc_property_node_get_node_type(ARV_GC_PROPERTY_NODE(child)) == type) {
            return ARV_GC_PROPERTY_NODE(child);
        }
    }
    return nullptr;
}

class SfncEvents : public SfncFixture {
protected:
    SfncEvents() : SfncFixture(kRig) {}

    void SetUp() override {
        SfncFixture::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        ASSERT_EQ(GC_ERR_SUCCESS, lib.GCRegisterEvent(device, EVENT_REMOTE_DEVICE, &events)) << lib.Error().text;
        camera->SetFloat("ExposureTime", kExposureNs / 1000.0);
    }

    void Enable(const std::vector<std::string>& names) {
        for (const std::string& name : names) {
            camera->SetEnumeration("EventSelector", name);
            camera->SetEnumeration("EventNotification", "On");
        }
    }

    // The next queued event, without waiting: events are queued before the frame or the write
    // that raised them returns.
    std::optional<Event> NextEvent() {
        uint8_t bytes[64] = {};
        size_t size = sizeof bytes;
        const GC_ERROR result = lib.EventGetData(events, bytes, &size, 0);
        if (result == GC_ERR_TIMEOUT) {
            return std::nullopt;
        }
        EXPECT_EQ(GC_ERR_SUCCESS, result) << lib.Error().text;
        Event event;
        char id[32] = {};
        size_t idSize = sizeof id;
        INFO_DATATYPE type = 0;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.EventGetDataInfo(events, bytes, size, EVENT_DATA_ID, &type, id, &idSize));
        event.id = id;
        event.data.resize(size);
        size_t dataSize = event.data.size();
        EXPECT_EQ(GC_ERR_SUCCESS,
                  lib.EventGetDataInfo(events, bytes, size, EVENT_DATA_VALUE, &type, event.data.data(), &dataSize));
        event.data.resize(dataSize);
        return event;
    }

    // The next event, which must be `name`, with the event ID of its feature Event<name>.
    Event Expect(const std::string& name) {
        std::optional<Event> event = NextEvent();
        if (!event) {
            ADD_FAILURE() << "no " << name << " event";
            return {};
        }
        const std::string id = std::to_string(camera->Integer("Event" + name));
        EXPECT_EQ(id, event->id) << name;
        EXPECT_EQ(id, arv_gc_property_node_get_string(
                          Property(camera->Node("Event" + name), ARV_GC_PROPERTY_NODE_TYPE_EVENT_ID), nullptr));
        return *event;
    }

    // The event's data feature Event<name><feature> as a GenApi engine fed the event shows it:
    // read at the address and length that Aravis evaluates for the feature's register, whose port
    // must take the events of this event's ID.
    uint64_t Data(const Event& event, const std::string& name, const std::string& feature) {
        ArvGcNode* reg = arv_gc_property_node_get_linked_node(
            Property(camera->Node("Event" + name + feature), ARV_GC_PROPERTY_NODE_TYPE_P_VALUE));
        ArvGcNode* port = arv_gc_property_node_get_linked_node(Property(reg, ARV_GC_PROPERTY_NODE_TYPE_P_PORT));
        EXPECT_EQ(event.id, arv_gc_property_node_get_string(Property(port, ARV_GC_PROPERTY_NODE_TYPE_EVENT_ID), nullptr))
            << name << feature;
        const uint64_t address = arv_gc_register_get_address(ARV_GC_REGISTER(reg), nullptr);
        const uint64_t length = arv_gc_register_get_length(ARV_GC_REGISTER(reg), nullptr);
        uint64_t value = 0;
        if (length == sizeof value && address + length <= event.data.size()) {
            std::memcpy(&value, event.data.data() + address, sizeof value);
        } else {
            ADD_FAILURE() << name << feature << ": " << length << " bytes at " << address << " of "
                          << event.data.size();
        }
        return value;
    }

    template <class T>
    T EventInfo(EVENT_INFO_CMD command) {
        T value{};
        size_t size = sizeof value;
        INFO_DATATYPE type = 0;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.EventGetInfo(events, command, &type, &value, &size)) << lib.Error().text;
        return value;
    }

    EVENT_HANDLE events = nullptr;
};

TEST_F(SfncEvents, EachEventArrivesOnceInOrderBeforeItsFrameWithItsStamp) {
    Enable({"AcquisitionStart", "AcquisitionEnd", "FrameStart", "FrameEnd", "ExposureEnd"});
    camera->SetEnumeration("AcquisitionMode", "MultiFrame");
    camera->SetInteger("AcquisitionFrameCount", 3);
    Start(kBuffers);
    const uint64_t started = Data(Expect("AcquisitionStart"), "AcquisitionStart", "Timestamp");
    uint64_t frameEnd = 0;
    for (int frame = 0; frame < 3; ++frame) {
        SCOPED_TRACE(frame);
        BUFFER_HANDLE buffer = NextBuffer();
        ASSERT_NE(nullptr, buffer);
        const auto stamp = BufferInfo<uint64_t>(buffer, BUFFER_INFO_TIMESTAMP_NS);
        const auto frameID = BufferInfo<uint64_t>(buffer, BUFFER_INFO_FRAMEID);
        EXPECT_LE(started, stamp);
        for (const char* name : {"FrameStart", "ExposureEnd", "FrameEnd"}) {
            const Event event = Expect(name);
            const uint64_t at = Data(event, name, "Timestamp");
            EXPECT_EQ(stamp + (name == std::string("FrameStart") ? 0 : kExposureNs), at) << name;
            EXPECT_EQ(frameID, Data(event, name, "FrameID")) << name;
            frameEnd = at;
        }
    }
    // The run ends with its last frame; stopping afterwards ends nothing more.
    EXPECT_EQ(frameEnd, Data(Expect("AcquisitionEnd"), "AcquisitionEnd", "Timestamp"));
    Stop();
    EXPECT_FALSE(NextEvent());
    EXPECT_EQ(0u, EventInfo<size_t>(EVENT_INFO_NUM_DROPPED));
}

TEST_F(SfncEvents, ATriggerWhileTheCameraIsBusyIsMissedAndOnlyEnabledEventsCome) {
    Enable({"FrameTriggerMissed"});
    camera->SetEnumeration("TriggerMode", "On");
    camera->SetFloat("TriggerDelay", 1000000.0);  // the first trigger's frame waits a second
    Start(kBuffers);
    camera->Execute("TriggerSoftware");
    EXPECT_FALSE(NextEvent());
    camera->Execute("TriggerSoftware");
    camera->Execute("TimestampLatch");
    EXPECT_LE(Data(Expect("FrameTriggerMissed"), "FrameTriggerMissed", "Timestamp"),
              static_cast<uint64_t>(camera->Integer("TimestampLatchValue")));
    Stop();
    EXPECT_FALSE(NextEvent()) << "AcquisitionStart and AcquisitionEnd are not enabled";

    // An event the camera does not know is refused where the consumer selects it.
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, WriteWord(remote, kRegEventSelector, 9999));
    EXPECT_NE(std::string::npos, std::string(lib.Error().text).find("EventSelector")) << lib.Error().text;
}

TEST_F(SfncEvents, AConsumerThatReadsNoEventsLosesOnlyTheOldestCounted) {
    Enable({"FrameStart", "FrameEnd", "ExposureEnd"});
    camera->SetFloat("ExposureTime", 1.0);
    Start(kBuffers);
    // Three events a frame: enough frames to fill the queue and more.
    for (size_t frame = 0; frame < kEventCapacity / 2; ++frame) {
        BUFFER_HANDLE buffer = NextBuffer();
        ASSERT_NE(nullptr, buffer);
        ASSERT_EQ(GC_ERR_SUCCESS, lib.DSQueueBuffer(stream, buffer)) << lib.Error().text;
    }
    Stop();
    const auto delivered = StreamInfo<uint64_t>(STREAM_INFO_NUM_DELIVERED);
    EXPECT_EQ(kEventCapacity, EventInfo<size_t>(EVENT_NUM_IN_QUEUE));
    EXPECT_EQ(3 * delivered - kEventCapacity, EventInfo<size_t>(EVENT_INFO_NUM_DROPPED)) << "every event counted";

    // What stays is the newest, in order, up to the last frame's.
    uint64_t frameID = 0;
    for (size_t i = 0; i < kEventCapacity; ++i) {
        const std::optional<Event> event = NextEvent();
        ASSERT_TRUE(event);
        ASSERT_EQ(16u, event->data.size());
        uint64_t id = 0;
        std::memcpy(&id, event->data.data() + 8, sizeof id);
        if (i > 0) {
            EXPECT_EQ(frameID + (event->id == "9003" ? 1 : 0), id) << i;
        }
        frameID = id;
    }
    EXPECT_EQ(delivered - 1, frameID);
}

}  // namespace
}  // namespace quarvo_test
