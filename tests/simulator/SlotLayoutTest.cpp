// The component's binary interface, checked on the built libQuibbon.so: its only export, and
// every operation reached through its virtual slot number rather than through the header.
#include <dlfcn.h>
#include <elf.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "framegrabber/Quibbon.h"
#include "support/ProducerLib.h"

namespace {

// Calls virtual slot `slot` of object with the Itanium C++ ABI: the object starts with a pointer
// to its table of function addresses, each taking the object as first argument.
template <class R, class... Args>
R CallSlot(void* object, size_t slot, Args... args) {
    using Function = R (*)(void*, Args...);
    void** table = *static_cast<void***>(object);
    return reinterpret_cast<Function>(table[slot])(object, args...);
}

std::string TextSlot(void* object, size_t slot, uint32_t index) {
    char text[Quibbon::kIdTextSize] = {};
    uint64_t size = sizeof text;
    EXPECT_EQ((CallSlot<int32_t, uint32_t, char*, uint64_t*>(object, slot, index, text, &size)), 0);
    return text;
}

int32_t Parameter(void* device, int32_t param) {
    int32_t value = 0;
    uint64_t size = sizeof value;
    EXPECT_EQ((CallSlot<int32_t, int32_t, void*, uint64_t*>(device, 5, param, &value, &size)), 0);
    return value;
}

// Names of the symbols a shared object defines in its dynamic symbol table.
std::set<std::string> DefinedDynamicSymbols(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::set<std::string> names;
    if (bytes.size() < sizeof(Elf64_Ehdr)) {
        return names;
    }
    const auto* header = reinterpret_cast<const Elf64_Ehdr*>(bytes.data());
    const auto* sections = reinterpret_cast<const Elf64_Shdr*>(bytes.data() + header->e_shoff);
    for (int i = 0; i < header->e_shnum; ++i) {
        if (sections[i].sh_type != SHT_DYNSYM) {
            continue;
        }
        const char* strings = bytes.data() + sections[sections[i].sh_link].sh_offset;
        const auto* symbols = reinterpret_cast<const Elf64_Sym*>(bytes.data() + sections[i].sh_offset);
        for (size_t s = 0; s < sections[i].sh_size / sizeof(Elf64_Sym); ++s) {
            const int binding = ELF64_ST_BIND(symbols[s].st_info);
            if (symbols[s].st_shndx != SHN_UNDEF && (binding == STB_GLOBAL || binding == STB_WEAK)) {
                names.insert(strings + symbols[s].st_name);
            }
        }
    }
    return names;
}

using Library = std::unique_ptr<void, int (*)(void*)>;

Library OpenSimulator() {
    return Library(dlopen(quarvo_test::BuiltSimulatorPath().c_str(), RTLD_NOW | RTLD_LOCAL), dlclose);
}

TEST(SlotLayoutTest, OnlyTheEntryFunctionsAreExported) {
    ASSERT_FALSE(quarvo_test::BuiltSimulatorPath().empty());
    EXPECT_EQ(DefinedDynamicSymbols(quarvo_test::BuiltSimulatorPath()),
              (std::set<std::string>{"GetSystem", "QuibbonGetLastError"}));
}

TEST(SlotLayoutTest, GetSystemTellsWhyItStoredNull) {
    const Library library = OpenSimulator();
    ASSERT_NE(library, nullptr) << dlerror();
    const auto getSystem = reinterpret_cast<void (*)(void**)>(dlsym(library.get(), "GetSystem"));
    const auto lastError = reinterpret_cast<int32_t (*)(char*, uint64_t*)>(dlsym(library.get(), "QuibbonGetLastError"));
    ASSERT_NE(getSystem, nullptr);
    ASSERT_NE(lastError, nullptr);

    ASSERT_EQ(setenv("QUARVO_RIG", "/nonexistent/rig.toml", 1), 0);
    void* system = &system;
    getSystem(&system);
    EXPECT_EQ(system, nullptr);
    const std::string expected = "/nonexistent/rig.toml: cannot be read (No such file or directory)";
    uint64_t size = 0;
    ASSERT_EQ(lastError(nullptr, &size), 0);
    EXPECT_EQ(size, expected.size() + 1);
    std::vector<char> text(size, 'x');
    size -= 1;
    EXPECT_LT(lastError(text.data(), &size), 0);
    EXPECT_EQ(text[0], 'x');
    size = text.size();
    ASSERT_EQ(lastError(text.data(), &size), 0);
    EXPECT_EQ(std::string(text.data()), expected);
    EXPECT_LT(lastError(text.data(), nullptr), 0);

    ASSERT_EQ(unsetenv("QUARVO_RIG"), 0);
    getSystem(&system);
    ASSERT_NE(system, nullptr);
    EXPECT_LT(lastError(nullptr, &size), 0) << "a system was stored";
    EXPECT_EQ(CallSlot<int32_t>(system, 7), 0);
}

TEST(SlotLayoutTest, EveryOperationSitsAtItsSlot) {
    const Library library = OpenSimulator();
    ASSERT_NE(library, nullptr) << dlerror();
    const auto getSystem = reinterpret_cast<void (*)(void**)>(dlsym(library.get(), "GetSystem"));
    ASSERT_NE(getSystem, nullptr);
    void* system = nullptr;
    getSystem(&system);
    ASSERT_NE(system, nullptr);

    uint32_t count = 0;
    EXPECT_EQ((CallSlot<int32_t, uint32_t*>(system, 2, &count)), 0);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(TextSlot(system, 3, 1), "Board1");
    void* iface = nullptr;
    EXPECT_EQ((CallSlot<int32_t, const char*, void**>(system, 4, "Board1", &iface)), 0);
    ASSERT_NE(iface, nullptr);
    EXPECT_LT(CallSlot<int32_t>(system, 5), 0);
    EXPECT_LT(CallSlot<int32_t>(system, 6), 0);

    EXPECT_EQ((CallSlot<int32_t, uint32_t*>(iface, 2, &count)), 0);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(TextSlot(iface, 3, 0), "Cam10");
    char prefix[Quibbon::kInfoTextSize] = {};
    uint64_t size = sizeof prefix;
    EXPECT_EQ((CallSlot<int32_t, int32_t, char*, uint64_t*>(iface, 6, 2, prefix, &size)), 0);
    EXPECT_STREQ(prefix, "QB");
    unsigned char status[16] = {};
    EXPECT_GE((CallSlot<int32_t, const char*, void*>(iface, 7, "Cam11", status)), 0);
    EXPECT_NE(status[8], 0);
    EXPECT_LT(CallSlot<int32_t>(iface, 5), 0);
    EXPECT_LT(CallSlot<int32_t>(iface, 8), 0);
    void* device = nullptr;
    EXPECT_EQ((CallSlot<int32_t, const char*, void**>(iface, 4, "Cam11", &device)), 0);
    ASSERT_NE(device, nullptr);

    EXPECT_EQ((CallSlot<int32_t, uint32_t*>(device, 2, &count)), 0);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(Parameter(device, 3), 0x010C0006);
    const int32_t width = 320;
    size = 4;
    EXPECT_EQ((CallSlot<int32_t, int32_t, const void*, uint64_t*>(device, 4, 1, &width, &size)), 0);
    EXPECT_EQ(Parameter(device, 1), 320);
    EXPECT_EQ(Parameter(device, 13), 320 * 480 * 3 / 2);
    void* stream = nullptr;
    EXPECT_EQ((CallSlot<int32_t, uint32_t, void**>(device, 3, 0, &stream)), 0);
    ASSERT_NE(stream, nullptr);

    EXPECT_EQ((CallSlot<int32_t, int32_t, int64_t>(stream, 2, 0, -1)), 0);
    uint8_t grabbing = 0;
    size = 1;
    EXPECT_EQ((CallSlot<int32_t, int32_t, void*, uint64_t*>(stream, 6, 7, &grabbing, &size)), 0);
    EXPECT_EQ(grabbing, 1);
    uint32_t grabVersion = 0;
    size = 4;
    EXPECT_EQ((CallSlot<int32_t, int32_t, void*, uint64_t*>(stream, 6, 8, &grabVersion, &size)), 0);
    EXPECT_EQ(grabVersion, 1u);
    std::vector<uint8_t> buffer(320 * 480 * 3 / 2);
    EXPECT_GE((CallSlot<int32_t, void*, uint32_t>(stream, 4, buffer.data(), 500)), 0);
    EXPECT_LT(CallSlot<int32_t>(stream, 5), 0);
    uint64_t capacity = buffer.size();
    Quibbon::FrameInfo info{};
    EXPECT_GE((CallSlot<int32_t, void*, uint64_t*, uint32_t, void*>(stream, 8, buffer.data(), &capacity, 500, &info)), 0);
    EXPECT_EQ(info.frameNumber, 1u);
    // A camera without a clock answers a whole record with no stamp: the caller stamps the frame.
    Quibbon::FrameRecord record{};
    record.info.reserved = sizeof record;
    record.timestamp = 12345;
    EXPECT_GE((CallSlot<int32_t, void*, uint64_t*, uint32_t, void*>(stream, 8, buffer.data(), &capacity, 500,
                                                                      &record.info)),
              0);
    EXPECT_EQ(record.info.frameNumber, 2u);
    EXPECT_EQ(record.info.reserved, sizeof record);
    EXPECT_EQ(record.timestamp, 0u);
    EXPECT_EQ((CallSlot<int32_t, int32_t, int32_t>(stream, 3, 0, 1)), 0);

    EXPECT_EQ(CallSlot<int32_t>(stream, 7), 0);
    EXPECT_EQ(CallSlot<int32_t>(device, 6), 0);
    EXPECT_EQ(CallSlot<int32_t>(iface, 9), 0);
    EXPECT_EQ(CallSlot<int32_t>(system, 7), 0);
}

}  // namespace
