// The System and Interface ports evaluated through GenApi (Aravis): the producer identity, the
// interface and device enumerations driven by their selectors, how port failures reach a GenApi
// consumer, and the test-event features that make the interface raise events.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "genapi/GenApiTesting.h"
#include "support/OpenSystem.h"

namespace quarvo_test {
namespace {

class SystemFeatures : public OpenSystem {
protected:
    void SetUp() override {
        OpenSystem::SetUp();
        if (!HasFatalFailure()) {
            port = std::make_unique<GenApiPort>(lib, system);
        }
    }

    std::unique_ptr<GenApiPort> port;
};

TEST_F(SystemFeatures, EveryCategorisedValueReads) {
    ASSERT_EQ(GC_ERR_SUCCESS, lib.TLUpdateInterfaceList(system, nullptr, 1000));
    const auto features = port->ValueFeaturesUnder("Root");
    EXPECT_EQ(9u, features.size());  // TLID is listed twice
    for (const std::string& name : features) {
        EXPECT_NO_THROW(port->ValueAsString(name)) << name;
    }
}

TEST_F(SystemFeatures, ProducerIdentity) {
    EXPECT_EQ("EMVA_P", port->String("TLVendorName"));
    EXPECT_EQ("Quarvo", port->String("TLModelName"));
    EXPECT_EQ("0.0.0.0", port->String("TLVersion"));
    EXPECT_EQ("Quarvo.cti", port->String("TLID"));
    EXPECT_EQ(lib.Path(), port->String("TLPath"));
    EXPECT_EQ("Custom", port->Enumeration("TLType"));
    EXPECT_EQ(1, port->EnumerationValue("TLType"));
    EXPECT_EQ(1, port->Integer("GenTLVersionMajor"));
    EXPECT_EQ(5, port->Integer("GenTLVersionMinor"));
}

// The update command only stores its value; the list stays empty, so the selector has no range.
TEST_F(SystemFeatures, WithoutAListUpdateTheSelectorIsUnavailable) {
    port->Execute("InterfaceUpdateList");
    EXPECT_EQ(1, port->Integer("r_InterfaceUpdateList"));
    EXPECT_EQ(0, port->Integer("InterfaceCount"));
    EXPECT_FALSE(port->IsAvailable("InterfaceSelector"));
    EXPECT_EQ(-1, port->IntegerMax("InterfaceSelector"));
    EXPECT_EQ("", port->String("InterfaceID"));
    // GenApi itself refuses writes the document marks read-only.
    EXPECT_NE("", GenApiErrorOf([&] { port->SetInteger("InterfaceCount", 3); }));
    EXPECT_EQ(0, port->Integer("InterfaceCount"));
}

TEST_F(SystemFeatures, SelectorDrivesInterfaceID) {
    ASSERT_EQ(GC_ERR_SUCCESS, lib.TLUpdateInterfaceList(system, nullptr, 1000));
    EXPECT_EQ(2, port->Integer("InterfaceCount"));
    EXPECT_TRUE(port->IsAvailable("InterfaceSelector"));
    EXPECT_EQ(0, port->IntegerMin("InterfaceSelector"));
    EXPECT_EQ(1, port->IntegerMax("InterfaceSelector"));
    // The update selects the first interface; the register holds the bare identifier.
    EXPECT_EQ(0, port->Integer("InterfaceSelector"));
    EXPECT_EQ("Board0", port->String("InterfaceID"));
    for (uint32_t index : {1u, 0u}) {
        port->SetInteger("InterfaceSelector", index);
        EXPECT_EQ(index, port->Integer("InterfaceSelector"));
        EXPECT_EQ("Board" + std::to_string(index), port->String("InterfaceID"));
    }
    EXPECT_NE("", GenApiErrorOf([&] { port->SetInteger("InterfaceSelector", 2); }));
    EXPECT_EQ("Board0", port->String("InterfaceID"));
}

// The Interface port of each board.
class InterfaceFeatures : public OpenSystem, public ::testing::WithParamInterface<uint32_t> {
protected:
    void SetUp() override {
        OpenSystem::SetUp();
        if (!HasFatalFailure()) {
            iface = OpenInterface(GetParam());
            ASSERT_NE(nullptr, iface);
            port = std::make_unique<GenApiPort>(lib, iface);
        }
    }

