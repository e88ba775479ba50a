#include "consumer/GenApiPort.h"

namespace quarvo {

GenApiPort::GenApiPort(const PortFunctions& functions, PORT_HANDLE port) {
    const PortDocument document = ReadPortDocument(functions, port);
    const GenTLPortFunctions portFunctions{functions.readPort, functions.writePort, functions.getLastError};
    m_p_device = Checked(document.url, [&](GError** error) {
        return gentl_port_device_new(&portFunctions, port, document.xml.data(), document.xml.size(), error);
    });
    m_p_genicam = arv_device_get_genicam(ARV_DEVICE(m_p_device));
    arv_gc_set_range_check_policy(m_p_genicam, ARV_RANGE_CHECK_POLICY_ENABLE);
    arv_gc_set_access_check_policy(m_p_genicam, ARV_ACCESS_CHECK_POLICY_ENABLE);
    arv_gc_set_register_cache_policy(m_p_genicam, ARV_REGISTER_CACHE_POLICY_DISABLE);
}

GenApiPort::~GenApiPort() { g_clear_object(&m_p_device); }

ArvGcNode* GenApiPort::FindNode(const std::string& name) const { return arv_gc_get_node(m_p_genicam, name.c_str()); }

bool GenApiPort::IsCommand(const std::string& name) const {
    ArvGcNode* node = FindNode(name);
    return node != nullptr && ARV_IS_GC_COMMAND(node);
}

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
