// The SFNC camera's GenApi document evaluated by a GenApi engine (Aravis) on a block of memory in
// place of the camera: the register table against the document's register nodes, every feature
// against the register layout, the enumerations, the locks, and the cache invalidation that
// keeps a GenApi cache from showing stale values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "MemoryDevice.h"
#include "simulator/PixelFormats.h"
#include "simulator/SfncDocument.h"
#include "simulator/SfncRegisters.h"

namespace {

using namespace Quibbon::Sim::Sfnc;

// The message of the GError that `call` reports; empty when it reports none.
template <class Call>
std::string ErrorOf(Call&& call) {
    GError* error = nullptr;
    call(&error);
    if (error == nullptr) {
        return {};
    }
    std::string text = error->message;
    g_error_free(error);
    return text.empty() ? "(error without text)" : text;
}

// The result of an Aravis call that must succeed; a reported GError fails the test.
template <class Call>
auto Checked(const std::string& what, Call&& call) {
    GError* error = nullptr;
    auto result = call(&error);
    if (error != nullptr) {
        ADD_FAILURE() << what << ": " << error->message;
        g_error_free(error);
    }
    return result;
}

constexpr size_t kMemorySize = 0xA000;  // every register block, up to the document

class SfncNodeMap : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string& xml = SfncDocument();
        device = memory_device_new(memory.data(), memory.size(), xml.data(), xml.size());
        ASSERT_NE(nullptr, device) << "Aravis builds no node map from the document";
        gc = arv_device_get_genicam(ARV_DEVICE(device));
        arv_gc_set_range_check_policy(gc, ARV_RANGE_CHECK_POLICY_ENABLE);
        arv_gc_set_access_check_policy(gc, ARV_ACCESS_CHECK_POLICY_ENABLE);
        arv_gc_set_register_cache_policy(gc, ARV_REGISTER_CACHE_POLICY_ENABLE);
    }
    void TearDown() override { g_clear_object(&device); }

    template <class T>
    void Poke(uint64_t address, T value) {
        std::memcpy(&memory[address], &value, sizeof value);
    }
    template <class T>
    T Peek(uint64_t address) const {
        T value;
        std::memcpy(&value, &memory[address], sizeof value);
        return value;
    }

    ArvGcNode* Node(const std::string& name) const {
        ArvGcNode* node = arv_gc_get_node(gc, name.c_str());
        EXPECT_NE(nullptr, node) << name << ": no such node";
        return node;
    }
    ArvGcFeatureNode* Feature(const std::string& name) const { return ARV_GC_FEATURE_NODE(Node(name)); }
    std::string TypeOf(const std::string& name) const {
        ArvGcNode* node = Node(name);
        return node != nullptr ? arv_dom_node_get_node_name(ARV_DOM_NODE(node)) : "";
    }

    int64_t Integer(const std::string& name) {
        return Checked(name, [&](GError** e) { return arv_gc_integer_get_value(ARV_GC_INTEGER(Node(name)), e); });
    }
    int64_t IntegerMax(const std::string& name) {
        return Checked(name, [&](GError** e) { return arv_gc_integer_get_max(ARV_GC_INTEGER(Node(name)), e); });
    }
    double Float(const std::string& name) {
        return Checked(name, [&](GError** e) { return arv_gc_float_get_value(ARV_GC_FLOAT(Node(name)), e); });
    }
    std::string Enumeration(const std::string& name) {
        const char* entry = Checked(
            name, [&](GError** e) { return arv_gc_enumeration_get_string_value(ARV_GC_ENUMERATION(Node(name)), e); });
        return entry != nullptr ? entry : "";
    }
    std::string SetInteger(const std::string& name, int64_t value) {
        return ErrorOf([&](GError** e) { arv_gc_integer_set_value(ARV_GC_INTEGER(Node(name)), value, e); });
    }
    std::string SetEnumeration(const std::string& name, const char* entry) {
        return ErrorOf(
            [&](GError** e) { arv_gc_enumeration_set_string_value(ARV_GC_ENUMERATION(Node(name)), entry, e); });
    }
    // The bytes of a register as the node map has them (from its cache, when it keeps the value).
    std::vector<uint8_t> RegisterBytes(const RegisterNode& reg) {
        std::vector<uint8_t> bytes(reg.length);
        Checked(reg.name, [&](GError** e) {
            arv_gc_register_get(ARV_GC_REGISTER(Node(reg.name)), bytes.data(), bytes.size(), e);
            return 0;
        });
        return bytes;
    }
    std::vector<uint8_t> MemoryBytes(const RegisterNode& reg) const {
        return {memory.begin() + reg.address, memory.begin() + reg.address + reg.length};
    }
    // Changes every byte of the register in the camera's memory behind the node map's back.
    void Flip(const RegisterNode& reg) {
        for (uint32_t i = 0; i < reg.length; ++i) {
            memory[reg.address + i] ^= 0x5A;
        }
    }

    std::vector<uint8_t> memory = std::vector<uint8_t>(kMemorySize);
    MemoryDevice* device = nullptr;
    ArvGc* gc = nullptr;
};

