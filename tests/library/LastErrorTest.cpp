// The process-wide last-error record as a consumer reads it with GCGetLastError.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/OpenStream.h"
#include "support/ProducerLib.h"

using quarvo_test::ProducerLib;

namespace {

class LastError : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(GC_ERR_SUCCESS, lib.GCInitLib()); }
    void TearDown() override { lib.GCCloseLib(); }

    // Leaves a known failure as the last error.
    void RecordNotImplemented() {
        INFO_DATATYPE type = 0;
        size_t size = 0;
        ASSERT_EQ(GC_ERR_NOT_IMPLEMENTED, lib.GCGetInfo(42, &type, nullptr, &size));
    }

    ProducerLib lib;
    const std::string notImplemented = "Requested iInfoCmd is not implemented; iInfoCmd = 42.";
};

TEST_F(LastError, SuccessIsRecordedAfterEverySuccessfulCall) {
    RecordNotImplemented();
    INFO_DATATYPE type = 0;
    size_t size = 0;
    ASSERT_EQ(GC_ERR_SUCCESS, lib.GCGetInfo(TL_INFO_VENDOR, &type, nullptr, &size));
    GC_ERROR code = -1;
    char text[64] = {};
    size = sizeof text;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.GCGetLastError(&code, text, &size));
    EXPECT_EQ(GC_ERR_SUCCESS, code);
    EXPECT_STREQ("GC_ERR_SUCCESS", text);
    EXPECT_EQ(15u, size);
}

TEST_F(LastError, SizeQueryReportsLengthAndZeroCode) {
    RecordNotImplemented();
    GC_ERROR code = -1;
    size_t size = 0;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.GCGetLastError(&code, nullptr, &size));
    EXPECT_EQ(notImplemented.size() + 1, size);
    EXPECT_EQ(0, code);
    char text[8] = "unused";
    size = 0;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.GCGetLastError(&code, text, &size));
    EXPECT_EQ(notImplemented.size() + 1, size);
    EXPECT_STREQ("unused", text);
}

TEST_F(LastError, OneByteTooSmallFailsAndWritesNothing) {
    RecordNotImplemented();
    std::vector<char> text(notImplemented.size(), 'x');
    size_t size = text.size();
    GC_ERROR code = -1;
    EXPECT_EQ(GC_ERR_BUFFER_TOO_SMALL, lib.GCGetLastError(&code, text.data(), &size));
    EXPECT_EQ(notImplemented.size(), size);
    EXPECT_EQ(0, code);
    EXPECT_EQ('x', text[0]);
    // Reading the record does not change it.
    EXPECT_EQ(GC_ERR_NOT_IMPLEMENTED, lib.Error().code);
}

TEST_F(LastError, ExactFitDeliversTextAndCode) {
    RecordNotImplemented();
    std::vector<char> text(notImplemented.size() + 1, 'x');
    size_t size = text.size();
    GC_ERROR code = 0;
    EXPECT_EQ(GC_ERR_SUCCESS, lib.GCGetLastError(&code, text.data(), &size));
    EXPECT_EQ(GC_ERR_NOT_IMPLEMENTED, code);
    EXPECT_EQ(notImplemented, text.data());
    EXPECT_EQ(text.size(), size);
}

TEST_F(LastError, NullArgumentsAreRefused) {
    size_t size = 16;
    char text[16];
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.GCGetLastError(nullptr, text, &size));
    EXPECT_EQ("Specified piErrorCode is invalid: piErrorCode = 0x0.", lib.Error().text);
    GC_ERROR code = 0;
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.GCGetLastError(&code, text, nullptr));
}

