// Fixture of the GenApi tests: a freshly loaded producer, initialised, with its System open, and
// helpers for the GenTL calls the tests compare GenApi answers with.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "genapi/GenApiPort.h"
#include "support/ProducerLib.h"

namespace quarvo_test {

class ProducerFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(GC_ERR_SUCCESS, lib.GCInitLib());
        ASSERT_EQ(GC_ERR_SUCCESS, lib.TLOpen(&system)) << lib.Error().text;
    }

    void TearDown() override {
        port.reset();
        lib.GCCloseLib();
    }

    // Builds the node map of a module port into `port`.
    void LoadPort(PORT_HANDLE handle) { port = std::make_unique<GenApiPort>(lib, handle); }

    void UpdateInterfaces() { ASSERT_EQ(GC_ERR_SUCCESS, lib.TLUpdateInterfaceList(system, nullptr, 1000)); }

    // Full identifier of a listed interface (after UpdateInterfaces).
    std::string InterfaceID(uint32_t index) {
        char id[512] = {};
        size_t size = sizeof id;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.TLGetInterfaceID(system, index, id, &size)) << lib.Error().text;
        return id;
    }

    std::string InterfaceText(const std::string& id, INTERFACE_INFO_CMD command) {
        char text[512] = {};
        size_t size = sizeof text;
        INFO_DATATYPE type = 0;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.TLGetInterfaceInfo(system, id.c_str(), command, &type, text, &size))
            << lib.Error().text;
        return text;
    }

    ProducerLib lib;
    TL_HANDLE system = nullptr;
    std::unique_ptr<GenApiPort> port;
};

// One decoded event record.
struct EventRecord {
    std::string id;
    INFO_DATATYPE value_type = INFO_DATATYPE_UNKNOWN;
    std::vector<char> value;

    std::string ValueText() const { return value.empty() ? std::string() : std::string(value.data()); }
};

// Takes the oldest record of `event` with EventGetData and decodes its ID and value with
// EventGetDataInfo (the value is left empty when the kind has none).
inline EventRecord TakeEvent(const ProducerLib& lib, EVENT_HANDLE event) {
    EventRecord record;
    std::vector<char> data(1024);
    size_t size = data.size();
    const GC_ERROR taken = lib.EventGetData(event, data.data(), &size, 1000);
    EXPECT_EQ(GC_ERR_SUCCESS, taken) << lib.Error().text;
    if (taken != GC_ERR_SUCCESS) {
        return record;
    }
    char id[256] = {};
    size_t id_size = sizeof id;
    INFO_DATATYPE type = 0;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.EventGetDataInfo(event, data.data(), size, EVENT_DATA_ID, &type, id, &id_size))
        << lib.Error().text;
    record.id = id;
    size_t value_size = 0;
    if (lib.EventGetDataInfo(event, data.data(), size, EVENT_DATA_VALUE, &record.value_type, nullptr,
                             &value_size) == GC_ERR_SUCCESS) {
        record.value.resize(value_size);
        EXPECT_EQ(GC_ERR_SUCCESS, lib.EventGetDataInfo(event, data.data(), size, EVENT_DATA_VALUE, &type,
                                                       record.value.data(), &value_size))
            << lib.Error().text;
    }
    return record;
}

// Number of records waiting in `event`.
inline size_t QueuedEvents(const ProducerLib& lib, EVENT_HANDLE event) {
    size_t count = 0;
    size_t size = sizeof count;
    INFO_DATATYPE type = 0;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.EventGetInfo(event, EVENT_NUM_IN_QUEUE, &type, &count, &size)) << lib.Error().text;
    return count;
}

}  // namespace quarvo_test
