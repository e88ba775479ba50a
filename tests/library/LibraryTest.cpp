// Library state cycle and producer information, driven through the exported functions.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/ProducerLib.h"

using quarvo_test::ProducerLib;

namespace {

class Library : public ::testing::Test {
protected:
    ProducerLib lib;

    std::string InfoText(TL_INFO_CMD cmd) {
        char text[4096] = {};
        size_t size = sizeof text;
        INFO_DATATYPE type = -1;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.GCGetInfo(cmd, &type, text, &size));
        EXPECT_EQ(INFO_DATATYPE_STRING, type);
        EXPECT_EQ(std::strlen(text) + 1, size);
        return text;
    }
};

TEST_F(Library, InitAndCloseCycleReportsStateErrors) {
    EXPECT_EQ(GC_ERR_SUCCESS, lib.GCInitLib());
    EXPECT_EQ(GC_ERR_RESOURCE_IN_USE, lib.GCInitLib());
    EXPECT_EQ(GC_ERR_RESOURCE_IN_USE, lib.Error().code);
    EXPECT_EQ("GC_ERR_RESOURCE_IN_USE", lib.Error().text);
    EXPECT_EQ(GC_ERR_SUCCESS, lib.GCCloseLib());
    EXPECT_EQ(GC_ERR_NOT_INITIALIZED, lib.GCCloseLib());
    // The cycle can start again.
    EXPECT_EQ(GC_ERR_SUCCESS, lib.GCInitLib());
    EXPECT_EQ(0, lib.Error().code);
    EXPECT_EQ("GC_ERR_SUCCESS", lib.Error().text);
    EXPECT_EQ(GC_ERR_SUCCESS, lib.GCCloseLib());
}

TEST_F(Library, CallsBeforeInitialisationAreRefused) {
    INFO_DATATYPE type = 0;
    size_t size = 0;
    EXPECT_EQ(GC_ERR_NOT_INITIALIZED, lib.GCGetInfo(TL_INFO_VENDOR, &type, nullptr, &size));
    GC_ERROR code = 0;
    EXPECT_EQ(GC_ERR_NOT_INITIALIZED, lib.GCGetLastError(&code, nullptr, &size));
    TL_HANDLE system = nullptr;
    EXPECT_EQ(GC_ERR_NOT_INITIALIZED, lib.TLOpen(&system));
    lib.GCInitLib();
    EXPECT_EQ(GC_ERR_SUCCESS, lib.GCGetInfo(TL_INFO_VENDOR, &type, nullptr, &size));
}

TEST_F(Library, ProducerInformationAnswersEveryCommand) {
    ASSERT_EQ(GC_ERR_SUCCESS, lib.GCInitLib());
    EXPECT_EQ("Quarvo.cti", InfoText(TL_INFO_ID));
    EXPECT_EQ("Quarvo.cti", InfoText(TL_INFO_NAME));
    EXPECT_EQ("EMVA_P", InfoText(TL_INFO_VENDOR));
    EXPECT_EQ("Quarvo", InfoText(TL_INFO_MODEL));
    EXPECT_EQ("Not available", InfoText(TL_INFO_VERSION));
    EXPECT_EQ("Custom", InfoText(TL_INFO_TLTYPE));
    EXPECT_EQ("KV TL Simulator", InfoText(TL_INFO_DISPLAYNAME));
    EXPECT_EQ(lib.Path(), InfoText(TL_INFO_PATHNAME));

    struct Numeric {
        TL_INFO_CMD cmd;
        INFO_DATATYPE type;
        uint32_t value;
    };
    for (const Numeric& expected : {Numeric{TL_INFO_CHAR_ENCODING, INFO_DATATYPE_INT32, 0},
                                    Numeric{TL_INFO_GENTL_VER_MAJOR, INFO_DATATYPE_UINT32, 1},
                                    Numeric{TL_INFO_GENTL_VER_MINOR, INFO_DATATYPE_UINT32, 5}}) {
        uint32_t value = 99;
        size_t size = 8;
        INFO_DATATYPE type = -1;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.GCGetInfo(expected.cmd, &type, &value, &size)) << expected.cmd;
        EXPECT_EQ(expected.type, type);
        EXPECT_EQ(4u, size);
        EXPECT_EQ(expected.value, value);
    }
}

