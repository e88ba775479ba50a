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

using std::make_shared;

struct DataInfo {
    INFO_DATATYPE i_type = 0;
    std::string data;
};

// Answers a data information query on delivered bytes: first the size query, then the answer.
DataInfo QueryDataInfo(CEventObj& event, const std::string& in, EVENT_DATA_INFO_CMD iInfoCmd) {
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

std::string InvalidIdText(int iInfoCmd) {
    return MsgComposer("Specified iID is invalid: iID = 0x%p.", reinterpret_cast<void*>(static_cast<intptr_t>(iInfoCmd)));
}

void ExpectSizes(CEventObj& event, size_t iSizeMax, size_t iInfoDataSizeMax) {
    EXPECT_EQ(iSizeMax, SizeInfo(event, EVENT_SIZE_MAX));
    EXPECT_EQ(iInfoDataSizeMax, SizeInfo(event, EVENT_INFO_DATA_SIZE_MAX));
}

// Both sizes describe the front entry only (0 without one); EVENT_INFO_DATA_SIZE_MAX is the larger
// of the kind's ID and value sizes.
TEST(EventInfoTest, SizesOfTheFrontEntryOfEachKind) {
    const std::vector<uint8_t> payload(32, 7);
    ExpectSizes(*Queued<CEventError>(make_shared<EventErrorEntry>(-1010, "x")), 6, 4);
    ExpectSizes(*Queued<CEventError>(make_shared<EventErrorEntry>(-1001, "GC_ERROR: -1001 (x)")), 24, 20);
    ExpectSizes(*Queued<CEventFeatureChange>(make_shared<EventFeatureChangeEntry>("Gain", "1")), 7, 5);
    ExpectSizes(*Queued<CEventFeatureChange>(make_shared<EventFeatureChangeEntry>("X", "123456")), 9, 7);
    ExpectSizes(*Queued<CEventFeatureInvalidate>(Invalidate("DeviceIsAccessible")), 19, 19);
    ExpectSizes(*Queued<CEventGenApiEvent>(make_shared<EventGenApiEventEntry>(7, payload.data(), 4)), 9, 5);
    ExpectSizes(*Queued<CEventGenApiEvent>(make_shared<EventGenApiEventEntry>(2345, payload.data(), 32)), 37, 32);

    auto two = Queued<CEventFeatureChange>(make_shared<EventFeatureChangeEntry>("A", "1"));
    two->Push(make_shared<EventFeatureChangeEntry>("LongerName", "12345"));
    ExpectSizes(*two, 4, 2);
    EXPECT_EQ(2u, SizeInfo(*two, EVENT_NUM_IN_QUEUE));
    two->Flush();
    ExpectSizes(*two, 0, 0);
}

TEST(EventErrorTest, DeliversCodeLittleEndianThenMessage) {
    auto event = Queued<CEventError>(make_shared<EventErrorEntry>(-1010, "x"));
    const std::string data = Take(*event);
    EXPECT_EQ(std::string("\x0E\xFC\xFF\xFF" "x\0", 6), data);  // -1010 is 0xFFFFFC0E

    const DataInfo id = QueryDataInfo(*event, data, EVENT_DATA_ID);
    EXPECT_EQ(INFO_DATATYPE_INT32, id.i_type);
    ASSERT_EQ(4u, id.data.size());
    int32_t code = 0;
    std::memcpy(&code, id.data.data(), 4);
    EXPECT_EQ(-1010, code);
    const DataInfo value = QueryDataInfo(*event, data, EVENT_DATA_VALUE);
    EXPECT_EQ(INFO_DATATYPE_STRING, value.i_type);
    EXPECT_EQ(std::string("x\0", 2), value.data);
}

TEST(EventErrorTest, DataInfoRefusesShortInputAndUnknownCommands) {
    CEventError event;
    INFO_DATATYPE type = 0;
    size_t size = 0;
    const std::vector<uint8_t> short_data{0xEE, 0xFC, 0xFF};  // a heap block of exactly iInSize bytes
    ExpectGentlError([&] { event.GetDataInfo(short_data.data(), 3, EVENT_DATA_ID, &type, nullptr, &size); }, -1009,
                     "Specified iInSize is too small for the event data: iInSize = 3, required = 4.");
    ExpectGentlError([&] { event.GetDataInfo("\0\0\0\0x", 6, EVENT_DATA_NUMID, &type, nullptr, &size); }, -1009,
                     InvalidIdText(EVENT_DATA_NUMID));
}

TEST(EventFeatureChangeTest, DeliversNameAndValue) {
    auto event = Queued<CEventFeatureChange>(make_shared<EventFeatureChangeEntry>("Gain", "1"));
    const std::string data = Take(*event);
    EXPECT_EQ(std::string("Gain\0" "1\0", 7), data);
    const DataInfo name = QueryDataInfo(*event, data, EVENT_DATA_ID);
    EXPECT_EQ(INFO_DATATYPE_STRING, name.i_type);
    EXPECT_EQ(std::string("Gain\0", 5), name.data);
    EXPECT_EQ(std::string("1\0", 2), QueryDataInfo(*event, data, EVENT_DATA_VALUE).data);
}

TEST(EventFeatureChangeTest, OutputBufferIsClearedAlsoWhenTooSmall) {
    CEventFeatureChange event;
    const std::string data("Gain\0" "1\0", 7);
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
    auto event = Queued<CEventFeatureInvalidate>(Invalidate("DeviceIsAccessible"));
    const std::string data = Take(*event);
    EXPECT_EQ(std::string("DeviceIsAccessible\0", 19), data);
    const DataInfo name = QueryDataInfo(*event, data, EVENT_DATA_ID);
    EXPECT_EQ(INFO_DATATYPE_STRING, name.i_type);
    EXPECT_EQ(data, name.data);
    INFO_DATATYPE type = 0;
    size_t size = 0;
    ExpectGentlError([&] { event->GetDataInfo(data.data(), data.size(), EVENT_DATA_VALUE, &type, nullptr, &size); },
                     -1009, InvalidIdText(EVENT_DATA_VALUE));
}

TEST(EventGenApiEventTest, DeliversPaddedIdThenDataCopiedAtPush) {
    uint8_t payload[4] = {1, 2, 3, 4};
    auto event = Queued<CEventGenApiEvent>(make_shared<EventGenApiEventEntry>(7, payload, sizeof payload));
    payload[0] = 99;
    const std::string data = Take(*event);
    EXPECT_EQ(std::string("0007\0\x01\x02\x03\x04", 9), data);
    EXPECT_EQ(std::string("0007\0", 5), QueryDataInfo(*event, data, EVENT_DATA_ID).data);
    const DataInfo value = QueryDataInfo(*event, data, EVENT_DATA_VALUE);
    EXPECT_EQ(INFO_DATATYPE_BUFFER, value.i_type);
    EXPECT_EQ(std::string("\x01\x02\x03\x04", 4), value.data);
}

TEST(EventGenApiEventTest, IdTextPadding) {
    const std::vector<std::pair<int64_t, std::string>> cases{
        {0, "0000"}, {42, "0042"}, {1234, "1234"}, {12345, "12345"}, {-5, "-5"}, {INT64_MIN, "-9223372036854775808"}};
    for (const auto& [id, text] : cases) {
        EXPECT_EQ(text, EventGenApiEventEntry(id, nullptr, 0).EventIdText()) << id;
    }
}

// The unterminated ID ends exactly at the end of the heap block (see the feature change test).
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
