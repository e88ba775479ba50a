#include <gtest/gtest.h>

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
