#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "gentl/Exceptions.h"
#include "gentl/InfoWriters.h"
#include "gentl/Platform.h"

using namespace GenTL;

namespace {

TEST(InfoWriters, StringSizeQueryLeavesTheBufferAlone) {
    INFO_DATATYPE type = 0;
    size_t size = 0;
    SetReturnParam(nullptr, &size, &type, std::string("fourteen chars"));
    EXPECT_EQ(15u, size);
    EXPECT_EQ(INFO_DATATYPE_STRING, type);
}

TEST(InfoWriters, TooSmallBufferRaisesAfterWritingTheType) {
    INFO_DATATYPE type = 0;
    uint8_t buffer[3] = {7, 7, 7};
    size_t size = sizeof buffer;
    try {
        SetReturnParam(buffer, &size, &type, 12);
        FAIL() << "expected a buffer-too-small failure";
    } catch (const buffer_too_small_exception& e) {
        EXPECT_STREQ("Prepared buffer is too small. Required: 4. Prepared: 3.", e.what());
        EXPECT_EQ(-1016, e.GetErrorCode());
    }
    EXPECT_EQ(INFO_DATATYPE_INT32, type);
    EXPECT_EQ(3u, size);
    EXPECT_EQ(7, buffer[0]);
}

TEST(InfoWriters, LargerBufferReceivesExactlyTheValue) {
    uint8_t buffer[8];
    std::memset(buffer, 0xAA, sizeof buffer);
    size_t size = sizeof buffer;
    INFO_DATATYPE type = 0;
    SetReturnParam(buffer, &size, &type, 0x01020304u);
    EXPECT_EQ(4u, size);
    EXPECT_EQ(INFO_DATATYPE_UINT32, type);
    EXPECT_EQ(0x04, buffer[0]);
    EXPECT_EQ(0xAA, buffer[4]);

    size = sizeof buffer;
    SetReturnParam(buffer, &size, nullptr, 0x0102030405060708ul);
    EXPECT_EQ(8u, size);
    EXPECT_EQ(0x08, buffer[0]);
}

TEST(InfoWriters, MissingSizeIsRefusedAfterTheType) {
    INFO_DATATYPE type = 0;
    EXPECT_THROW(SetReturnParam(nullptr, nullptr, &type, std::string("x")), invalid_parameter_exception);
    EXPECT_EQ(INFO_DATATYPE_STRING, type);
}

TEST(InfoWriters, ExactlyFittingStringSucceeds) {
    char buffer[4];
    size_t size = sizeof buffer;
    SetReturnParam(buffer, &size, nullptr, std::string("abc"));
    EXPECT_STREQ("abc", buffer);
}

TEST(PlatformHelpers, TimeStampCountsNanosecondsSinceTheEpoch) {
    const uint64_t first = GetTimeStamp();
    const uint64_t second = GetTimeStamp();
    EXPECT_GT(first, 1600000000ULL * 1000000000ULL);  // after September 2020
    EXPECT_GE(second, first);
    EXPECT_EQ("AB::PORT1", GenTL::toupper("ab::Port1"));
    EXPECT_EQ("/", GetDirectorySeparator());
}

}  // namespace
