// Delivered layouts, information answers and data parsing of the four queued event kinds.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "EventTestHelpers.h"
#include "events/EventError.h"
#include "events/EventFeatureChange.h"
#include "events/EventFeatureInvalidate.h"
#include "events/EventGenApiEvent.h"
#include "gentl/GenTL.h"
#include "gentl/MsgComposer.h"

namespace GenTL::test {
namespace {

std::vector<uint8_t> Deliver(CEventObj& event) {
    std::vector<uint8_t> buffer(256);
    size_t size = buffer.size();
    EXPECT_TRUE(event.GetData(buffer.data(), &size, 0));
    buffer.resize(size);
    return buffer;
}

size_t SizeInfo(CEventObj& event, EVENT_INFO_CMD iInfoCmd) {
    size_t value = 0;
    size_t size = sizeof value;
    INFO_DATATYPE type = 0;
    event.GetInfo(iInfoCmd, &type, &value, &size);
    EXPECT_EQ(INFO_DATATYPE_SIZET, type);
    EXPECT_EQ(8u, size);
    return value;
}

struct DataInfo {
    INFO_DATATYPE i_type = 0;
    std::vector<uint8_t> data;
};

DataInfo QueryDataInfo(CEventObj& event, const std::vector<uint8_t>& in, EVENT_DATA_INFO_CMD iInfoCmd) {
    DataInfo info;
    size_t size = 0;
    event.GetDataInfo(in.data(), in.size(), iInfoCmd, &info.i_type, nullptr, &size);
    info.data.resize(size);
    INFO_DATATYPE type = 0;
    event.GetDataInfo(in.data(), in.size(), iInfoCmd, &type, info.data.data(), &size);
    EXPECT_EQ(info.i_type, type) << "size query and answer report different types";
    EXPECT_EQ(info.data.size(), size);
    return info;
}

std::vector<uint8_t> Bytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

std::string InvalidIdText(int iInfoCmd) {
    return MsgComposer("Specified iID is invalid: iID = 0x%p.",
                       reinterpret_cast<void*>(static_cast<intptr_t>(iInfoCmd)));
}

TEST(EventErrorTest, DeliversCodeLittleEndianThenMessage) {
    CEventError event;
    event.EnableEvent();
    event.Push(std::make_shared<EventErrorEntry>(-1010, "x"));
    EXPECT_EQ(6u, SizeInfo(event, EVENT_SIZE_MAX));
    EXPECT_EQ(4u, SizeInfo(event, EVENT_INFO_DATA_SIZE_MAX));
    const std::vector<uint8_t> data = Deliver(event);
    // -1010 is 0xFFFFFC0E.
    EXPECT_EQ((std::vector<uint8_t>{0x0E, 0xFC, 0xFF, 0xFF, 'x', 0}), data);

    const DataInfo id = QueryDataInfo(event, data, EVENT_DATA_ID);
    EXPECT_EQ(INFO_DATATYPE_INT32, id.i_type);
    ASSERT_EQ(4u, id.data.size());
    int32_t code = 0;
    std::memcpy(&code, id.data.data(), 4);
    EXPECT_EQ(-1010, code);

    const DataInfo value = QueryDataInfo(event, data, EVENT_DATA_VALUE);
    EXPECT_EQ(INFO_DATATYPE_STRING, value.i_type);
    EXPECT_EQ((std::vector<uint8_t>{'x', 0}), value.data);
}

TEST(EventErrorTest, InfoDataSizeMaxFollowsLongMessages) {
    CEventError event;
    event.EnableEvent();
    event.Push(std::make_shared<EventErrorEntry>(-1001, "GC_ERROR: -1001 (x)"));
    EXPECT_EQ(20u, SizeInfo(event, EVENT_INFO_DATA_SIZE_MAX));
    EXPECT_EQ(24u, SizeInfo(event, EVENT_SIZE_MAX));
}

TEST(EventErrorTest, DataInfoRefusesShortInputAndUnknownCommands) {
    CEventError event;
    const std::vector<uint8_t> short_data{0xEE, 0xFC, 0xFF};
    INFO_DATATYPE type = 0;
    size_t size = 0;
    ExpectGentlError([&] { event.GetDataInfo(short_data.data(), 3, EVENT_DATA_ID, &type, nullptr, &size); },
                     -1009, "Specified iInSize is too small for the event data: iInSize = 3, required = 4.");
    const std::vector<uint8_t> data{0, 0, 0, 0, 'x', 0};
    ExpectGentlError([&] { event.GetDataInfo(data.data(), 6, EVENT_DATA_NUMID, &type, nullptr, &size); }, -1009,
                     InvalidIdText(EVENT_DATA_NUMID));
}

TEST(EventFeatureChangeTest, DeliversNameAndValue) {
    CEventFeatureChange event;
    event.EnableEvent();
    event.Push(std::make_shared<EventFeatureChangeEntry>("Gain", "1"));
    EXPECT_EQ(7u, SizeInfo(event, EVENT_SIZE_MAX));
    EXPECT_EQ(5u, SizeInfo(event, EVENT_INFO_DATA_SIZE_MAX));
    const std::vector<uint8_t> data = Deliver(event);
    EXPECT_EQ(Bytes(std::string("Gain\0" "1\0", 7)), data);

    const DataInfo name = QueryDataInfo(event, data, EVENT_DATA_ID);
    EXPECT_EQ(INFO_DATATYPE_STRING, name.i_type);
    EXPECT_EQ(Bytes(std::string("Gain\0", 5)), name.data);
    EXPECT_EQ(Bytes(std::string("1\0", 2)), QueryDataInfo(event, data, EVENT_DATA_VALUE).data);
}

TEST(EventFeatureChangeTest, InfoDataSizeMaxTakesTheLongerText) {
    CEventFeatureChange event;
    event.EnableEvent();
    event.Push(std::make_shared<EventFeatureChangeEntry>("X", "123456"));
    EXPECT_EQ(7u, SizeInfo(event, EVENT_INFO_DATA_SIZE_MAX));
}

TEST(EventFeatureChangeTest, OutputBufferIsClearedAlsoWhenTooSmall) {
    CEventFeatureChange event;
    const std::vector<uint8_t> data = Bytes(std::string("Gain\0" "1\0", 7));
    std::vector<uint8_t> out(16, 0xAA);
    size_t size = out.size();
    INFO_DATATYPE type = 0;
    event.GetDataInfo(data.data(), data.size(), EVENT_DATA_VALUE, &type, out.data(), &size);
    EXPECT_EQ(2u, size);
    std::vector<uint8_t> expected(16, 0);
    expected[0] = '1';
    EXPECT_EQ(expected, out);

    std::vector<uint8_t> small(3, 0xAA);
    size = small.size();
    ExpectGentlError([&] { event.GetDataInfo(data.data(), data.size(), EVENT_DATA_ID, &type, small.data(), &size); },
                     -1016, "Prepared buffer is too small. Required: 5. Prepared: 3.");
    EXPECT_EQ(std::vector<uint8_t>(3, 0), small);
}

// The consumer's bytes are read only within iInSize: the heap copies below end exactly there,
// so a scan past the end is caught by the address sanitizer build.
TEST(EventFeatureChangeTest, MissingTerminatorsAreRefusedWithoutOverread) {
    CEventFeatureChange event;
    INFO_DATATYPE type = 0;
    size_t size = 0;
    const std::string no_zero_text = "Specified pInBuffer holds no terminated text within iInSize: iInSize = 4.";
    const auto unterminated = std::make_unique<uint8_t[]>(4);
    std::memcpy(unterminated.get(), "Gain", 4);
    ExpectGentlError([&] { event.GetDataInfo(unterminated.get(), 4, EVENT_DATA_ID, &type, nullptr, &size); }, -1009,
                     no_zero_text);
    const auto no_value = std::make_unique<uint8_t[]>(4);
    std::memcpy(no_value.get(), "Ga\0x", 4);
    ExpectGentlError([&] { event.GetDataInfo(no_value.get(), 4, EVENT_DATA_VALUE, &type, nullptr, &size); }, -1009,
                     no_zero_text);
    ExpectGentlError([&] { event.GetDataInfo(no_value.get(), 4, EVENT_DATA_NUMID, &type, nullptr, &size); }, -1009,
                     InvalidIdText(EVENT_DATA_NUMID));
}

TEST(EventFeatureInvalidateTest, DeliversNameAndAnswersOnlyTheId) {
    CEventFeatureInvalidate event;
    event.EnableEvent();
    event.Push(Invalidate("DeviceIsAccessible"));
    EXPECT_EQ(19u, SizeInfo(event, EVENT_SIZE_MAX));
    EXPECT_EQ(19u, SizeInfo(event, EVENT_INFO_DATA_SIZE_MAX));
    const std::vector<uint8_t> data = Deliver(event);
    EXPECT_EQ(Bytes(std::string("DeviceIsAccessible\0", 19)), data);

    const DataInfo name = QueryDataInfo(event, data, EVENT_DATA_ID);
    EXPECT_EQ(INFO_DATATYPE_STRING, name.i_type);
    EXPECT_EQ(data, name.data);
    INFO_DATATYPE type = 0;
    size_t size = 0;
    ExpectGentlError([&] { event.GetDataInfo(data.data(), data.size(), EVENT_DATA_VALUE, &type, nullptr, &size); },
                     -1009, InvalidIdText(EVENT_DATA_VALUE));
}

TEST(EventGenApiEventTest, DeliversPaddedIdThenDataCopiedAtPush) {
    CEventGenApiEvent event;
    event.EnableEvent();
    uint8_t payload[4] = {1, 2, 3, 4};
    event.Push(std::make_shared<EventGenApiEventEntry>(7, payload, sizeof payload));
    payload[0] = 99;
    EXPECT_EQ(9u, SizeInfo(event, EVENT_SIZE_MAX));
    EXPECT_EQ(5u, SizeInfo(event, EVENT_INFO_DATA_SIZE_MAX));
    const std::vector<uint8_t> data = Deliver(event);
    EXPECT_EQ((std::vector<uint8_t>{'0', '0', '0', '7', 0, 1, 2, 3, 4}), data);

    EXPECT_EQ(Bytes(std::string("0007\0", 5)), QueryDataInfo(event, data, EVENT_DATA_ID).data);
    const DataInfo value = QueryDataInfo(event, data, EVENT_DATA_VALUE);
    EXPECT_EQ(INFO_DATATYPE_BUFFER, value.i_type);
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 4}), value.data);
}

