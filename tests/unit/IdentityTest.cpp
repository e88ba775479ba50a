// Identity records of interfaces and devices: full identifiers, name matching and parsing.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>

#include "gentl/Exceptions.h"
#include "modules/DeviceInfo.h"
#include "modules/InterfaceInfo.h"

namespace {

using GenTL::CDeviceInfo;
using GenTL::CInterfaceInfo;

template <class Exception, class Body>
std::string MessageOf(Body body) {
    try {
        body();
    } catch (const Exception& e) {
        return e.what();
    }
    return "no exception";
}

TEST(InterfaceInfoTest, PrefixIsUpperCasedAndOnlyACopyIsTypedCustom) {
    const CInterfaceInfo info("ab", "Port1");
    EXPECT_EQ(info.ToString(), "AB::Port1");
    EXPECT_EQ(info.GetType(), "");
    const CInterfaceInfo copy(info);
    EXPECT_EQ(copy.GetType(), "Custom");
    EXPECT_EQ(copy.ToString(), "AB::Port1");
    EXPECT_EQ(copy.GetDisplayName(), "Interface : Port1");
}

TEST(InterfaceInfoTest, IsInterfaceAcceptsEveryFormOfTheName) {
    const CInterfaceInfo info("ab", "Port1");
    for (const char* text : {"AB::Port1", "ab::port1", "Port1", "AB::Port1::anything", "::Port1"}) {
        EXPECT_TRUE(info.IsInterface(text)) << text;
    }
    for (const char* text : {"XY::Port1", "AB::Port2", "Port", "AB::Port1x"}) {
        EXPECT_FALSE(info.IsInterface(text)) << text;
    }
    for (const char* text : {"", "AB::", "::", "::::Port1"}) {
        EXPECT_EQ(MessageOf<GenTL::invalid_parameter_exception>([&] { info.IsInterface(text); }), "Invalid Device Name")
            << text;
    }
}

TEST(InterfaceInfoTest, GetInfoAnswersThroughTheSizeProtocol) {
    CInterfaceInfo info("qb", "Board0");
    char buffer[32];
    auto answer = [&](int command, void* target, size_t size, INFO_DATATYPE* type = nullptr) {
        info.GetInfo(command, type, target, size);
        return size;
    };
    INFO_DATATYPE type = 0;
    EXPECT_EQ(answer(INTERFACE_INFO_ID, buffer, sizeof buffer, &type), sizeof "QB::Board0");
    EXPECT_STREQ(buffer, "QB::Board0");
    EXPECT_EQ(type, INFO_DATATYPE_STRING);
    answer(INTERFACE_INFO_TLTYPE, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "Custom");
    answer(INTERFACE_INFO_DISPLAYNAME, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "Interface : Board0");

    // A null buffer or a zero size only reports the size needed.
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(answer(INTERFACE_INFO_ID, buffer, 0), 11u);
    EXPECT_EQ(answer(INTERFACE_INFO_ID, nullptr, 5), 11u);
    EXPECT_EQ(MessageOf<GenTL::buffer_too_small_exception>([&] { answer(INTERFACE_INFO_ID, buffer, 5); }),
              "Prepared buffer is too small. Required: 11. Prepared: 5.");
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(MessageOf<GenTL::implementation_exception>([&] { answer(7, buffer, sizeof buffer); }),
              "Requested iID is not implemented; iID = 7.");
}

TEST(InterfaceInfoTest, FromStringParsesTheFixedLayout) {
    const CInterfaceInfo parsed(std::string("ab::01234Port1::Front camera::extra"));
    EXPECT_EQ(parsed.ToString(), "ab::Port1");
    EXPECT_EQ(parsed.GetDisplayName(), "Front camera");
    EXPECT_EQ(parsed.GetType(), "");
    const CInterfaceInfo bare(std::string("AB::01234Port1"));
    EXPECT_EQ(bare.GetID(), "Port1");
    EXPECT_EQ(bare.GetDisplayName(), "");

    auto parse = [](const char* text) { CInterfaceInfo info{std::string(text)}; };
    using Refused = GenTL::invalid_parameter_exception;
    EXPECT_EQ(MessageOf<Refused>([&] { parse("ABC::01234Port1::D"); }), "NI ID is missing Prefix entry");
    EXPECT_EQ(MessageOf<Refused>([&] { parse("AB::::Port1"); }), "NI ID is missing MAC entry");
    EXPECT_EQ(MessageOf<Refused>([&] { parse("AB::01234Port1::::x"); }), "NI ID is missing Description entry");
    EXPECT_THROW(parse("AB::0123"), std::out_of_range);
}

TEST(DeviceInfoTest, FixedTextsAndWhatACopyKeeps) {
    const CDeviceInfo info("Dev0", "Brondix", "QC-640M", "BX7Q0000");
    EXPECT_EQ(info.GetDisplayName(), "QC-640M (BX7Q0000)");
    EXPECT_EQ(info.m_str_version, "1.2.3");
    EXPECT_EQ(info.m_str_user_defined_name, "Center");
    const CDeviceInfo copy(info);
    EXPECT_EQ(copy.m_str_version, "");
    EXPECT_EQ(copy.GetID(), "Dev0");
    EXPECT_EQ(copy.GetDisplayName(), "QC-640M (BX7Q0000)");
    EXPECT_EQ(copy.m_str_user_defined_name, "Center");
    EXPECT_EQ(copy.m_str_vendor, "Brondix");
}

TEST(DeviceInfoTest, IsDeviceMatchesIdentifierSerialAndUserName) {
    const CDeviceInfo info("Dev0", "V", "M", "12345");
    for (const char* text : {"Dev0", "dev0", "X::DEV0", "::Dev0", "SN->12345", "USER_DEFINED_NAME->center",
                             "QB::Dev0::rest", "sn->12345"}) {
        EXPECT_TRUE(info.IsDevice(text)) << text;
    }
    for (const char* text : {"Dev1", "SN->1234", "USER_DEFINED_NAME->Left", "12345", "Center"}) {
        EXPECT_FALSE(info.IsDevice(text)) << text;
    }
    for (const char* text : {"", "X::", "::", "X::::Dev0"}) {
        EXPECT_EQ(MessageOf<GenTL::invalid_parameter_exception>([&] { info.IsDevice(text); }), "Invalid Device Name")
            << text;
    }
    // The serial number is compared upper-cased against the text as stored.
    EXPECT_FALSE(CDeviceInfo("Dev0", "V", "M", "abc9").IsDevice("SN->abc9"));
    EXPECT_TRUE(CDeviceInfo("Dev0", "V", "M", "ABC9").IsDevice("sn->abc9"));
}

}  // namespace