const RegisterNode* FindByName(const std::string& name) {
    for (const RegisterNode& reg : SfncRegisterNodes()) {
        if (name == reg.name) {
            return &reg;
        }
    }
    return nullptr;
}

ArvGcAccessMode AravisAccess(Access access) {
    switch (access) {
        case Access::RO:
            return ARV_GC_ACCESS_MODE_RO;
        case Access::WO:
            return ARV_GC_ACCESS_MODE_WO;
        default:
            return ARV_GC_ACCESS_MODE_RW;
    }
}

TEST_F(SfncNodeMap, RegisterNodesAreTheTable) {
    const std::map<RegisterKind, std::string> types{
        {RegisterKind::Int, "IntReg"}, {RegisterKind::Float, "FloatReg"}, {RegisterKind::String, "StringReg"}};
    uint64_t end = 0;
    for (const RegisterNode& reg : SfncRegisterNodes()) {
        SCOPED_TRACE(reg.name);
        ArvGcNode* node = Node(reg.name);
        ASSERT_TRUE(ARV_IS_GC_REGISTER(node));
        EXPECT_EQ(types.at(reg.kind), TypeOf(reg.name));
        EXPECT_EQ(reg.address, Checked(reg.name, [&](GError** e) {
                      return arv_gc_register_get_address(ARV_GC_REGISTER(node), e);
                  }));
        EXPECT_EQ(reg.length, Checked(reg.name, [&](GError** e) {
                      return arv_gc_register_get_length(ARV_GC_REGISTER(node), e);
                  }));
        EXPECT_EQ(AravisAccess(reg.access), arv_gc_feature_node_get_actual_access_mode(ARV_GC_FEATURE_NODE(node)));
        if (reg.kind == RegisterKind::Float) {
            EXPECT_EQ(8u, reg.length);
        } else if (reg.kind == RegisterKind::Int) {
            EXPECT_TRUE(reg.length == 4u || (reg.length == 8u && reg.access == Access::RO)) << reg.length;
        }
        EXPECT_LE(end, reg.address) << "out of address order or overlapping the register before";
        end = reg.address + reg.length;
        EXPECT_EQ(&reg, FindSfncRegister(reg.address));
        EXPECT_EQ(nullptr, FindSfncRegister(reg.address + 1));
        // An invalidator that cannot be written would never invalidate anything.
        for (const char* invalidator : reg.invalidators) {
            if (invalidator != nullptr) {
                const RegisterNode* other = FindByName(invalidator);
                ASSERT_NE(nullptr, other) << invalidator;
                EXPECT_NE(Access::RO, other->access) << invalidator;
            }
        }
    }
    // No register node of the document bypasses the table, except the chunk and event values,
    // which are read from a delivered buffer or event through their ports.
    const std::set<std::string> portValues{
        "ChunkTimestampReg",   "ChunkFrameIDReg",     "ChunkExposureTimeReg",
        "ChunkGainReg",        "ChunkWidthReg",       "ChunkHeightReg",
        "ChunkPixelFormatReg", "EventAcquisitionStartTimestampReg", "EventAcquisitionEndTimestampReg",
        "EventFrameStartTimestampReg", "EventFrameStartFrameIDReg", "EventFrameEndTimestampReg",
        "EventFrameEndFrameIDReg", "EventExposureEndTimestampReg", "EventExposureEndFrameIDReg",
        "EventFrameTriggerMissedTimestampReg"};
    size_t registers = 0;
    ArvDomElement* root = arv_dom_document_get_document_element(ARV_DOM_DOCUMENT(gc));
    for (ArvDomNode* child = arv_dom_node_get_first_child(ARV_DOM_NODE(root)); child != nullptr;
         child = arv_dom_node_get_next_sibling(child)) {
        const char* name = ARV_IS_GC_REGISTER(child) ? arv_gc_feature_node_get_name(ARV_GC_FEATURE_NODE(child)) : "";
        if (ARV_IS_GC_REGISTER(child) && portValues.count(name) == 0) {
            ++registers;
            EXPECT_NE(nullptr, FindByName(name)) << name << " is in the document but not in the table";
        }
    }
    EXPECT_EQ(SfncRegisterNodes().size(), registers);
}

