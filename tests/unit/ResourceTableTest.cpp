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

const std::string kDeclaration = R"(<?xml version="1.0" encoding="utf-8"?>)";

struct Document {
    int32_t number;
    const char* type;
    const char* file_name;
};

const Document kDocuments[] = {
    {GenTL::kResourceSystem, GenTL::kResourceTypeSystem, GenTL::kFileNameSystem},
    {GenTL::kResourceInterface, GenTL::kResourceTypeInterface, GenTL::kFileNameInterface},
    {GenTL::kResourceDevice, GenTL::kResourceTypeDevice, GenTL::kFileNameDevice},
    {GenTL::kResourceBuffer, GenTL::kResourceTypeBuffer, GenTL::kFileNameBuffer},
    {GenTL::kResourceDataStream, GenTL::kResourceTypeDataStream, GenTL::kFileNameDataStream},
};

Bytes ReadSourceFile(const std::string& file_name) {
    std::ifstream in(std::string(QUARVO_RESOURCE_DIR) + "/" + file_name, std::ios::binary);
    EXPECT_TRUE(in) << file_name;
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string CopyText(int32_t number) {
    Bytes buffer;
    CopyResource(nullptr, number, "", buffer);
    return std::string(buffer.begin(), buffer.end());
}

// Value of the first attribute name="..." in text, i.e. the root element's for header attributes.
std::string HeaderAttribute(const std::string& text, const std::string& name) {
    const std::string key = name + "=\"";
    const size_t start = text.find(key);
    if (start == std::string::npos) {
        return "<missing " + name + ">";
    }
    const size_t value = start + key.size();
    return text.substr(value, text.find('"', value) - value);
}

// 8-4-4-4-12 hexadecimal digits.
bool IsGuid(const std::string& text) {
    if (text.size() != 36) {
        return false;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        const bool dash_position = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash_position ? text[i] != '-' : !std::isxdigit(static_cast<unsigned char>(text[i]))) {
            return false;
        }
    }
    return true;
}

size_t RoundUpToWord(size_t size) { return (size + 3) / 4 * 4; }

TEST(CopyPaddedTest, PadsWithZerosToWholeWords) {
    for (size_t size : {0u, 1u, 2u, 3u, 4u, 5u, 3300u, 4878u}) {
        const Bytes data(size, 'x');
        Bytes buffer;
        const int32_t padded = CopyPadded(data.data(), data.size(), buffer);
        EXPECT_EQ(padded, static_cast<int32_t>(RoundUpToWord(size))) << size;
        ASSERT_EQ(buffer.size(), static_cast<size_t>(padded)) << size;
        EXPECT_TRUE(std::equal(data.begin(), data.end(), buffer.begin())) << size;
        EXPECT_TRUE(std::all_of(buffer.begin() + size, buffer.end(), [](uint8_t b) { return b == 0; }))
            << size;
    }
}

TEST(CopyPaddedTest, ReusedBufferIsTruncatedAndItsOldBytesDoNotLeakIntoThePadding) {
    const Bytes data(4878, 'x');
    Bytes buffer(8000, 0xFF);
    ASSERT_EQ(CopyPadded(data.data(), data.size(), buffer), 4880);
    ASSERT_EQ(buffer.size(), 4880u);
    EXPECT_EQ(buffer[4877], 'x');
    EXPECT_EQ(buffer[4878], 0);
    EXPECT_EQ(buffer[4879], 0);
}

TEST(CopyPaddedTest, RejectsSizesWhosePaddedLengthDoesNotFitTheResult) {
    const uint8_t byte = 0;
    Bytes buffer{1, 2, 3};
    EXPECT_THROW(CopyPadded(&byte, GenTL::kMaxDocumentSize + 1, buffer),
                 GenTL::invalid_parameter_exception);
    EXPECT_EQ(buffer, (Bytes{1, 2, 3}));
}

TEST(CopyResourceTest, EachDocumentIsItsSourceFileZeroPaddedToWholeWords) {
    for (const Document& doc : kDocuments) {
        SCOPED_TRACE(doc.file_name);
        const Bytes source = ReadSourceFile(doc.file_name);
        ASSERT_FALSE(source.empty());
        Bytes buffer(20000, 0xFF);
        const int32_t padded = CopyResource(nullptr, doc.number, doc.type, buffer);
        EXPECT_EQ(padded, static_cast<int32_t>(RoundUpToWord(source.size())));
        ASSERT_EQ(buffer.size(), static_cast<size_t>(padded));
        EXPECT_TRUE(std::equal(source.begin(), source.end(), buffer.begin()));
        EXPECT_TRUE(
            std::all_of(buffer.begin() + source.size(), buffer.end(), [](uint8_t b) { return b == 0; }));
    }
}

TEST(CopyResourceTest, DocumentsFollowTheStorageRules) {
    for (const Document& doc : kDocuments) {
        SCOPED_TRACE(doc.file_name);
        const std::string text = CopyText(doc.number);
        EXPECT_EQ(text.compare(0, kDeclaration.size(), kDeclaration), 0);
        EXPECT_EQ(text.find("<!--"), std::string::npos);
        EXPECT_EQ(text.find("<?xml-stylesheet"), std::string::npos);
        EXPECT_EQ(text.find("schemaLocation"), std::string::npos);
        EXPECT_NE(text.find(R"(xmlns="http://www.genicam.org/GenApi/Version_1_0")"), std::string::npos);
    }
}

TEST(CopyResourceTest, AllDocumentsShareOneValidProductAndVersionGuid) {
    const std::string first = CopyText(kDocuments[0].number);
    const std::string product = HeaderAttribute(first, "ProductGuid");
    const std::string version = HeaderAttribute(first, "VersionGuid");
    EXPECT_TRUE(IsGuid(product)) << product;
    EXPECT_TRUE(IsGuid(version)) << version;
    EXPECT_NE(product, version);
    for (const Document& doc : kDocuments) {
        SCOPED_TRACE(doc.file_name);
        const std::string text = CopyText(doc.number);
        EXPECT_EQ(HeaderAttribute(text, "ProductGuid"), product);
        EXPECT_EQ(HeaderAttribute(text, "VersionGuid"), version);
    }
}

// The System port publishes its description as Local:KVTL.xml;940;1310, i.e. 4880 bytes.
TEST(CopyResourceTest, SystemDescriptionIs4878BytesPaddedTo4880) {
    Bytes buffer;
    EXPECT_EQ(CopyResource(nullptr, GenTL::kResourceSystem, GenTL::kResourceTypeSystem, buffer), 4880);
    ASSERT_EQ(buffer.size(), 4880u);
    EXPECT_NE(buffer[4877], 0);
    EXPECT_EQ(buffer[4878], 0);
    EXPECT_EQ(buffer[4879], 0);
}

TEST(CopyResourceTest, OnlyTheNumberSelectsTheDocument) {
    Bytes expected;
    CopyResource(nullptr, GenTL::kResourceSystem, GenTL::kResourceTypeSystem, expected);
    Bytes by_other_type;
    CopyResource(&expected, GenTL::kResourceSystem, GenTL::kResourceTypeDataStream, by_other_type);
    Bytes by_null_type;
    CopyResource(nullptr, GenTL::kResourceSystem, nullptr, by_null_type);
    EXPECT_EQ(by_other_type, expected);
    EXPECT_EQ(by_null_type, expected);
}

TEST(CopyResourceTest, UnknownNumbersFailAndLeaveTheBufferUntouched) {
    for (int32_t number : {114, 117, 119, 122, 123, 124, 126, 0, -115, INT_MIN, INT_MAX}) {
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