TEST(EventGenApiEventTest, IdTextPadding) {
    const std::vector<std::pair<int64_t, std::string>> cases{
        {0, "0000"}, {42, "0042"}, {1234, "1234"}, {12345, "12345"}, {-5, "-5"},
        {INT64_MIN, "-9223372036854775808"}};
    for (const auto& [id, text] : cases) {
        EXPECT_EQ(text, EventGenApiEventEntry(id, nullptr, 0).EventIdText()) << id;
    }
}

TEST(EventGenApiEventTest, InfoDataSizeMaxTakesLargeData) {
    CEventGenApiEvent event;
    event.EnableEvent();
    const std::vector<uint8_t> payload(32, 7);
    event.Push(std::make_shared<EventGenApiEventEntry>(2345, payload.data(), payload.size()));
    EXPECT_EQ(32u, SizeInfo(event, EVENT_INFO_DATA_SIZE_MAX));
    EXPECT_EQ(37u, SizeInfo(event, EVENT_SIZE_MAX));
}

TEST(EventGenApiEventTest, DataInfoClearsOutputAndRefusesUnterminatedId) {
    CEventGenApiEvent event;
    INFO_DATATYPE type = 0;
    std::vector<uint8_t> out(8, 0xAA);
    size_t size = out.size();
    const auto unterminated = std::make_unique<uint8_t[]>(4);
    std::memcpy(unterminated.get(), "1234", 4);
    ExpectGentlError([&] { event.GetDataInfo(unterminated.get(), 4, EVENT_DATA_ID, &type, out.data(), &size); },
                     -1009, "Specified pInBuffer holds no terminated text within iInSize: iInSize = 4.");
    EXPECT_EQ(std::vector<uint8_t>(8, 0), out);
}

