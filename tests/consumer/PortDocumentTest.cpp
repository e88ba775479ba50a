// Finding a port's GenApi document through a fake producer's port: each kind of URL (a block of
// the port, zipped or not; a file, zipped or not), the URLs tried in the order the port lists
// them, the older single URL, and what is said when no URL can be read.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "consumer/Errors.h"
#include "consumer/PortDocument.h"

namespace quarvo_test {
namespace {

constexpr uint64_t kBlockAddress = 0x1000;

// What the fake port offers; the port functions are plain C functions, so it is global.
struct FakePort {
    std::vector<std::string> listed;  // through GCGetPortURLInfo; none: GCGetNumPortURLs fails
    std::string single;               // GCGetPortURL's; empty: it fails
    std::vector<char> block;          // the port's bytes at kBlockAddress
} g_port;

GC_ERROR AnswerText(const std::string& text, void* buffer, size_t* size) {
    if (buffer != nullptr) {
        if (*size <= text.size()) {
            return GC_ERR_BUFFER_TOO_SMALL;
        }
        std::memcpy(buffer, text.c_str(), text.size() + 1);
    }
    *size = text.size() + 1;
    return GC_ERR_SUCCESS;
}

GC_ERROR GetPortURL(PORT_HANDLE, char* url, size_t* size) {
    return g_port.single.empty() ? GC_ERR_NOT_IMPLEMENTED : AnswerText(g_port.single, url, size);
}

GC_ERROR GetNumPortURLs(PORT_HANDLE, uint32_t* count) {
    *count = static_cast<uint32_t>(g_port.listed.size());
    return g_port.listed.empty() ? GC_ERR_NOT_IMPLEMENTED : GC_ERR_SUCCESS;
}

GC_ERROR GetPortURLInfo(PORT_HANDLE, uint32_t index, URL_INFO_CMD command, INFO_DATATYPE* type, void* buffer,
                        size_t* size) {
    if (index >= g_port.listed.size() || command != URL_INFO_URL) {
        return GC_ERR_INVALID_PARAMETER;
    }
    *type = INFO_DATATYPE_STRING;
    return AnswerText(g_port.listed[index], buffer, size);
}

GC_ERROR ReadPort(PORT_HANDLE, uint64_t address, void* buffer, size_t* size) {
    if (address < kBlockAddress || address - kBlockAddress + *size > g_port.block.size()) {
        return GC_ERR_INVALID_ADDRESS;
    }
    std::memcpy(buffer, g_port.block.data() + (address - kBlockAddress), *size);
    return GC_ERR_SUCCESS;
}

GC_ERROR GetLastError(GC_ERROR* code, char* text, size_t* size) {
    *code = GC_ERR_SUCCESS;
    return AnswerText("", text, size);
}

const quarvo::PortFunctions kPort{GetPortURL, GetNumPortURLs, GetPortURLInfo, ReadPort, nullptr, GetLastError};

std::vector<char> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// "Local:<name>;1000;<size in hex>".
std::string LocalURL(const std::string& name, size_t size) {
    char text[64];
    std::snprintf(text, sizeof text, ";%llx;%zx", static_cast<unsigned long long>(kBlockAddress), size);
    return "Local:" + name + text;
}

class PortDocument : public ::testing::Test {
protected:
    void SetUp() override { g_port = FakePort(); }

    const std::vector<char> xml = FileBytes(QUARVO_TEST_DOCUMENT);
    const std::vector<char> zip = FileBytes(QUARVO_TEST_DOCUMENT_ZIP);
};

TEST_F(PortDocument, ReadsEachKindOfURLInTheOrderListed) {
    ASSERT_GT(xml.size(), 1000u);
    ASSERT_LT(zip.size(), xml.size());
    struct Case {
        std::vector<std::string> listed;
        std::string single;
        std::vector<char> block;
        std::string used;
    };
    const std::string local = LocalURL("KVTL.xml", xml.size());
    const std::string zipped = "local:///KVTL.ZIP" + LocalURL("", zip.size()).substr(6) + "?SchemaVersion=1.0.0";
    const std::string file = std::string("File://") + QUARVO_TEST_DOCUMENT;
    const std::string zippedFile = std::string("file://localhost") + QUARVO_TEST_DOCUMENT_ZIP;
    const Case cases[] = {
        {{local}, "", xml, local},
        {{zipped}, "", zip, zipped},
        {{file}, "", {}, file},
        {{zippedFile}, "", {}, zippedFile},
        {{"http://www.example.com/camera.zip", local}, "", xml, local},  // an unsupported kind is passed over
        {{}, local, xml, local},                                           // no list: the single URL
    };
    for (const Case& test : cases) {
        g_port = {test.listed, test.single, test.block};
        const quarvo::PortDocument document = quarvo::ReadPortDocument(kPort, nullptr);
        EXPECT_EQ(test.used, document.url);
        EXPECT_TRUE(document.xml == xml) << test.used;
    }
}

TEST_F(PortDocument, SaysWhyNoURLCanBeRead) {
    struct Case {
        std::vector<std::string> listed;
        std::string single;
        std::vector<char> block;
        std::string message;
    };
    const Case cases[] = {
        {{"http://www.example.com/camera.zip"}, LocalURL("KVTL.xml", xml.size()), xml,
         "http://www.example.com/camera.zip: the URL kind 'http:' is not supported; this consumer reads Local: and "
         "File: URLs"},
        {{"File:///nonexistent/camera.xml"}, "", {}, "cannot read the file /nonexistent/camera.xml"},
        {{"File://camera.example.com/camera.xml"}, "", {}, "the file is on another machine (camera.example.com)"},
        {{LocalURL("KVTL.xml", xml.size() + 1)}, "", xml,
         "GCReadPort of the document failed with GC_ERR_INVALID_ADDRESS"},
        {{LocalURL("KVTL.zip", xml.size())}, "", xml, "KVTL.zip is not a zip archive holding an .xml document"},
        {{"Local:KVTL.xml;1000"}, "", xml, "not of the form Local:NAME;ADDRESS;LENGTH"},
        {{"Local:///"}, "", xml, "not of the form Local:NAME;ADDRESS;LENGTH"},
        {{"Local:KVTL.xml;1000;-1"}, "", xml, "larger than any GenApi document"},
        {{}, "", xml, "GCGetPortURL failed with GC_ERR_NOT_IMPLEMENTED"},
    };
    for (const Case& test : cases) {
        g_port = {test.listed, test.single, test.block};
        try {
            quarvo::ReadPortDocument(kPort, nullptr);
            ADD_FAILURE() << "read although: " << test.message;
        } catch (const quarvo::GenApiError& error) {
            EXPECT_NE(std::string::npos, std::string(error.what()).find(test.message)) << error.what();
        }
    }
}

}  // namespace
}  // namespace quarvo_test
