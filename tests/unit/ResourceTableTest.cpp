#include "resources/ResourceTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "gentl/Exceptions.h"

namespace {

using GenTL::CopyPadded;
using GenTL::CopyResource;
using Bytes = std::vector<uint8_t>;

struct Document {
    int32_t number;
    const char* type;
    const char* file_name;
    const char* genapi_namespace;
};

constexpr char kGenApi10[] = "http://www.genicam.org/GenApi/Version_1_0";
constexpr char kGenApi11[] = "http://www.genicam.org/GenApi/Version_1_1";

// The five module documents first; the remote device description is written against GenApi 1.1
// and carries GUIDs of its own.
const Document kDocuments[] = {
    {GenTL::kResourceSystem, GenTL::kResourceTypeSystem, GenTL::kFileNameSystem, kGenApi10},
    {GenTL::kResourceInterface, GenTL::kResourceTypeInterface, GenTL::kFileNameInterface, kGenApi10},
    {GenTL::kResourceDevice, GenTL::kResourceTypeDevice, GenTL::kFileNameDevice, kGenApi10},
    {GenTL::kResourceBuffer, GenTL::kResourceTypeBuffer, GenTL::kFileNameBuffer, kGenApi10},
    {GenTL::kResourceDataStream, GenTL::kResourceTypeDataStream, GenTL::kFileNameDataStream, kGenApi10},
    {GenTL::kResourceRemoteDevice, GenTL::kResourceTypeRemoteDevice, GenTL::kFileNameRemoteDevice, kGenApi11},
};

std::string CopyText(int32_t number) {
    Bytes buffer;
    CopyResource(nullptr, number, "", buffer);
    return std::string(buffer.begin(), buffer.end());
}

// Value of the first attribute name="..." in text, i.e. the root element's for header attributes.
std::string HeaderAttribute(const std::string& text, const std::string& name) {
    const size_t start = text.find(name + "=\"");
    if (start == std::string::npos) {
        return "<missing>";
    }
    const size_t value = start + name.size() + 2;
    return text.substr(value, text.find('"', value) - value);
}

// 8-4-4-4-12 hexadecimal digits.
bool IsGuid(const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? text[i] != '-' : !std::isxdigit(static_cast<unsigned char>(text[i]))) {
            return false;
        }
    }
    return text.size() == 36;
}

// buffer was filled from a previously used (0xFF) buffer: it must hold data, then zeros up to
// the next whole word, and nothing else.
void ExpectPaddedCopy(const Bytes& data, const Bytes& buffer, int32_t padded) {
    EXPECT_EQ(padded, static_cast<int32_t>((data.size() + 3) / 4 * 4));
    ASSERT_EQ(buffer.size(), static_cast<size_t>(padded));
    EXPECT_TRUE(std::equal(data.begin(), data.end(), buffer.begin()));
    EXPECT_TRUE(std::all_of(buffer.begin() + data.size(), buffer.end(), [](uint8_t b) { return b == 0; }));
}

TEST(CopyPaddedTest, PadsReusedBuffersWithZerosToWholeWords) {
    for (size_t size : {0u, 1u, 2u, 3u, 4u, 5u}) {
        SCOPED_TRACE(size);
        const Bytes data(size, 'x');
        Bytes buffer(8000, 0xFF);
        ExpectPaddedCopy(data, buffer, CopyPadded(data.data(), data.size(), buffer));
    }
}

TEST(CopyPaddedTest, RejectsSizesWhosePaddedLengthDoesNotFitTheResult) {
    const uint8_t byte = 0;
    Bytes buffer{1, 2, 3};
    EXPECT_THROW(CopyPadded(&byte, GenTL::kMaxDocumentSize + 1, buffer), GenTL::invalid_parameter_exception);
    EXPECT_EQ(buffer, (Bytes{1, 2, 3}));
}

