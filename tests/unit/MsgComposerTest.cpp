#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "gentl/MsgComposer.h"
#include "gentl/TLIError.h"
#include "gentl/controller/LibraryController.h"

using namespace GenTL;

namespace {

TEST(MsgComposer, FormatsSixtyFourBitPlaceholders) {
    EXPECT_EQ("Register 1FFFFFFFFFFFFFFC is not available.",
              MsgComposer("Register %I64X is not available.", static_cast<uint64_t>(0x1FFFFFFFFFFFFFFCULL)));
    EXPECT_EQ("Address too large: 0 <= 18446744073709551615 <= 461168601842738790",
              MsgComposer("Address too large: 0 <= %I64u <= %I64u", UINT64_MAX,
                          static_cast<uint64_t>(461168601842738790ULL)));
    EXPECT_EQ("a 0xbeef 7 x", MsgComposer("%s %p %d %s", "a", reinterpret_cast<void*>(0xbeef), 7, "x"));
}

TEST(MsgComposer, PrintsPointersAsZeroXAndTheirDigitsOnce) {
    void* const address = reinterpret_cast<void*>(0x5600632e2420ULL);
    EXPECT_EQ("0x0", FormatPointer(nullptr));
    EXPECT_EQ("0x5600632e2420", FormatPointer(address));
    // The texts' own "0x" before the placeholder is not printed twice; arguments after a pointer
    // are still taken in order.
    EXPECT_EQ("hEvent = 0x5600632e2420, piSize = 0x0, *piSize = -3, 1F, id, 0xffffffffffffffff 100%.",
              MsgComposer("hEvent = 0x%p, piSize = 0x%p, *piSize = %d, %I64X, %s, %p 100%%.", address, nullptr, -3,
                          static_cast<uint64_t>(0x1F), "id", reinterpret_cast<void*>(UINTPTR_MAX)));
    EXPECT_EQ("iOpenFlags = 0x5.", MsgComposer("iOpenFlags = 0x%p.", reinterpret_cast<void*>(5)));
}

// Every other conversion a caller may write takes its own argument, so the ones after it stay
// in step; only the unsupported forms are copied and take none.
TEST(MsgComposer, TakesOneArgumentForEveryConversion) {
    EXPECT_EQ("7 c 2.50 -4 65535 9 end",
              MsgComposer("%zu %c %.2f %td %hu %jd %s", static_cast<size_t>(7), 'c', 2.5, static_cast<ptrdiff_t>(-4),
                          65535, static_cast<intmax_t>(9), "end"));
    EXPECT_EQ("%*d 5", MsgComposer("%*d %d", 5));
}

TEST(MsgComposer, CutsMessagesAt255Characters) {
    const std::string longText(400, 'y');
    const std::string message = MsgComposer("id '%s' is invalid.", longText.c_str());
    EXPECT_EQ(255u, message.size());
    EXPECT_EQ("id '" + std::string(251, 'y'), message);
}

TEST(LastErrorRecord, ReportsNoDataBeforeAnythingWasRecorded) {
    CTLIError::Release();
    int code = 5;
    size_t size = 10;
    char text[10];
    EXPECT_EQ(-1008, CTLIError::GetErrTxt(code, text, &size));
    EXPECT_EQ(5, code);
    CTLIError::SetErrTxt(-1001, "boom");
    EXPECT_EQ(-1009, CTLIError::GetErrTxt(code, text, nullptr));
    EXPECT_EQ(0, CTLIError::GetErrTxt(code, text, &size));
    EXPECT_EQ(-1001, code);
    EXPECT_STREQ("boom", text);
    EXPECT_EQ(5u, size);
}

TEST(RuntimeErrorTranslation, FirstMatchingSubstringWins) {
    struct Case {
        const char* text;
        int code;
    };
    for (const Case& c : {Case{"Invalid and not implemented", -1006}, Case{"it is not implemented", -1003},
                          Case{"Unable to find device  X", -1007}, Case{"Device already open", -1004},
                          Case{"Device not available", -1014}, Case{"Device access denied", -1005},
                          Case{"Data stream already open", -1004}, Case{"Unable to open Stream", -1001},
                          Case{"invalid lower case", -1001}}) {
        EXPECT_EQ(c.code, g_Controller.Handle_Runtime_Error(std::runtime_error(c.text))) << c.text;
        int code = 0;
        char text[128] = {};
        size_t size = sizeof text;
        CTLIError::GetErrTxt(code, text, &size);
        EXPECT_EQ(c.code, code);
        EXPECT_STREQ(c.text, text);
    }
}

}  // namespace
