#include "regmap/RegisterMap.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>

#include "gentl/Exceptions.h"
#include "gentl/MsgComposer.h"

using GenTL::CRegisterMap;

namespace {

const void* const kNoData = nullptr;

// Runs the call and expects exactly the exception type E (for GenTL errors the type fixes the
// code) with the given text.
template <class E, class Call>
void ExpectError(Call&& call, const std::string& text) {
    try {
        call();
        ADD_FAILURE() << "no exception, expected: " << text;
    } catch (const E& e) {
        EXPECT_EQ(std::string(e.what()), text);
    }
}

template <class Call>
void ExpectMissing(Call&& call, const std::string& text) {
    ExpectError<std::out_of_range>(call, text);
}

struct CallbackLog {
    int calls = 0;
    uint64_t address = 0;
    uint32_t seen = 0;
    uint32_t replacement = 0;
};

// Records its call and replaces the value with the log's replacement when that is non-zero.
void LoggingCallback(uint64_t address, uint32_t& value, void* context) {
    auto* log = static_cast<CallbackLog*>(context);
    ++log->calls;
    log->address = address;
    log->seen = value;
    if (log->replacement != 0) {
        value = log->replacement;
    }
}

void UnchangedReadCallback(uint64_t, uint32_t&, void*) {}

std::string ReadBytes(CRegisterMap& map, uint64_t address, size_t size) {
    std::string bytes(size, '\xEE');
    map.ReadMem(address, bytes.data(), size);
    return bytes;
}

}  // namespace

TEST(RegisterMapRights, PortSideFollowsRightsOwnerSideIgnoresThemAndNeitherRunsCallbacks) {
    CRegisterMap map;
    CallbackLog log;
    map.AddReg(0x1C, CRegisterMap::WO, 42, false, nullptr, &log, LoggingCallback);
    map.AddReg(0xA8, CRegisterMap::RO, 7, false, LoggingCallback, &log, LoggingCallback);

    ExpectError<GenTL::access_exception>([&] { map.ReadReg(0x1C); }, "Register 1C is not readable.");
    ExpectError<GenTL::access_denied_exception>([&] { map.WriteReg(0xA8, 9); }, "Register A8 is not writable.");
    EXPECT_EQ(map.GetReg(0x1C), 42u);
    EXPECT_EQ(map.GetReg(0xA8), 7u);
    map.SetReg(0xA8, 9);
    EXPECT_EQ(map.GetReg(0xA8), 9u);
    EXPECT_EQ(log.calls, 0);
}

TEST(RegisterMapCallbacks, CallbacksSeeTheValueAndTheirReplacementIsStored) {
    CRegisterMap map;
    CallbackLog on_write, on_read;
    on_write.replacement = 0x55;
    on_read.replacement = 0x77;
    map.AddReg(0x40, CRegisterMap::RW, 1, false, LoggingCallback, &on_write, nullptr);
    map.AddReg(0x44, CRegisterMap::RO, 3, false, nullptr, &on_read, LoggingCallback);

    map.WriteReg(0x40, 0x33);
    EXPECT_EQ(on_write.calls, 1);
    EXPECT_EQ(on_write.address, 0x40u);
    EXPECT_EQ(on_write.seen, 0x33u);
    EXPECT_EQ(map.GetReg(0x40), 0x55u);
    EXPECT_EQ(map.ReadReg(0x44), 0x77u);
    EXPECT_EQ(on_read.seen, 3u);
    EXPECT_EQ(map.GetReg(0x44), 0x77u);
}

TEST(RegisterMapCallbacks, ThrowingWriteCallbackKeepsStoredValue) {
    CRegisterMap map;
    auto rejecting = [](uint64_t, uint32_t&, void*) { throw GenTL::invalid_value_exception("rejected"); };
    map.AddReg(0x48, CRegisterMap::RW, 1, false, rejecting, nullptr, nullptr);

    EXPECT_THROW(map.WriteReg(0x48, 6), GenTL::invalid_value_exception);
    EXPECT_EQ(map.GetReg(0x48), 6u);
}

// The replacement made inside the callback is newer than the callback's own result and is kept.
TEST(RegisterMapCallbacks, CallbackMayReplaceItsOwnRegister) {
    CRegisterMap map;
    auto replacing = [](uint64_t address, uint32_t& value, void* context) {
        static_cast<CRegisterMap*>(context)->AddReg(address, CRegisterMap::RO, 100);
        value = 200;
    };
    map.AddReg(0x8, CRegisterMap::RW, 1, false, replacing, &map, nullptr);

    map.WriteReg(0x8, 2);
    EXPECT_EQ(map.GetReg(0x8), 100u);
    EXPECT_EQ(map.GetAccess(0x8), CRegisterMap::RO);
}