TEST(EventEntryTest, ToBufferRefusesNullAndShortBuffers) {
    const EventErrorEntry error(-1001, "abc");
    size_t size = 64;
    ExpectGentlError([&] { error.ToBuffer(nullptr, &size); }, -1013, "Invalid buffer");
    std::vector<uint8_t> buffer(8);
    size = 7;
    ExpectGentlError([&] { error.ToBuffer(buffer.data(), &size); }, -1009, "Invalid buffer Size");
    EXPECT_EQ(7u, size);

    const EventGenApiEventEntry genapi(1234, "ab", 2);
    size = 6;
    ExpectGentlError([&] { genapi.ToBuffer(buffer.data(), &size); }, -1009, "Invalid buffer optiona_data_size");
}

TEST(EventInfoTest, EventTypeIsAFourByteZero) {
    CEventFeatureChange event;
    event.EnableEvent();
    uint32_t value = 0xFFFFFFFF;
    size_t size = 8;
    INFO_DATATYPE type = -1;
    event.GetInfo(EVENT_EVENT_TYPE, &type, &value, &size);
    EXPECT_EQ(0u, value);
    EXPECT_EQ(4u, size);
    EXPECT_EQ(INFO_DATATYPE_SIZET, type);

    type = -1;
    size = 0;
    event.GetInfo(EVENT_EVENT_TYPE, &type, nullptr, &size);
    EXPECT_EQ(4u, size);
    EXPECT_EQ(-1, type) << "a size query does not report the type";

    size = 3;
    ExpectGentlError([&] { event.GetInfo(EVENT_EVENT_TYPE, &type, &value, &size); }, -1016,
                     "Prepared buffer is too small. Required: 4. Prepared: 3.");
}