    EVENT_HANDLE RegisterEvent(EVENT_TYPE type) {
        EVENT_HANDLE event = nullptr;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.GCRegisterEvent(iface, type, &event)) << lib.Error().text;
        return event;
    }

    // Takes the oldest record with EventGetData and decodes its ID and, where the kind has one,
    // its value with EventGetDataInfo.
    struct EventRecord {
        std::string id;
        INFO_DATATYPE value_type = INFO_DATATYPE_UNKNOWN;
        std::vector<char> value;
    };
    EventRecord TakeEvent(EVENT_HANDLE event) {
        EventRecord record;
        std::vector<char> data(1024);
        size_t size = data.size();
        if (lib.EventGetData(event, data.data(), &size, 1000) != GC_ERR_SUCCESS) {
            ADD_FAILURE() << "EventGetData: " << lib.Error().text;
            return record;
        }
        char id[256] = {};
        size_t id_size = sizeof id;
        INFO_DATATYPE type = 0;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.EventGetDataInfo(event, data.data(), size, EVENT_DATA_ID, &type, id, &id_size))
            << lib.Error().text;
        record.id = id;
        size_t value_size = 0;
        if (lib.EventGetDataInfo(event, data.data(), size, EVENT_DATA_VALUE, &type, nullptr, &value_size) ==
            GC_ERR_SUCCESS) {
            record.value.resize(value_size);
            EXPECT_EQ(GC_ERR_SUCCESS, lib.EventGetDataInfo(event, data.data(), size, EVENT_DATA_VALUE,
                                                           &record.value_type, record.value.data(), &value_size));
        }
        return record;
    }

    size_t QueuedEvents(EVENT_HANDLE event) {
        size_t count = 0;
        size_t size = sizeof count;
        INFO_DATATYPE type = 0;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.EventGetInfo(event, EVENT_NUM_IN_QUEUE, &type, &count, &size));
        return count;
    }

    IF_HANDLE iface = nullptr;
    std::unique_ptr<GenApiPort> port;
};

TEST_P(InterfaceFeatures, Identity) {
    const std::string board = "Board" + std::to_string(GetParam());
    EXPECT_EQ("QB::" + board, port->String("InterfaceID"));
    EXPECT_EQ("Interface : " + board, port->String("InterfaceDisplayName"));
    EXPECT_EQ("Standard", port->Enumeration("InterfaceType"));
}

TEST_P(InterfaceFeatures, EveryCategorisedValueReads) {
    const auto features = port->ValueFeaturesUnder("Root");
    EXPECT_EQ(17u, features.size());
    for (const std::string& name : features) {
        if (name == "TestEventModuleTimeStamp") {
            // Its register lives in the data of a delivered module event (port PortEventModule),
            // which only an event adapter can provide; Aravis has none.
            EXPECT_NE(std::string::npos,
                      GenApiErrorOf([&] { port->ValueAsString(name); }).find("Events not implemented"));
        } else {
            EXPECT_NO_THROW(port->ValueAsString(name)) << name;
        }
    }
}

TEST_P(InterfaceFeatures, RegistersBeforeTheFirstDeviceUpdate) {
    EXPECT_EQ(2, port->Integer("DeviceCount"));
    uint32_t listed = 99;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.IFGetNumDevices(iface, &listed));
    EXPECT_EQ(0u, listed);
    EXPECT_EQ("My Device ID", port->String("DeviceID"));
    EXPECT_EQ("Closed", port->Enumeration("DeviceAccessStatus"));
    EXPECT_FALSE(port->Boolean("DeviceIsAccessible"));
    EXPECT_EQ(0, port->Integer("DevicesOpen"));
}