TEST(CopyResourceTest, EachDocumentIsItsSourceFileZeroPaddedAndFollowsTheStorageRules) {
    for (const Document& doc : kDocuments) {
        SCOPED_TRACE(doc.file_name);
        std::ifstream in(std::string(QUARVO_RESOURCE_DIR) + "/" + doc.file_name, std::ios::binary);
        const Bytes source{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        ASSERT_FALSE(source.empty());
        Bytes buffer(20000, 0xFF);
        ExpectPaddedCopy(source, buffer, CopyResource(nullptr, doc.number, doc.type, buffer));

        const std::string text(buffer.begin(), buffer.end());
        EXPECT_EQ(text.rfind(R"(<?xml version="1.0" encoding="utf-8"?>)", 0), 0u);
        for (const char* banned : {"<!--", "<?xml-stylesheet", "schemaLocation"}) {
            EXPECT_EQ(text.find(banned), std::string::npos) << banned;
        }
        EXPECT_NE(text.find(std::string("xmlns=\"") + doc.genapi_namespace + "\""), std::string::npos);
    }
    // The System port's URL publishes this length: Local:KVTL.xml;940;1310.
    EXPECT_EQ(CopyText(GenTL::kResourceSystem).size(), 4880u);
    EXPECT_NE(CopyText(GenTL::kResourceSystem)[4877], '\0');
}

TEST(CopyResourceTest, ModuleDocumentsShareOneGuidPairAndTheRemoteDeviceHasItsOwn) {
    const std::string product = HeaderAttribute(CopyText(kDocuments[0].number), "ProductGuid");
    const std::string version = HeaderAttribute(CopyText(kDocuments[0].number), "VersionGuid");
    EXPECT_TRUE(IsGuid(product)) << product;
    EXPECT_TRUE(IsGuid(version)) << version;
    EXPECT_NE(product, version);
    for (const Document& doc : kDocuments) {
        if (doc.number == GenTL::kResourceRemoteDevice) {
            continue;
        }
        EXPECT_EQ(HeaderAttribute(CopyText(doc.number), "ProductGuid"), product) << doc.file_name;
        EXPECT_EQ(HeaderAttribute(CopyText(doc.number), "VersionGuid"), version) << doc.file_name;
    }
    const std::string remote = CopyText(GenTL::kResourceRemoteDevice);
    for (const char* name : {"ProductGuid", "VersionGuid"}) {
        const std::string guid = HeaderAttribute(remote, name);
        EXPECT_TRUE(IsGuid(guid)) << name << " " << guid;
        EXPECT_NE(guid, product) << name;
        EXPECT_NE(guid, version) << name;
    }
}

TEST(CopyResourceTest, OnlyTheNumberSelectsTheDocument) {
    Bytes expected, by_other_type, by_null_type;
    CopyResource(nullptr, GenTL::kResourceSystem, GenTL::kResourceTypeSystem, expected);
    CopyResource(&expected, GenTL::kResourceSystem, GenTL::kResourceTypeDataStream, by_other_type);
    CopyResource(nullptr, GenTL::kResourceSystem, nullptr, by_null_type);
    EXPECT_EQ(by_other_type, expected);
    EXPECT_EQ(by_null_type, expected);
}

TEST(CopyResourceTest, UnknownNumbersFailAndLeaveTheBufferUntouched) {
    for (int32_t number : {114, 117, 119, 122, 124, 126, 0, -115, INT_MIN, INT_MAX}) {
        Bytes buffer{'k', 'e', 'e', 'p'};
        try {
            CopyResource(nullptr, number, GenTL::kResourceTypeSystem, buffer);
            ADD_FAILURE() << "no exception for " << number;
        } catch (const GenTL::invalid_parameter_exception& e) {
            EXPECT_STREQ(e.what(), "Unknown resource") << number;
            EXPECT_EQ(e.GetErrorCode(), -1009) << number;
        }
        EXPECT_EQ(buffer, (Bytes{'k', 'e', 'e', 'p'})) << number;
    }
}

}  // namespace
