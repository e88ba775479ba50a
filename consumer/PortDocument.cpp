#include "consumer/PortDocument.h"

#include <arv.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "consumer/Errors.h"
#include "consumer/ProducerLibrary.h"

namespace quarvo {

namespace {

void Require(const PortFunctions& functions, GC_ERROR code, const char* call) {
    if (code != GC_ERR_SUCCESS) {
        throw GenTLError(call, code, LastErrorText(functions.getLastError));
    }
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

bool HasEnding(const std::string& name, const std::string& ending) {
    const std::string lower = Lower(name);
    return lower.size() > ending.size() && lower.compare(lower.size() - ending.size(), ending.size(), ending) == 0;
}

// Adds one reason to the "; "-separated list of reasons.
void AddReason(std::string& reasons, const std::string& reason) { reasons += (reasons.empty() ? "" : "; ") + reason; }

// A text answer of GCGetPortURLInfo, the size asked first.
std::string URLInfoText(const PortFunctions& functions, PORT_HANDLE port, uint32_t index) {
    INFO_DATATYPE type = INFO_DATATYPE_UNKNOWN;
    size_t size = 0;
    Require(functions, functions.getPortURLInfo(port, index, URL_INFO_URL, &type, nullptr, &size),
            "GCGetPortURLInfo(URL_INFO_URL)");
    std::vector<char> text(size + 1, '\0');
    Require(functions, functions.getPortURLInfo(port, index, URL_INFO_URL, &type, text.data(), &size),
            "GCGetPortURLInfo(URL_INFO_URL)");
    return text.data();
}

// The URLs the port lists; none when the producer does not list them. A URL that cannot be asked
// for adds its reason to `reasons`.
std::vector<std::string> ListedURLs(const PortFunctions& functions, PORT_HANDLE port, std::string& reasons) {
    uint32_t count = 0;
    if (functions.getNumPortURLs == nullptr || functions.getPortURLInfo == nullptr ||
        functions.getNumPortURLs(port, &count) != GC_ERR_SUCCESS) {
        return {};
    }
    std::vector<std::string> urls;
    for (uint32_t index = 0; index < count; ++index) {
        try {
            urls.push_back(URLInfoText(functions, port, index));
        } catch (const GenTLError& error) {
            AddReason(reasons, "URL " + std::to_string(index) + ": " + error.what());
        }
    }
    return urls;
}

std::string ReportedURL(const PortFunctions& functions, PORT_HANDLE port) {
    if (functions.getPortURL == nullptr) {
        throw GenApiError(
            "the producer names no GenApi document: it exports neither GCGetPortURLInfo nor GCGetPortURL");
    }
    size_t size = 0;
    Require(functions, functions.getPortURL(port, nullptr, &size), "GCGetPortURL");
    std::vector<char> text(size + 1, '\0');
    Require(functions, functions.getPortURL(port, text.data(), &size), "GCGetPortURL");
    return text.data();
}

uint64_t ParseHex(const std::string& text) {
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 16);
    if (text.empty() || *end != '\0') {
        throw GenApiError("'" + text + "' is not a hexadecimal number");
    }
    return value;
}

// "[///]name;address;length" after "Local:": the block of the port's register space.
std::vector<char> ReadLocal(const PortFunctions& functions, PORT_HANDLE port, const std::string& location,
                            std::string& name) {
    // Larger than any GenApi document: a length beyond it is a producer's mistake, not memory to reserve.
    constexpr uint64_t kMaxDocumentBytes = uint64_t{64} << 20;
    const size_t start = location.find_first_not_of('/');
    const std::string fields = start == std::string::npos ? "" : location.substr(start);
    const size_t first = fields.find(';');
    const size_t second = first == std::string::npos ? first : fields.find(';', first + 1);
    if (second == std::string::npos) {
        throw GenApiError("not of the form Local:NAME;ADDRESS;LENGTH");
    }
    name = fields.substr(0, first);
    const uint64_t address = ParseHex(fields.substr(first + 1, second - first - 1));
    const uint64_t length = ParseHex(fields.substr(second + 1));
    if (length > kMaxDocumentBytes) {
        throw GenApiError("a document of " + std::to_string(length) + " bytes is larger than any GenApi document");
    }
    std::vector<char> document(length);
    size_t size = document.size();
    Require(functions, functions.readPort(port, address, document.data(), &size), "GCReadPort of the document");
    document.resize(size);
    return document;
}

std::string PercentDecoded(const std::string& text) {
    std::string decoded;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            decoded += static_cast<char>(std::strtol(text.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

// "///path" (or "//localhost/path", or a bare path) after "File:": a file of this machine.
std::vector<char> ReadFile(const std::string& location, std::string& name) {
    std::string path = location;
    if (path.rfind("//", 0) == 0) {
        const size_t slash = path.find('/', 2);
        const std::string host = path.substr(2, slash == std::string::npos ? std::string::npos : slash - 2);
        if (!host.empty() && Lower(host) != "localhost") {
            throw GenApiError("the file is on another machine (" + host + ")");
        }
        path = slash == std::string::npos ? "" : path.substr(slash);
    }
    name = PercentDecoded(path);
    std::ifstream in(name, std::ios::binary);
    if (!in) {
        throw GenApiError("cannot read the file " + name);
    }
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The first .xml file of a zip archive.
std::vector<char> Unzipped(const std::vector<char>& archive, const std::string& name) {
    ArvZip* zip = arv_zip_new(archive.data(), archive.size());
    const char* member = nullptr;
    const GSList* files = zip != nullptr ? arv_zip_get_file_list(zip) : nullptr;
    for (const GSList* item = files; item != nullptr && member == nullptr; item = item->next) {
        const char* candidate = arv_zip_file_get_name(static_cast<ArvZipFile*>(item->data));
        if (HasEnding(candidate, ".xml")) {
            member = candidate;
        }
    }
    size_t size = 0;
    char* data = member != nullptr ? static_cast<char*>(arv_zip_get_file(zip, member, &size)) : nullptr;
    std::vector<char> document(data, data + (data != nullptr ? size : 0));
    g_free(data);
    if (zip != nullptr) {
        arv_zip_free(zip);
    }
    if (data == nullptr) {
        throw GenApiError(name + " is not a zip archive holding an .xml document");
    }
    return document;
}

std::vector<char> Fetch(const PortFunctions& functions, PORT_HANDLE port, const std::string& url) {
    const size_t colon = url.find(':');
    const std::string scheme = Lower(url.substr(0, colon));
    const std::string location = colon == std::string::npos ? "" : url.substr(colon + 1, url.find('?') - colon - 1);
    std::string name;
    std::vector<char> document;
    if (scheme == "local") {
        document = ReadLocal(functions, port, location, name);
    } else if (scheme == "file") {
        document = ReadFile(location, name);
    } else {
        throw GenApiError("the URL kind '" + url.substr(0, colon) +
                          ":' is not supported; this consumer reads Local: and File: URLs");
    }
    return HasEnding(name, ".zip") ? Unzipped(document, name) : document;
}

}  // namespace

PortDocument ReadPortDocument(const PortFunctions& functions, PORT_HANDLE port) {
    std::string reasons;
    std::vector<std::string> urls = ListedURLs(functions, port, reasons);
    if (urls.empty()) {
        try {
            urls.push_back(ReportedURL(functions, port));
        } catch (const std::exception& error) {
            AddReason(reasons, error.what());
        }
    }
    for (const std::string& url : urls) {
        try {
            return {url, Fetch(functions, port, url)};
        } catch (const std::exception& error) {
            AddReason(reasons, url + ": " + error.what());
        }
    }
    throw GenApiError("the port's GenApi document cannot be read: " + reasons);
}

}  // namespace quarvo