TEST_F(LastError, ThreadsRecordingAndReadingNeverTearTheRecord) {
    // Several threads overwrite the record while others read it: every text read back must be
    // one of the texts written, with its own code.
    std::atomic<bool> torn{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 500; ++i) {
                INFO_DATATYPE type = 0;
                size_t size = 0;
                if (t % 2 == 0) {
                    lib.GCGetInfo(t == 0 ? 42 : TL_INFO_VENDOR, &type, nullptr, &size);
                    continue;
                }
                GC_ERROR code = 0;
                char text[128] = {};
                size = sizeof text;
                if (lib.GCGetLastError(&code, text, &size) != GC_ERR_SUCCESS) {
                    torn = true;
                }
                const bool success = code == 0 && std::strcmp(text, "GC_ERR_SUCCESS") == 0;
                const bool failure = code == GC_ERR_NOT_IMPLEMENTED && notImplemented == text;
                if (!success && !failure) {
                    torn = true;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_FALSE(torn);
}

// "0x" and the lower-case hexadecimal digits of an address, worked out apart from the producer.
std::string Hex(const void* pointer) {
    std::ostringstream text;
    text << "0x" << std::hex << reinterpret_cast<uintptr_t>(pointer);
    return text.str();
}

// What a consumer reads back after refused calls, with a camera open down to its data stream.
class ReadBack : public quarvo_test::OpenStream {
protected:
    void ExpectRecorded(GC_ERROR code, const std::string& text) {
        const quarvo_test::LastError error = lib.Error();
        EXPECT_EQ(code, error.code) << error.text;
        EXPECT_EQ(text, error.text);
    }

    int foreign[16] = {};
};

TEST_F(ReadBack, EveryRefusedCallLeavesItsCodeAndText) {
    // An interface that is open already, under any form of its ID: the refusal still hands out the
    // open handle, and the record names the ID the consumer passed.
    for (const std::string& id : {InterfaceID(0), std::string("board0")}) {
        ASSERT_EQ(GC_ERR_SUCCESS, lib.Error().code);
        IF_HANDLE again = nullptr;
        EXPECT_EQ(GC_ERR_RESOURCE_IN_USE, lib.TLOpenInterface(system, id.c_str(), &again));
        EXPECT_EQ(iface, again);
        ExpectRecorded(GC_ERR_RESOURCE_IN_USE, "Specified sIfaceID is in use: sIfaceID = " + id + ".");
        ASSERT_EQ(GC_ERR_SUCCESS, lib.IFGetParentTL(iface, &again));
    }
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.IFGetParentTL(iface, nullptr));
    ExpectRecorded(GC_ERR_INVALID_PARAMETER, "Specified phSystem is invalid: phSystem = 0x0.");
    TL_HANDLE parent = nullptr;
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.IFGetParentTL(foreign, &parent));
    ExpectRecorded(GC_ERR_INVALID_HANDLE, "The specified interface not found: hIface = " + Hex(foreign) + ".");
    uint32_t parts = 0;
    EXPECT_EQ(GC_ERR_NOT_IMPLEMENTED, lib.DSGetNumBufferParts(stream, nullptr, &parts));
    ExpectRecorded(GC_ERR_NOT_IMPLEMENTED, "DSGetNumBufferParts is not implemented.");
    INFO_DATATYPE type = 0;
    size_t size = sizeof parts;
    EXPECT_EQ(GC_ERR_NOT_IMPLEMENTED, lib.DSGetBufferPartInfo(stream, nullptr, 0, 0, &type, &parts, &size));
    ExpectRecorded(GC_ERR_NOT_IMPLEMENTED, "DSGetBufferPartInfo is not implemented.");
}

TEST_F(ReadBack, PointersPrintAsZeroXAndTheirDigitsOnce) {
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.EventFlush(foreign));
    ExpectRecorded(GC_ERR_INVALID_HANDLE, "Specified hEvent is invalid: hEvent = " + Hex(foreign) + ".");
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.EventFlush(nullptr));
    ExpectRecorded(GC_ERR_INVALID_HANDLE, "Specified hEvent is invalid: hEvent = 0x0.");
    char text[16];
    INFO_DATATYPE type = 0;
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.DSGetInfo(stream, STREAM_INFO_ID, &type, text, nullptr));
    ExpectRecorded(GC_ERR_INVALID_PARAMETER, "Specified piSize is invalid: piSize = 0x0.");
    size_t size = 0;
    EXPECT_EQ(GC_ERR_INVALID_PARAMETER, lib.DSGetInfo(stream, STREAM_INFO_ID, &type, text, &size));
    ExpectRecorded(GC_ERR_INVALID_PARAMETER, "Specified piSize is invalid even though pBuffer is present: piSize = " +
                                                 Hex(&size) + ", *piSize = 0, pBuffer = " + Hex(text) + ".");
    EXPECT_EQ(GC_ERR_INVALID_HANDLE, lib.TLClose(foreign));
    ExpectRecorded(GC_ERR_INVALID_HANDLE, "Specified hSystem is not the original handle: hSystem = " + Hex(foreign) +
                                              ", Specified = " + Hex(system) + ".");
}

}  // namespace
