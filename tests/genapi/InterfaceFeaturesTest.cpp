// The Interface port evaluated through GenApi: identity, device enumeration driven by the
// selector, and the test-event features that make the interface raise events.
#include <gtest/gtest.h>

#include <string>

#include "genapi/ProducerFixture.h"

namespace quarvo_test {
namespace {

class InterfaceFeatures : public ProducerFixture, public ::testing::WithParamInterface<uint32_t> {
protected:
    void SetUp() override {
        ProducerFixture::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        UpdateInterfaces();
        interface_id = InterfaceID(GetParam());
        ASSERT_EQ(GC_ERR_SUCCESS, lib.TLOpenInterface(system, interface_id.c_str(), &iface)) << lib.Error().text;
        LoadPort(iface);
    }

    std::string DeviceID(uint32_t index) {
        char id[512] = {};
        size_t size = sizeof id;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.IFGetDeviceID(iface, index, id, &size)) << lib.Error().text;
        return id;
    }

    std::string DeviceText(const std::string& device, DEVICE_INFO_CMD command) {
        char text[512] = {};
        size_t size = sizeof text;
        INFO_DATATYPE type = 0;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.IFGetDeviceInfo(iface, device.c_str(), command, &type, text, &size))
            << lib.Error().text;
        return text;
    }

    EVENT_HANDLE RegisterEvent(EVENT_TYPE type) {
        EVENT_HANDLE event = nullptr;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.GCRegisterEvent(iface, type, &event)) << lib.Error().text;
        return event;
    }

    std::string interface_id;
    IF_HANDLE iface = nullptr;
};

TEST_P(InterfaceFeatures, DocumentAndIdentity) {
    EXPECT_EQ(0u, port->Url().rfind("Local:KVTLI.xml;700;", 0)) << port->Url();
    EXPECT_EQ(interface_id, port->String("InterfaceID"));
    EXPECT_EQ(InterfaceText(interface_id, INTERFACE_INFO_DISPLAYNAME), port->String("InterfaceDisplayName"));
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
    for (uint32_t index : {1u, 0u}) {
        port->SetInteger("DeviceSelector", index);
        EXPECT_EQ(index, port->Integer("DeviceSelector"));
        const std::string device = DeviceID(index);
        EXPECT_EQ("Cam" + std::to_string(GetParam()) + std::to_string(index), device);
        EXPECT_EQ(device, port->String("DeviceID"));
        EXPECT_EQ("Brondix", port->String("DeviceVendorName"));
        EXPECT_EQ(DeviceText(device, DEVICE_INFO_VENDOR), port->String("DeviceVendorName"));
        EXPECT_EQ(DeviceText(device, DEVICE_INFO_MODEL), port->String("DeviceModelName"));
        EXPECT_EQ("ReadWrite", port->Enumeration("DeviceAccessStatus"));
        EXPECT_TRUE(port->Boolean("DeviceIsAccessible"));
    }
    EXPECT_NE("", GenApiErrorOf([&] { port->SetInteger("DeviceSelector", 2); }));
    EXPECT_EQ(DeviceID(0), port->String("DeviceID"));
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
    ASSERT_EQ(1u, QueuedEvents(lib, event));
    EXPECT_EQ("DeviceIsAccessible", TakeEvent(lib, event).id);
}

TEST_P(InterfaceFeatures, FeatureChangeTargetReportsTheDestinationValue) {
    EVENT_HANDLE event = RegisterEvent(EVENT_FEATURE_CHANGE);
    struct Case {
        int64_t written;
        const char* reported;
    };
    for (const Case& step : {Case{0, "1"}, Case{1, "0"}}) {
        port->SetInteger("TestEventFeatureChangeTarget", step.written);
        EXPECT_EQ(step.written, port->Integer("TestEventFeatureChangeTarget"));
        const EventRecord record = TakeEvent(lib, event);
        EXPECT_EQ("TestEventFeatureChangeDestination", record.id);
        EXPECT_EQ(INFO_DATATYPE_STRING, record.value_type);
        EXPECT_EQ(step.reported, record.ValueText()) << "after writing " << step.written;
    }
    // GenApi keeps the feature within 0..1; a register write beyond it reports "0" as well.
    EXPECT_NE("", GenApiErrorOf([&] { port->SetInteger("TestEventFeatureChangeTarget", 5); }));
    EXPECT_EQ(0u, QueuedEvents(lib, event));
    ASSERT_TRUE(arv_device_write_register(port->Device(), 0x5A0, 5, nullptr));
    EXPECT_EQ("0", TakeEvent(lib, event).ValueText());
}

TEST_P(InterfaceFeatures, ModuleEventOnlyWithNotificationOn) {
    EVENT_HANDLE event = RegisterEvent(EVENT_MODULE);
    EXPECT_EQ("TestEventModule", port->Enumeration("EventSelector"));
    EXPECT_EQ("Off", port->Enumeration("EventNotification"));
    port->SetInteger("TestEventModuleTarget", 1);
    EXPECT_EQ(0u, QueuedEvents(lib, event));

    port->SetEnumeration("EventNotification", "On");
    EXPECT_EQ(1, port->EnumerationValue("EventNotification"));
    port->SetInteger("TestEventModuleTarget", 1);
    const EventRecord record = TakeEvent(lib, event);
    EXPECT_EQ(std::to_string(port->EnumerationValue("EventSelector")), record.id);
    EXPECT_EQ("1234", record.id);
    EXPECT_EQ(INFO_DATATYPE_BUFFER, record.value_type);
    EXPECT_EQ(4u, record.value.size());
    EXPECT_EQ(0u, QueuedEvents(lib, event));
}

INSTANTIATE_TEST_SUITE_P(Boards, InterfaceFeatures, ::testing::Values(0u, 1u),
                         [](const auto& info) { return "Board" + std::to_string(info.param); });

}  // namespace
}  // namespace quarvo_test