struct FeatureCase {
    const char* name;
    const char* category;
    const char* type;
    ArvGcAccessMode access;
    uint64_t address;
};

constexpr auto RO = ARV_GC_ACCESS_MODE_RO, RW = ARV_GC_ACCESS_MODE_RW;

const FeatureCase kFeatures[] = {
    {"DeviceVendorName", "DeviceControl", "String", RO, kDeviceVendorName},
    {"DeviceModelName", "DeviceControl", "String", RO, kDeviceModelName},
    {"DeviceSerialNumber", "DeviceControl", "String", RO, kDeviceSerialNumber},
    {"DeviceFirmwareVersion", "DeviceControl", "String", RO, kDeviceFirmwareVersion},
    {"DeviceUserID", "DeviceControl", "String", RW, kDeviceUserID},
    {"DeviceTemperature", "DeviceControl", "Float", RO, kDeviceTemperature},
    {"DeviceReset", "DeviceControl", "Command", RW, kDeviceReset},
    {"TimestampLatch", "DeviceControl", "Command", RW, kTimestampLatch},
    {"TimestampReset", "DeviceControl", "Command", RW, kTimestampReset},
    {"TimestampLatchValue", "DeviceControl", "Integer", RO, kTimestampLatchValue},
    {"DeviceTimestampFrequency", "DeviceControl", "Integer", RO, kDeviceTimestampFrequency},
    {"SensorWidth", "ImageFormatControl", "Integer", RO, kSensorWidth},
    {"SensorHeight", "ImageFormatControl", "Integer", RO, kSensorHeight},
    {"WidthMax", "ImageFormatControl", "Integer", RO, kWidthMax},
    {"HeightMax", "ImageFormatControl", "Integer", RO, kHeightMax},
    {"Width", "ImageFormatControl", "Integer", RW, kWidth},
    {"Height", "ImageFormatControl", "Integer", RW, kHeight},
    {"OffsetX", "ImageFormatControl", "Integer", RW, kOffsetX},
    {"OffsetY", "ImageFormatControl", "Integer", RW, kOffsetY},
    {"PixelFormat", "ImageFormatControl", "Enumeration", RW, kPixelFormat},
    {"ReverseX", "ImageFormatControl", "Boolean", RW, kReverseX},
    {"ReverseY", "ImageFormatControl", "Boolean", RW, kReverseY},
    {"BinningHorizontal", "ImageFormatControl", "Integer", RW, kBinningHorizontal},
    {"BinningVertical", "ImageFormatControl", "Integer", RW, kBinningVertical},
    {"BinningHorizontalMode", "ImageFormatControl", "Enumeration", RW, kBinningHorizontalMode},
    {"BinningVerticalMode", "ImageFormatControl", "Enumeration", RW, kBinningVerticalMode},
    {"DecimationHorizontal", "ImageFormatControl", "Integer", RW, kDecimationHorizontal},
    {"DecimationVertical", "ImageFormatControl", "Integer", RW, kDecimationVertical},
    {"TestPattern", "ImageFormatControl", "Enumeration", RW, kTestPattern},
    {"AcquisitionMode", "AcquisitionControl", "Enumeration", RW, kAcquisitionMode},
    {"AcquisitionStart", "AcquisitionControl", "Command", RW, kAcquisitionStart},
    {"AcquisitionStop", "AcquisitionControl", "Command", RW, kAcquisitionStop},
    {"AcquisitionFrameCount", "AcquisitionControl", "Integer", RW, kAcquisitionFrameCount},
    {"AcquisitionFrameRateEnable", "AcquisitionControl", "Boolean", RW, kAcquisitionFrameRateEnable},
    {"AcquisitionFrameRate", "AcquisitionControl", "Float", RW, kAcquisitionFrameRate},
    {"AcquisitionResultingFrameRate", "AcquisitionControl", "Float", RO, kAcquisitionResultingFrameRate},
    {"TriggerSelector", "AcquisitionControl", "Enumeration", RW, kTriggerSelector},
    {"TriggerMode", "AcquisitionControl", "Enumeration", RW, kTriggerMode},
    {"TriggerSoftware", "AcquisitionControl", "Command", RW, kTriggerSoftware},
    {"TriggerSource", "AcquisitionControl", "Enumeration", RW, kTriggerSource},
    {"TriggerActivation", "AcquisitionControl", "Enumeration", RW, kTriggerActivation},
    {"TriggerDelay", "AcquisitionControl", "Float", RW, kTriggerDelay},
    {"ExposureMode", "AcquisitionControl", "Enumeration", RW, kExposureMode},
    {"ExposureTime", "AcquisitionControl", "Float", RW, kExposureTime},
    {"ExposureAuto", "AcquisitionControl", "Enumeration", RW, kExposureAuto},
    {"GainSelector", "AnalogControl", "Enumeration", RW, kGainSelector},
    {"Gain", "AnalogControl", "Float", RW, kGain},
    {"GainAuto", "AnalogControl", "Enumeration", RW, kGainAuto},
    {"BlackLevel", "AnalogControl", "Float", RW, kBlackLevel},
    {"Gamma", "AnalogControl", "Float", RW, kGamma},
    {"PayloadSize", "TransportLayerControl", "Integer", RO, kPayloadSize},
    {"TLParamsLocked", "TransportLayerControl", "Integer", RW, kTLParamsLocked},
    {"ChunkModeActive", "ChunkDataControl", "Boolean", RW, kChunkModeActive},
    {"ChunkSelector", "ChunkDataControl", "Enumeration", RW, kChunkSelector},
    {"ChunkEnable", "ChunkDataControl", "Boolean", RW, kChunkEnable},
    {"EventSelector", "EventControl", "Enumeration", RW, kEventSelector},
    {"EventNotification", "EventControl", "Enumeration", RW, kEventNotification},
    {"UserSetSelector", "UserSetControl", "Enumeration", RW, kUserSetSelector},
    {"UserSetLoad", "UserSetControl", "Command", RW, kUserSetLoad},
    {"UserSetSave", "UserSetControl", "Command", RW, kUserSetSave},
    {"UserSetDefault", "UserSetControl", "Enumeration", RW, kUserSetDefault},
};