TEST_P(InterfaceFeatures, SelectorDrivesTheDeviceDescription) {
    port->Execute("DeviceUpdateList");
    uint32_t listed = 0;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.IFGetNumDevices(iface, &listed));
    ASSERT_EQ(2u, listed);
    EXPECT_EQ(2, port->Integer("DeviceCount"));
    EXPECT_EQ(1, port->IntegerMax("DeviceSelector"));
    const std::string cameras = "Cam" + std::to_string(GetParam());
    for (uint32_t index : {1u, 0u}) {
        port->SetInteger("DeviceSelector", index);
        EXPECT_EQ(index, port->Integer("DeviceSelector"));
        const std::string device = cameras + std::to_string(index);
        EXPECT_EQ(device, port->String("DeviceID"));
        EXPECT_EQ("Brondix", port->String("DeviceVendorName"));
        char model[256] = {};
        size_t size = sizeof model;
        INFO_DATATYPE type = 0;
        ASSERT_EQ(GC_ERR_SUCCESS, lib.IFGetDeviceInfo(iface, device.c_str(), DEVICE_INFO_MODEL, &type, model, &size));
        EXPECT_EQ(model, port->String("DeviceModelName"));
        EXPECT_EQ("ReadWrite", port->Enumeration("DeviceAccessStatus"));
        EXPECT_TRUE(port->Boolean("DeviceIsAccessible"));
    }
    EXPECT_NE("", GenApiErrorOf([&] { port->SetInteger("DeviceSelector", 2); }));
    EXPECT_EQ(cameras + "0", port->String("DeviceID"));
}

TEST_P(InterfaceFeatures, DisplayNameBlockRunsPastTheMap) {
    // The description's 256-byte DeviceDisplayName block at 0x58C runs past the last word of the
    // map's DeviceType text block (0x508..0x607): the read fails there with the producer's message.
    const std::string error = GenApiErrorOf([&] { port->String("DeviceDisplayName"); });
    EXPECT_NE(std::string::npos, error.find("GCReadPort at 0x58c")) << error;
    EXPECT_NE(std::string::npos, error.find("Register 608 is not available.")) << error;
}

TEST_P(InterfaceFeatures, SelectingADeviceInvalidatesDeviceIsAccessible) {
    EVENT_HANDLE event = RegisterEvent(EVENT_FEATURE_INVALIDATE);
    port->Execute("DeviceUpdateList");
    port->SetInteger("DeviceSelector", 1);
    ASSERT_EQ(1u, QueuedEvents(event));
    EXPECT_EQ("DeviceIsAccessible", TakeEvent(event).id);
}

TEST_P(InterfaceFeatures, FeatureChangeTargetReportsTheDestinationValue) {
    EVENT_HANDLE event = RegisterEvent(EVENT_FEATURE_CHANGE);
    for (const auto& [written, reported] : {std::pair<int64_t, const char*>{0, "1"}, {1, "0"}}) {
        port->SetInteger("TestEventFeatureChangeTarget", written);
        EXPECT_EQ(written, port->Integer("TestEventFeatureChangeTarget"));
        const EventRecord record = TakeEvent(event);
        EXPECT_EQ("TestEventFeatureChangeDestination", record.id);
        EXPECT_EQ(INFO_DATATYPE_STRING, record.value_type);
        EXPECT_STREQ(reported, record.value.data()) << "after writing " << written;
    }
    // GenApi keeps the feature within 0..1; a register write beyond it reports "0" as well.
    EXPECT_NE("", GenApiErrorOf([&] { port->SetInteger("TestEventFeatureChangeTarget", 5); }));
    EXPECT_EQ(0u, QueuedEvents(event));
    ASSERT_TRUE(arv_device_write_register(port->Device(), 0x5A0, 5, nullptr));
    EXPECT_STREQ("0", TakeEvent(event).value.data());
}

TEST_P(InterfaceFeatures, ModuleEventOnlyWithNotificationOn) {
    EVENT_HANDLE event = RegisterEvent(EVENT_MODULE);
    EXPECT_EQ("TestEventModule", port->Enumeration("EventSelector"));
    EXPECT_EQ("Off", port->Enumeration("EventNotification"));
    port->SetInteger("TestEventModuleTarget", 1);
    EXPECT_EQ(0u, QueuedEvents(event));

    port->SetEnumeration("EventNotification", "On");
    EXPECT_EQ(1, port->EnumerationValue("EventNotification"));
    port->SetInteger("TestEventModuleTarget", 1);
    const EventRecord record = TakeEvent(event);
    EXPECT_EQ(std::to_string(port->EnumerationValue("EventSelector")), record.id);
    EXPECT_EQ("1234", record.id);
    EXPECT_EQ(INFO_DATATYPE_BUFFER, record.value_type);
    EXPECT_EQ(4u, record.value.size());
    EXPECT_EQ(0u, QueuedEvents(event));
}

INSTANTIATE_TEST_SUITE_P(Boards, InterfaceFeatures, ::testing::Values(0u, 1u),
                         [](const auto& info) { return "Board" + std::to_string(info.param); });

}  // namespace
}  // namespace quarvo_test
