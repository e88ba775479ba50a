// A port's GenApi document, fetched the way a consumer finds it: the URLs the port lists through
// GCGetNumPortURLs / GCGetPortURLInfo, tried in their order, else the one URL GCGetPortURL gives.
// Local: URLs name a block of the port's register space, File: URLs a file; a document whose name
// ends in .zip is a zip archive holding it.
#pragma once

#include <string>
#include <vector>

#include "gentl/GenTL.h"

namespace quarvo {

// The producer functions a port needs; the three ways of naming the document may be null when
// the producer does not offer them.
struct PortFunctions {
    decltype(&::GCGetPortURL) getPortURL;
    decltype(&::GCGetNumPortURLs) getNumPortURLs;
    decltype(&::GCGetPortURLInfo) getPortURLInfo;
    decltype(&::GCReadPort) readPort;
    decltype(&::GCWritePort) writePort;
    decltype(&::GCGetLastError) getLastError;
};

struct PortDocument {
    std::string url;        // where it came from
    std::vector<char> xml;  // the document, uncompressed
};

// The first document the port names that can be read; throws GenApiError naming each URL tried
// and why it could not be read (an unsupported kind of URL among them), or why the producer
// named none.
PortDocument ReadPortDocument(const PortFunctions& functions, PORT_HANDLE port);

}  // namespace quarvo