// A read callback that refreshes its register through the map is read back refreshed.
TEST(RegisterMapCallbacks, ReadReturnsTheValueTheCallbackStored) {
    CRegisterMap map;
    auto refreshing = [](uint64_t address, uint32_t&, void* context) {
        static_cast<CRegisterMap*>(context)->SetReg(address, 640);
    };
    map.AddReg(0x104, CRegisterMap::RW, 1, false, nullptr, &map, refreshing);
    EXPECT_EQ(map.ReadReg(0x104), 640u);
}

TEST(RegisterMapCallbacks, AddRegReplacesRightsValueCallbacksAndFlag) {
    CRegisterMap map;
    CallbackLog log;
    map.AddReg(0x10, CRegisterMap::RW, 1, true, LoggingCallback, &log, LoggingCallback);
    map.AddReg(0x10, CRegisterMap::RO, 2);

    EXPECT_EQ(map.GetAccess(0x10), CRegisterMap::RO);
    EXPECT_FALSE(map.GetSaveable(0x10));
    EXPECT_EQ(map.ReadReg(0x10), 2u);
    EXPECT_THROW(map.WriteReg(0x10, 3), GenTL::access_denied_exception);
    EXPECT_EQ(log.calls, 0);
}

TEST(RegisterMapPairs, WordOrderFollowsLowWordFirstFlag) {
    for (bool low_first : {false, true}) {
        SCOPED_TRACE(low_first);
        CRegisterMap map;
        map.AddReg64(0x100, CRegisterMap::RO, 0x1122334455667788ULL, false, low_first);
        EXPECT_EQ(map.GetReg(0x100), low_first ? 0x55667788u : 0x11223344u);
        EXPECT_EQ(map.GetReg(0x104), low_first ? 0x11223344u : 0x55667788u);
        EXPECT_EQ(map.GetReg64(0x100, low_first), 0x1122334455667788ULL);
        map.SetReg64(0x100, 0xAABBCCDD00000001ULL, low_first);
        EXPECT_EQ(map.GetReg(0x100), low_first ? 1u : 0xAABBCCDDu);
        EXPECT_EQ(map.GetReg(0x104), low_first ? 0xAABBCCDDu : 1u);
    }
}

TEST(RegisterMapPairs, FailingSecondWordKeepsFirstAndNamesItsAddress) {
    CRegisterMap map;
    map.AddReg(0x3C, CRegisterMap::RW, 0);

    ExpectMissing([&] { map.SetReg64(0x3C, 0x0000000200000001ULL, true); }, "Register 40 is not available.");
    EXPECT_EQ(map.GetReg(0x3C), 1u);
}

TEST(RegisterMapBlocks, BytesLandInHostOrderAndNullDataGivesZeros) {
    CRegisterMap map;
    const uint8_t bytes[] = {1, 2, 3, 4, 5, 6, 7, 8};
    map.AddRegs(0x200, CRegisterMap::RO, bytes, sizeof bytes);
    map.AddRegs(0x208, CRegisterMap::RO, kNoData, 8);

    EXPECT_EQ(map.GetReg(0x200), 0x04030201u);
    EXPECT_EQ(map.GetReg(0x204), 0x08070605u);
    EXPECT_EQ(map.GetReg64(0x208, true), 0u);
}

TEST(RegisterMapBlocks, TextIsPaddedOrCutToFitItsBlock) {
    CRegisterMap map;
    map.AddRegs(0x0, CRegisterMap::RO, "abc", 8);
    map.AddRegs(0x8, CRegisterMap::RO, "abcdefgh", 8);
    map.AddRegs(0x10, CRegisterMap::RO, "abcdefg", 12);

    EXPECT_EQ(ReadBytes(map, 0x0, 8), std::string("abc\0\0\0\0\0", 8));
    EXPECT_EQ(ReadBytes(map, 0x8, 8), std::string("abcdefg\0", 8));
    EXPECT_EQ(ReadBytes(map, 0x10, 12), std::string("abcdefg\0\0\0\0\0", 12));
}