std::vector<std::string> Names(const GSList* list) {
    std::vector<std::string> names;
    for (; list != nullptr; list = list->next) {
        names.emplace_back(static_cast<const char*>(list->data));
    }
    return names;
}

// Every feature: its category, type, access and tool tip, and the register it reads and writes.
// All registers hold a different value at once, so a feature wired to the wrong one reads the wrong
// value.
TEST_F(SfncNodeMap, FeaturesReachTheirRegisters) {
    EXPECT_EQ((std::vector<std::string>{"DeviceControl", "ImageFormatControl", "AcquisitionControl",
                                        "AnalogControl", "TransportLayerControl", "ChunkDataControl",
                                        "EventControl", "UserSetControl"}),
              Names(arv_gc_category_get_features(ARV_GC_CATEGORY(Node("Root")))));
    std::set<uint64_t> addresses;
    for (const FeatureCase& feature : kFeatures) {
        addresses.insert(feature.address);
        const std::string type = TypeOf(feature.name);
        if (type == "String") {
            const std::string text = "at " + std::to_string(feature.address);
            std::memcpy(&memory[feature.address], text.c_str(), text.size() + 1);
        } else if (type == "Float") {
            Poke<double>(feature.address, feature.address + 0.5);
        } else if (type == "Boolean") {
            Poke<uint32_t>(feature.address, 1);
        } else {
            Poke<uint32_t>(feature.address, static_cast<uint32_t>(feature.address + 1));
        }
    }
    std::set<uint64_t> tableAddresses;
    for (const RegisterNode& reg : SfncRegisterNodes()) {
        tableAddresses.insert(reg.address);
    }
    EXPECT_EQ(tableAddresses, addresses) << "a register without its feature, or a feature without its register";

    for (const FeatureCase& feature : kFeatures) {
        SCOPED_TRACE(feature.name);
        const std::string type = TypeOf(feature.name);
        ASSERT_EQ(feature.type, type);
        ArvGcFeatureNode* node = Feature(feature.name);
        const std::vector<std::string> members =
            Names(arv_gc_category_get_features(ARV_GC_CATEGORY(Node(feature.category))));
        EXPECT_EQ(1, std::count(members.begin(), members.end(), feature.name)) << "not in " << feature.category;
        EXPECT_EQ(feature.access, arv_gc_feature_node_get_actual_access_mode(node));
        const char* toolTip = arv_gc_feature_node_get_tooltip(node);
        EXPECT_TRUE(toolTip != nullptr && *toolTip != '\0');
        EXPECT_EQ(ARV_GC_NAME_SPACE_STANDARD, arv_gc_feature_node_get_name_space(node));
        if (type == "String") {
            const char* text = Checked(feature.name, [&](GError** e) {
                return arv_gc_string_get_value(ARV_GC_STRING(node), e);
            });
            EXPECT_EQ("at " + std::to_string(feature.address), text != nullptr ? text : "");
        } else if (type == "Float") {
            EXPECT_EQ(feature.address + 0.5, Float(feature.name));
        } else if (type == "Boolean") {
            EXPECT_TRUE(Checked(feature.name, [&](GError** e) {
                return arv_gc_boolean_get_value(ARV_GC_BOOLEAN(node), e);
            }));
        } else if (type == "Enumeration") {
            EXPECT_EQ(int64_t(feature.address + 1), Checked(feature.name, [&](GError** e) {
                          return arv_gc_enumeration_get_int_value(ARV_GC_ENUMERATION(node), e);
                      }));
        } else if (type == "Integer") {
            EXPECT_EQ(int64_t(feature.address + 1), Integer(feature.name));
        } else {
            Checked(feature.name, [&](GError** e) {
                arv_gc_command_execute(ARV_GC_COMMAND(node), e);
                return 0;
            });
            EXPECT_EQ(1u, Peek<uint32_t>(feature.address)) << "the command value is 1";
        }
    }
}