TEST_F(Library, SizeQueryReportsSizeAndWritesNothing) {
    ASSERT_EQ(GC_ERR_SUCCESS, lib.GCInitLib());
    size_t size = 0;
    INFO_DATATYPE type = -1;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.GCGetInfo(TL_INFO_GENTL_VER_MINOR, &type, nullptr, &size));
    EXPECT_EQ(4u, size);
    size = 1234;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.GCGetInfo(TL_INFO_VENDOR, &type, nullptr, &size));
    EXPECT_EQ(7u, size);
    EXPECT_EQ(INFO_DATATYPE_STRING, type);
}

TEST_F(Library, TooSmallBufferFailsAfterTheTypeIsWritten) {
    ASSERT_EQ(GC_ERR_SUCCESS, lib.GCInitLib());
    char text[6];
    std::memset(text, 'x', sizeof text);
    size_t size = sizeof text;
    INFO_DATATYPE type = -1;
    EXPECT_EQ(GC_ERR_BUFFER_TOO_SMALL, lib.GCGetInfo(TL_INFO_VENDOR, &type, text, &size));
    EXPECT_EQ(INFO_DATATYPE_STRING, type);
    EXPECT_EQ(6u, size);
    EXPECT_EQ('x', text[0]);
    EXPECT_EQ("Prepared buffer is too small. Required: 7. Prepared: 6.", lib.Error().text);

    uint8_t small[3] = {};
    size = sizeof small;
    EXPECT_EQ(GC_ERR_BUFFER_TOO_SMALL, lib.GCGetInfo(TL_INFO_CHAR_ENCODING, &type, small, &size));
    EXPECT_EQ(INFO_DATATYPE_INT32, type);
    EXPECT_EQ("Prepared buffer is too small. Required: 4. Prepared: 3.", lib.Error().text);
}

TEST_F(Library, ExactlySizedBufferReceivesTheWholeText) {
    ASSERT_EQ(GC_ERR_SUCCESS, lib.GCInitLib());
    char text[7];
    size_t size = sizeof text;
    INFO_DATATYPE type = -1;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.GCGetInfo(TL_INFO_VENDOR, &type, text, &size));
    EXPECT_STREQ("EMVA_P", text);
}

TEST_F(Library, InvalidInformationArgumentsAreReportedInOrder) {
    ASSERT_EQ(GC_ERR_SUCCESS, lib.GCInitLib());
    INFO_DATATYPE type = 0;
    char text[16];
    size_t size = 0;
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.GCGetInfo(TL_INFO_VENDOR, nullptr, text, nullptr));
    EXPECT_EQ("Specified piSize is invalid: piSize = 0x0.", lib.Error().text);
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.GCGetInfo(TL_INFO_VENDOR, nullptr, text, &size));
    EXPECT_EQ(0u, lib.Error().text.find("Specified piSize is invalid even though pBuffer is present: piSize = 0x"));
    size = sizeof text;
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.GCGetInfo(TL_INFO_VENDOR, nullptr, text, &size));
    EXPECT_EQ("Specified piType is invalid: piType = 0x0.", lib.Error().text);
    EXPECT_EQ(GC_ERR_NOT_IMPLEMENTED, lib.GCGetInfo(11, &type, text, &size));
    EXPECT_EQ("Requested iInfoCmd is not implemented; iInfoCmd = 11.", lib.Error().text);
    EXPECT_EQ(GC_ERR_NOT_IMPLEMENTED, lib.GCGetInfo(-1, &type, text, &size));
    EXPECT_EQ(GC_ERR_NOT_IMPLEMENTED, lib.GCGetInfo(TL_INFO_CUSTOM_ID, &type, text, &size));
}

}  // namespace
