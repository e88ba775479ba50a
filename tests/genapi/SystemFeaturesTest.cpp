// The System port evaluated through GenApi: its document, the producer identity and the interface
// enumeration, and how port failures reach a GenApi consumer.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "genapi/ProducerFixture.h"

namespace quarvo_test {
namespace {

class SystemFeatures : public ProducerFixture {
protected:
    void SetUp() override {
        ProducerFixture::SetUp();
        if (!HasFatalFailure()) {
            LoadPort(system);
        }
    }

    std::string SystemText(TL_INFO_CMD command) {
        char text[4096] = {};
        size_t size = sizeof text;
        INFO_DATATYPE type = 0;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.TLGetInfo(system, command, &type, text, &size)) << lib.Error().text;
        return text;
    }
};

TEST_F(SystemFeatures, DocumentIsServedAtItsURL) {
    EXPECT_EQ(0u, port->Url().rfind("Local:KVTL.xml;940;", 0)) << port->Url();
    const auto& document = port->Document();
    ASSERT_GE(document.size(), 4u);
    EXPECT_EQ(0u, document.size() % 4);
    EXPECT_EQ(0, std::strncmp(document.data(), "<?xml", 5));
}

TEST_F(SystemFeatures, EveryCategorisedValueReads) {
    UpdateInterfaces();
    const auto features = port->ValueFeaturesUnder("Root");
    EXPECT_EQ(9u, features.size());  // TLID is listed twice, visited once
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
    EXPECT_EQ(SystemText(TL_INFO_PATHNAME), port->String("TLPath"));
    EXPECT_EQ("Custom", port->Enumeration("TLType"));
    EXPECT_EQ(1, port->EnumerationValue("TLType"));
    EXPECT_EQ(1, port->Integer("GenTLVersionMajor"));
    EXPECT_EQ(5, port->Integer("GenTLVersionMinor"));
}

TEST_F(SystemFeatures, SelectorIsUnavailableBeforeTheListIsUpdated) {
    EXPECT_EQ(0, port->Integer("InterfaceCount"));
    EXPECT_FALSE(port->IsAvailable("InterfaceSelector"));
    EXPECT_EQ(-1, port->IntegerMax("InterfaceSelector"));
    EXPECT_EQ("", port->String("InterfaceID"));
}

TEST_F(SystemFeatures, SelectorDrivesInterfaceID) {
    UpdateInterfaces();
    uint32_t listed = 0;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.TLGetNumInterfaces(system, &listed));
    EXPECT_EQ(2u, listed);
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
        const std::string full = InterfaceID(index);
        EXPECT_EQ(full.substr(full.find("::") + 2), port->String("InterfaceID"));
    }
    EXPECT_NE("", GenApiErrorOf([&] { port->SetInteger("InterfaceSelector", 2); }));
    EXPECT_EQ("Board0", port->String("InterfaceID"));
}

TEST_F(SystemFeatures, UpdateListCommandOnlyStoresItsValue) {
    port->Execute("InterfaceUpdateList");
    EXPECT_EQ(1, port->Integer("r_InterfaceUpdateList"));
    EXPECT_EQ(0, port->Integer("InterfaceCount"));
    EXPECT_EQ("", port->String("InterfaceID"));
}

TEST_F(SystemFeatures, PortRefusalsSurfaceAsAravisErrors) {
    GError* error = nullptr;
    EXPECT_FALSE(arv_device_write_register(port->Device(), 0x4, 7, &error));
    ASSERT_NE(nullptr, error);
    EXPECT_TRUE(g_error_matches(error, ARV_DEVICE_ERROR, ARV_DEVICE_ERROR_PROTOCOL_ERROR_ACCESS_DENIED));
    EXPECT_NE(nullptr, std::strstr(error->message, "Register 4 is not writable.")) << error->message;
    g_clear_error(&error);

    char block[8] = {};
    EXPECT_FALSE(arv_device_read_memory(port->Device(), 0xE0, sizeof block, block, &error));
    ASSERT_NE(nullptr, error);
    EXPECT_NE(nullptr, std::strstr(error->message, "is not available.")) << error->message;
    g_clear_error(&error);

    // GenApi itself refuses writes the document marks read-only.
    EXPECT_NE("", GenApiErrorOf([&] { port->SetInteger("InterfaceCount", 3); }));
    EXPECT_EQ(0, port->Integer("InterfaceCount"));
}

}  // namespace
}  // namespace quarvo_test