// Entry names and values, in document order.
std::vector<std::pair<std::string, int64_t>> EntriesOf(ArvGcNode* enumeration) {
    std::map<std::string, int64_t> values;
    for (const GSList* item = arv_gc_enumeration_get_entries(ARV_GC_ENUMERATION(enumeration)); item != nullptr;
         item = item->next) {
        ArvGcEnumEntry* entry = ARV_GC_ENUM_ENTRY(item->data);
        const char* name = arv_gc_feature_node_get_name(ARV_GC_FEATURE_NODE(entry));
        values[name] = Checked(name, [&](GError** e) { return arv_gc_enum_entry_get_value(entry, e); });
    }
    guint count = 0;
    const char** names = Checked("entries", [&](GError** e) {
        return arv_gc_enumeration_dup_available_string_values(ARV_GC_ENUMERATION(enumeration), &count, e);
    });
    std::vector<std::pair<std::string, int64_t>> entries;
    for (guint i = 0; i < count; ++i) {
        entries.emplace_back(names[i], values.at(names[i]));
    }
    g_free(names);
    EXPECT_EQ(values.size(), entries.size()) << "an entry that is not available";
    return entries;
}

TEST_F(SfncNodeMap, EnumerationsCarryTheCameraValues) {
    using Entries = std::vector<std::pair<std::string, int64_t>>;
    const Entries autoModes{{"Off", kAutoOff}, {"Once", kAutoOnce}, {"Continuous", kAutoContinuous}};
    const Entries binningModes{{"Sum", kBinningSum}, {"Average", kBinningAverage}};
    const Entries userSets{{"Default", kUserSetDefaultSet}, {"UserSet1", kUserSet1}, {"UserSet2", kUserSet2},
                           {"UserSet3", kUserSet3}};
    const std::map<std::string, Entries> expected{
        {"TestPattern",
         {{"Off", kTestPatternOff},
          {"GreyDiagonalRampMoving", kTestPatternGreyDiagonalRampMoving},
          {"GreyDiagonalRamp", kTestPatternGreyDiagonalRamp},
          {"Checkerboard", kTestPatternCheckerboard},
          {"ColorBar", kTestPatternColorBar}}},
        {"AcquisitionMode", {{"Continuous", kContinuous}, {"SingleFrame", kSingleFrame}, {"MultiFrame", kMultiFrame}}},
        {"TriggerSelector", {{"FrameStart", kFrameStart}, {"AcquisitionStart", kAcquisitionStartTrigger}}},
        {"TriggerMode", {{"Off", 0}, {"On", 1}}},
        {"TriggerSource", {{"Software", kSourceSoftware}, {"Line0", kSourceLine0}}},
        {"TriggerActivation", {{"RisingEdge", 0}, {"FallingEdge", 1}}},
        {"ExposureMode", {{"Timed", 1}}},
        {"ExposureAuto", autoModes},
        {"GainAuto", autoModes},
        {"GainSelector", {{"All", 0}}},
        {"BinningHorizontalMode", binningModes},
        {"BinningVerticalMode", binningModes},
        {"ChunkSelector",
         {{"Timestamp", kChunkTimestamp},
          {"FrameID", kChunkFrameID},
          {"ExposureTime", kChunkExposureTime},
          {"Gain", kChunkGain},
          {"Width", kChunkWidth},
          {"Height", kChunkHeight},
          {"PixelFormat", kChunkPixelFormat}}},
        {"EventSelector",
         {{"AcquisitionStart", kEventAcquisitionStart},
          {"AcquisitionEnd", kEventAcquisitionEnd},
          {"FrameStart", kEventFrameStart},
          {"FrameEnd", kEventFrameEnd},
          {"ExposureEnd", kEventExposureEnd},
          {"FrameTriggerMissed", kEventFrameTriggerMissed}}},
        {"EventNotification", {{"Off", 0}, {"On", 1}}},
        {"UserSetSelector", userSets},
        {"UserSetDefault", userSets},
    };
    for (const auto& [name, entries] : expected) {
        EXPECT_EQ(entries, EntriesOf(Node(name))) << name;
    }
    Entries formats;
    const Quibbon::Sim::PixelFormatInfo* first = Quibbon::Sim::PixelFormatsBegin();
    std::for_each(first, first + Quibbon::Sim::PixelFormatCount(),
                  [&formats](const auto& format) { formats.emplace_back(format.name, format.code); });
    EXPECT_EQ(formats, EntriesOf(Node("PixelFormat")));
    EXPECT_EQ(formats, EntriesOf(Node("ChunkPixelFormat")));

    Poke<uint32_t>(kPixelFormat, 0x02180014);
    EXPECT_EQ("RGB8", Enumeration("PixelFormat"));
    EXPECT_EQ("", SetEnumeration("PixelFormat", "YUV422Packed"));
    EXPECT_EQ(0x0210001Fu, Peek<uint32_t>(kPixelFormat));
}