TEST(EventInfoTest, SizesLookOnlyAtTheFrontEntry) {
    CEventFeatureChange event;
    event.EnableEvent();
    EXPECT_EQ(0u, SizeInfo(event, EVENT_SIZE_MAX));
    EXPECT_EQ(0u, SizeInfo(event, EVENT_INFO_DATA_SIZE_MAX));
    event.Push(std::make_shared<EventFeatureChangeEntry>("A", "1"));
    event.Push(std::make_shared<EventFeatureChangeEntry>("LongerName", "12345"));
    EXPECT_EQ(4u, SizeInfo(event, EVENT_SIZE_MAX));
    EXPECT_EQ(2u, SizeInfo(event, EVENT_INFO_DATA_SIZE_MAX));
    EXPECT_EQ(2u, SizeInfo(event, EVENT_NUM_IN_QUEUE));
}

TEST(EventInfoTest, RefusesUnregisteredEventsAndUnsupportedCommands) {
    CEventGenApiEvent event;
    size_t value = 0;
    size_t size = sizeof value;
    INFO_DATATYPE type = 0;
    ExpectGentlError([&] { event.GetInfo(EVENT_SIZE_MAX, &type, &value, &size); }, -1006,
                     "Event ID 3 has not been registered.");
    event.EnableEvent();
    ExpectGentlError([&] { event.GetInfo(EVENT_NUM_FIRED, &type, &value, &size); }, -1003,
                     "Requested iID is not implemented; iID = 2.");
    ExpectGentlError([&] { event.GetInfo(EVENT_INFO_CUSTOM_ID, &type, &value, &size); }, -1003,
                     "Requested iID is not implemented; iID = 1000.");
}

}  // namespace
}  // namespace GenTL::test