TEST(RegisterMapBlocks, SetMemTextPadsToWordAndLeavesFollowingWords) {
    CRegisterMap map;
    map.AddRegs(0x80, CRegisterMap::RO, "abcdefghijk", 16);

    map.SetMem(0x80, "xyzuv");
    EXPECT_EQ(ReadBytes(map, 0x80, 16), std::string("xyzuv\0\0\0ijk\0\0\0\0\0", 16));
    map.SetMem(0x80, "");
    EXPECT_EQ(map.GetReg(0x80), 0u);
    EXPECT_EQ(map.GetReg(0x84), static_cast<uint32_t>('v'));
}

TEST(RegisterMapBlocks, SetMemTextIsNotCutToTheBlock) {
    CRegisterMap map;
    map.AddRegs(0x80, CRegisterMap::RW, "", 4);

    ExpectMissing([&] { map.SetMem(0x80, "abcdef"); }, "Register 84 is not available.");
    EXPECT_EQ(map.GetReg(0x80), 0x64636261u);
    ExpectError<GenTL::invalid_address_exception>([&] { map.SetMem(0x82, "a"); },
                                                  "Address and/or uiSize have to be multiples of four.");
}

TEST(RegisterMapBlocks, TransferStopsAtFirstMissingRegister) {
    CRegisterMap map;
    map.AddRegs(0xA0, CRegisterMap::RW, "", 12);
    map.AddReg(0xB0, CRegisterMap::RW, 0);
    const std::array<uint32_t, 5> source = {1, 2, 3, 4, 5};

    ExpectMissing([&] { map.WriteMem(0xA0, source.data(), 20); }, "Register AC is not available.");
    EXPECT_EQ(map.GetReg(0xA8), 3u);
    EXPECT_EQ(map.GetReg(0xB0), 0u);

    std::array<uint32_t, 5> target;
    target.fill(0xEEEEEEEE);
    ExpectMissing([&] { map.ReadMem(0xA0, target.data(), 20); }, "Register AC is not available.");
    EXPECT_EQ(target[2], 3u);
    EXPECT_EQ(target[3], 0xEEEEEEEEu);
}

TEST(RegisterMapChecks, AddressChecksRunInOrder) {
    using BadAddress = GenTL::invalid_address_exception;
    using BadParameter = GenTL::invalid_parameter_exception;
    CRegisterMap map;
    map.AddReg(0x0, CRegisterMap::RW, 0);
    uint32_t word = 0;
    const std::string misaligned = "Address and/or uiSize have to be multiples of four.";

    ExpectError<BadAddress>([&] { map.ReadReg(0xFFFFFFFFFFFFFFFFULL); }, "Address is invalid.");
    ExpectError<BadAddress>([&] { map.ReadMem(0xFFFFFFFFFFFFFFFFULL, nullptr, 6); }, "Address is invalid.");
    ExpectError<BadAddress>([&] { map.ReadMem(0x0, nullptr, 6); }, misaligned);
    ExpectError<BadParameter>([&] { map.ReadMem(0x0, nullptr, 0); },
                              GenTL::MsgComposer("Specified pBuffer is invalid: pBuffer = 0x%p.", nullptr));
    ExpectError<BadParameter>([&] { map.ReadMem(0x0, &word, 0); }, "uiSize is not valid.");
    ExpectError<BadParameter>([&] { map.GetReg(0x199999999999999CULL); },
                              "Address too large: 0 <= 1844674407370955164 <= 461168601842738790");
    ExpectError<BadAddress>([&] { map.WriteReg(0x2, 0); }, misaligned);
}

TEST(RegisterMapChecks, MissingRegistersAreOnlyLookedUp) {
    CRegisterMap map;
    map.AddReg(0x40, CRegisterMap::RW, 0);
    const uint64_t highest = 0x1999999999999998ULL;
    uint32_t word = 0;

    ExpectMissing([&] { map.ReadReg(highest); }, "Register 1999999999999998 is not available.");
    ExpectMissing([&] { map.WriteMem(highest, &word, 4); }, "Register 1999999999999998 is not available.");
    ExpectMissing([&] { map.SetReg(0x44, 1); }, "Register 44 is not available.");
    ExpectMissing([&] { map.GetAccess(0x3C); }, "Register 3C is not available.");
}