// With TLParamsLocked at 1, exactly the features a real camera locks while acquiring are locked.
TEST_F(SfncNodeMap, TLParamsLockedLocksThePayloadFeatures) {
    const std::set<std::string> locked{"Width", "Height", "PixelFormat", "BinningHorizontal", "BinningVertical",
                                       "DecimationHorizontal", "DecimationVertical", "AcquisitionMode",
                                       "AcquisitionFrameCount", "ChunkModeActive", "ChunkEnable"};
    const auto isLocked = [this](const char* name) {
        return Checked(name, [&](GError** e) { return arv_gc_feature_node_is_locked(Feature(name), e); }) != FALSE;
    };
    Poke<uint32_t>(kTLParamsLocked, 1);
    for (const FeatureCase& feature : kFeatures) {
        EXPECT_EQ(locked.count(feature.name) == 1, isLocked(feature.name)) << feature.name;
    }
    // The camera drops the lock when the acquisition ends: no cache may keep it.
    Poke<uint32_t>(kTLParamsLocked, 0);
    for (const std::string& name : locked) {
        EXPECT_FALSE(isLocked(name.c_str())) << name;
    }
}

// For every register, a value the camera changes reaches the node map: a NoCache register is read
// every time; a cached one keeps its value until one of its invalidators (or DeviceReset or
// UserSetLoad) is written, and is read again after each.
TEST_F(SfncNodeMap, CachedValuesFollowTheCamera) {
    for (const RegisterNode& reg : SfncRegisterNodes()) {
        SCOPED_TRACE(reg.name);
        RegisterBytes(reg);
        const std::vector<uint8_t> before = MemoryBytes(reg);
        Flip(reg);
        if (reg.caching == Caching::NoCache) {
            EXPECT_EQ(MemoryBytes(reg), RegisterBytes(reg)) << "read from the cache";
            continue;
        }
        EXPECT_EQ(before, RegisterBytes(reg)) << "not cached";
        std::vector<const char*> invalidators{"DeviceResetReg", "UserSetLoadReg"};
        for (const char* invalidator : reg.invalidators) {
            if (invalidator != nullptr) {
                invalidators.push_back(invalidator);
            }
        }
        for (const char* name : invalidators) {
            const RegisterNode* invalidator = FindByName(name);
            ASSERT_NE(nullptr, invalidator) << name;
            std::vector<uint8_t> bytes = MemoryBytes(*invalidator);
            Checked(name, [&](GError** e) {
                arv_gc_register_set(ARV_GC_REGISTER(Node(name)), bytes.data(), bytes.size(), e);
                return 0;
            });
            EXPECT_EQ(MemoryBytes(reg), RegisterBytes(reg)) << "still cached after a write of " << name;
            Flip(reg);
        }
    }
}

}  // namespace
