#include "consumer/GenApiPort.h"

#include <cstdio>
#include <vector>

namespace quarvo {

namespace {

std::string LastErrorText(const PortFunctions& functions) {
    char text[1024] = "";
    size_t size = sizeof text;
    GC_ERROR code = GC_ERR_SUCCESS;
    return functions.getLastError(&code, text, &size) == GC_ERR_SUCCESS ? text : "";
}

void Require(const PortFunctions& functions, GC_ERROR code, const char* call) {
    if (code != GC_ERR_SUCCESS) {
        throw GenTLError(call, code, LastErrorText(functions));
    }
}

// The port's description: the block named by its Local: URL.
std::vector<char> ReadDescription(const PortFunctions& functions, PORT_HANDLE port, std::string& url) {
    char text[1024] = {};
    size_t size = sizeof text;
    Require(functions, functions.getPortURL(port, text, &size), "GCGetPortURL");
    url = text;
    unsigned long long address = 0, length = 0;
    char file[512] = {};
    if (std::sscanf(text, "Local:%511[^;];%llx;%llx", file, &address, &length) != 3 &&
        std::sscanf(text, "local:%511[^;];%llx;%llx", file, &address, &length) != 3) {
        throw GenApiError("the port's description is at " + url + ", which is not a Local: URL this consumer reads");
    }
    const std::string name(file);
    if (name.size() >= 4 && name.compare(name.size() - 4, 4, ".zip") == 0) {
        throw GenApiError("the port's description " + url + " is compressed, which this consumer does not read");
    }
    std::vector<char> document(length);
    size = document.size();
    Require(functions, functions.readPort(port, address, document.data(), &size), "GCReadPort of the description");
    document.resize(size);
    return document;
}

}  // namespace

GenApiPort::GenApiPort(const PortFunctions& functions, PORT_HANDLE port) {
    std::string url;
    const std::vector<char> document = ReadDescription(functions, port, url);
    const GenTLPortFunctions portFunctions{functions.readPort, functions.writePort, functions.getLastError};
    m_p_device = Checked(url, [&](GError** error) {
        return gentl_port_device_new(&portFunctions, port, document.data(), document.size(), error);
    });
    m_p_genicam = arv_device_get_genicam(ARV_DEVICE(m_p_device));
    arv_gc_set_range_check_policy(m_p_genicam, ARV_RANGE_CHECK_POLICY_ENABLE);
    arv_gc_set_access_check_policy(m_p_genicam, ARV_ACCESS_CHECK_POLICY_ENABLE);
    arv_gc_set_register_cache_policy(m_p_genicam, ARV_REGISTER_CACHE_POLICY_DISABLE);
}

GenApiPort::~GenApiPort() { g_clear_object(&m_p_device); }

ArvGcNode* GenApiPort::FindNode(const std::string& name) const { return arv_gc_get_node(m_p_genicam, name.c_str()); }

ArvGcNode* GenApiPort::Node(const std::string& name) const {
    ArvGcNode* node = FindNode(name);
    if (node == nullptr) {
        throw GenApiError(name + ": no such feature");
    }
    return node;
}

std::vector<std::string> GenApiPort::EnumerationEntries(const std::string& name) {
    guint count = 0;
    const char** entries = On<ArvGcEnumeration>(name, [&count](ArvGcEnumeration* node, GError** error) {
        return arv_gc_enumeration_dup_available_string_values(node, &count, error);
    });
    std::vector<std::string> names(entries, entries + count);
    g_free(entries);
    return names;
}

void GenApiPort::SetInteger(const std::string& name, int64_t value) {
    On<ArvGcInteger>(name, [value](ArvGcInteger* node, GError** error) {
        arv_gc_integer_set_value(node, value, error);
        return 0;
    });
}

void GenApiPort::SetFloat(const std::string& name, double value) {
    On<ArvGcFloat>(name, [value](ArvGcFloat* node, GError** error) {
        arv_gc_float_set_value(node, value, error);
        return 0;
    });
}

void GenApiPort::SetBoolean(const std::string& name, bool value) {
    On<ArvGcBoolean>(name, [value](ArvGcBoolean* node, GError** error) {
        arv_gc_boolean_set_value(node, value ? TRUE : FALSE, error);
        return 0;
    });
}

void GenApiPort::SetEnumeration(const std::string& name, const std::string& entry) {
    On<ArvGcEnumeration>(name, [&entry](ArvGcEnumeration* node, GError** error) {
        return arv_gc_enumeration_set_string_value(node, entry.c_str(), error);
    });
}

void GenApiPort::SetString(const std::string& name, const std::string& value) {
    On<ArvGcString>(name, [&value](ArvGcString* node, GError** error) {
        arv_gc_string_set_value(node, value.c_str(), error);
        return 0;
    });
}

void GenApiPort::Execute(const std::string& name) {
    On<ArvGcCommand>(name, [](ArvGcCommand* node, GError** error) {
        arv_gc_command_execute(node, error);
        return 0;
    });
}

std::set<std::string> GenApiPort::ValueFeaturesUnder(const std::string& category) {
    std::set<std::string> visited, found;
    Collect(category, visited, found);
    return found;
}

void GenApiPort::Collect(const std::string& name, std::set<std::string>& visited, std::set<std::string>& found) const {
    if (!visited.insert(name).second) {
        return;
    }
    ArvGcNode* node = Node(name);
    if (ARV_IS_GC_CATEGORY(node)) {
        for (const GSList* item = arv_gc_category_get_features(ARV_GC_CATEGORY(node)); item; item = item->next) {
            Collect(static_cast<const char*>(item->data), visited, found);
        }
    } else if (ARV_IS_GC_INTEGER(node) || ARV_IS_GC_FLOAT(node) || ARV_IS_GC_STRING(node) ||
               ARV_IS_GC_ENUMERATION(node) || ARV_IS_GC_BOOLEAN(node)) {
        found.insert(name);
    }
}

}  // namespace quarvo