// Refused additions leave the map empty.
TEST(RegisterMapChecks, AccessValueBlockAndReservationLimits) {
    using BadParameter = GenTL::invalid_parameter_exception;
    ExpectError<BadParameter>([] { CRegisterMap map(0x2000000000000000ULL); },
                              "Initial size is larger than possible: 0 < 2305843009213693952 <= 2305843009213693951");
    CRegisterMap map;
    const auto none = static_cast<CRegisterMap::ACCESS>(0);
    const std::string unknown = "iAccess is an unknown ACCESS value.";
    ExpectError<BadParameter>([&] { map.AddReg(0x0, none, 0); }, unknown);
    ExpectError<BadParameter>([&] { map.AddRegs(0x0, static_cast<CRegisterMap::ACCESS>(4), kNoData, 8); }, unknown);
    // SetAccess checks the value before the address.
    ExpectError<BadParameter>([&] { map.SetAccess(0xFFFFFFFFFFFFFFFFULL, none); }, unknown);
    ExpectError<BadParameter>([&] { map.AddRegs(0x0, CRegisterMap::RO, "", 0); }, "uiSize is not valid.");
    // A block whose end wraps around the address range must not land at low addresses.
    EXPECT_THROW(map.AddRegs(0x1999999999999990ULL, CRegisterMap::RO, kNoData, 0xFFFFFFFFFFFFFFF0ULL), BadParameter);
    ExpectMissing([&] { map.GetReg(0x0); }, "Register 0 is not available.");
}

// The owner updates registers on one thread while the port reads them on another. Values are
// written in increasing order, so a reader sees them non-decreasing and the high word of a pair,
// read after its low word, at most one behind. A read callback that leaves the value alone must
// never write back a stale value.
TEST(RegisterMapConcurrency, OwnerUpdatesWhilePortReads) {
    CRegisterMap map;
    map.AddReg(0x0, CRegisterMap::RO, 0, false, nullptr, nullptr, UnchangedReadCallback);
    map.AddReg64(0x4, CRegisterMap::RO, 0, false, true);
    constexpr uint32_t kLast = 20000;
    std::atomic<bool> done{false};

    std::thread writer([&] {
        for (uint32_t i = 1; i <= kLast; ++i) {
            map.SetReg(0x0, i);
            map.SetReg64(0x4, (uint64_t{i} << 32) | i, true);
        }
        done = true;
    });
    uint32_t previous = 0;
    bool ordered = true;
    while (!done) {
        const uint32_t value = map.ReadReg(0x0);
        std::array<uint32_t, 2> pair{};
        map.ReadMem(0x4, pair.data(), 8);
        ordered = ordered && value >= previous && pair[1] + 1 >= pair[0];
        previous = value;
    }
    writer.join();

    EXPECT_TRUE(ordered);
    EXPECT_EQ(map.ReadReg(0x0), kLast);
    EXPECT_EQ(map.GetReg64(0x4, true), (uint64_t{kLast} << 32) | kLast);
}

// A constant block reads like the same bytes added with AddRegs, and turns into ordinary
// registers as soon as one of its words is changed or replaced.
TEST(RegisterMapConstBlock, ReadsLikeAddedBytesAndMaterialisesOnChange) {
    static const uint8_t kDocument[] = {'<', 'x', 'm', 'l', '/', '>'};
    CRegisterMap block_map;
    CRegisterMap plain_map;
    block_map.AddConstBlock(0x100, kDocument, sizeof kDocument, 8);
    const uint8_t padded[8] = {'<', 'x', 'm', 'l', '/', '>', 0, 0};
    plain_map.AddRegs(0x100, CRegisterMap::RO, static_cast<const void*>(padded), 8);
    uint8_t from_block[8] = {};
    uint8_t from_plain[8] = {};
    block_map.ReadMem(0x100, from_block, 8);
    plain_map.ReadMem(0x100, from_plain, 8);
    EXPECT_EQ(0, std::memcmp(from_block, from_plain, 8));
    EXPECT_EQ(block_map.GetAccess(0x104), CRegisterMap::RO);
    EXPECT_FALSE(block_map.GetSaveable(0x104));
    EXPECT_THROW(block_map.WriteReg(0x104, 1), GenTL::access_denied_exception);
    EXPECT_THROW(block_map.ReadReg(0x108), std::out_of_range);

    block_map.SetReg(0x104, 7);
    EXPECT_EQ(block_map.GetReg(0x104), 7u);
    EXPECT_EQ(block_map.GetReg(0x100), plain_map.GetReg(0x100));
    block_map.AddReg(0x100, CRegisterMap::RW, 9);
    block_map.WriteReg(0x100, 10);
    EXPECT_EQ(block_map.ReadReg(0x100), 10u);
}
