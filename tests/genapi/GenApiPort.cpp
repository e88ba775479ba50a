#include "genapi/GenApiPort.h"

#include <strings.h>

#include <algorithm>

namespace quarvo_test {

namespace {

// Owns the GError that an Aravis call may set and turns it into a GenApiError.
class ErrorSlot {
public:
    ErrorSlot() = default;
    ErrorSlot(const ErrorSlot&) = delete;
    ErrorSlot& operator=(const ErrorSlot&) = delete;
    ~ErrorSlot() { g_clear_error(&m_p_error); }

    GError** operator&() { return &m_p_error; }

    void ThrowIfSet(const std::string& feature) {
        if (m_p_error != nullptr) {
            throw GenApiError(feature + ": " + m_p_error->message);
        }
    }

private:
    GError* m_p_error = nullptr;
};

void Require(GC_ERROR code, const ProducerLib& lib, const char* what) {
    if (code != GC_ERR_SUCCESS) {
        throw GenApiError(std::string(what) + " failed with " + std::to_string(code) + ": " + lib.Error().text);
    }
}

std::string FetchURL(const ProducerLib& lib, PORT_HANDLE port) {
    size_t size = 0;
    Require(lib.GCGetPortURL(port, nullptr, &size), lib, "GCGetPortURL (size query)");
    std::string text(size, '\0');
    Require(lib.GCGetPortURL(port, &text[0], &size), lib, "GCGetPortURL");
    return text.c_str();
}

struct LocalURL {
    uint64_t address;
    uint64_t size;
};

uint64_t ParseHex(const std::string& text, const std::string& url) {
    if (text.empty() || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        throw GenApiError("malformed number '" + text + "' in URL " + url);
    }
    return std::stoull(text, nullptr, 16);
}

// "Local:<file>;<hex address>;<hex size>", optionally followed by "?<parameters>".
LocalURL ParseLocalURL(const std::string& url) {
    const std::string scheme = "local:";
    if (url.size() < scheme.size() || strncasecmp(url.c_str(), scheme.c_str(), scheme.size()) != 0) {
        throw GenApiError("not a local URL: " + url);
    }
    const std::string body = url.substr(scheme.size(), url.find('?') - scheme.size());
    const size_t first = body.find(';');
    const size_t second = first == std::string::npos ? first : body.find(';', first + 1);
    if (second == std::string::npos || body.find(';', second + 1) != std::string::npos) {
        throw GenApiError("a local URL needs file;address;size: " + url);
    }
    return {ParseHex(body.substr(first + 1, second - first - 1), url), ParseHex(body.substr(second + 1), url)};
}

std::vector<char> ReadDocument(const ProducerLib& lib, PORT_HANDLE port, const LocalURL& url) {
    std::vector<char> document(url.size);
    size_t size = document.size();
    Require(lib.GCReadPort(port, url.address, document.data(), &size), lib, "GCReadPort of the description");
    if (size != document.size()) {
        throw GenApiError("GCReadPort of the description returned " + std::to_string(size) + " of " +
                          std::to_string(document.size()) + " bytes");
    }
    return document;
}

bool IsValueFeature(ArvGcNode* node) {
    return ARV_IS_GC_INTEGER(node) || ARV_IS_GC_FLOAT(node) || ARV_IS_GC_STRING(node) ||
           ARV_IS_GC_ENUMERATION(node) || ARV_IS_GC_BOOLEAN(node);
}

}  // namespace

GenApiPort::GenApiPort(const ProducerLib& lib, PORT_HANDLE port)
    : m_str_url(FetchURL(lib, port)), m_vec_document(ReadDocument(lib, port, ParseLocalURL(m_str_url))) {
    const GenTLPortFunctions functions{lib.GCReadPort, lib.GCWritePort, lib.GCGetLastError};
    ErrorSlot error;
    m_p_device = gentl_port_device_new(&functions, port, m_vec_document.data(), m_vec_document.size(), &error);
    error.ThrowIfSet(m_str_url);
    m_p_genicam = arv_device_get_genicam(ARV_DEVICE(m_p_device));
    arv_gc_set_range_check_policy(m_p_genicam, ARV_RANGE_CHECK_POLICY_ENABLE);
    arv_gc_set_access_check_policy(m_p_genicam, ARV_ACCESS_CHECK_POLICY_ENABLE);
    arv_gc_set_register_cache_policy(m_p_genicam, ARV_REGISTER_CACHE_POLICY_DISABLE);
}

GenApiPort::~GenApiPort() { g_clear_object(&m_p_device); }

ArvGcNode* GenApiPort::Node(const std::string& name) const {
    ArvGcNode* node = arv_gc_get_node(m_p_genicam, name.c_str());
    if (node == nullptr) {
        throw GenApiError(name + ": no such node in " + m_str_url);
    }
    return node;
}

template <class T>
T* GenApiPort::Typed(const std::string& name, GType type, const char* kind) const {
    ArvGcNode* node = Node(name);
    if (!G_TYPE_CHECK_INSTANCE_TYPE(node, type)) {
        throw GenApiError(name + ": not " + kind + " but " + G_OBJECT_TYPE_NAME(node));
    }
    return reinterpret_cast<T*>(node);
}

ArvGcInteger* GenApiPort::IntegerNode(const std::string& name) const {
    return Typed<ArvGcInteger>(name, ARV_TYPE_GC_INTEGER, "an integer");
}

ArvGcEnumeration* GenApiPort::EnumerationNode(const std::string& name) const {
    return Typed<ArvGcEnumeration>(name, ARV_TYPE_GC_ENUMERATION, "an enumeration");
}

ArvGcFeatureNode* GenApiPort::FeatureNode(const std::string& name) const {
    return Typed<ArvGcFeatureNode>(name, ARV_TYPE_GC_FEATURE_NODE, "a feature");
}

int64_t GenApiPort::Integer(const std::string& name) {
    ErrorSlot error;
    const int64_t value = arv_gc_integer_get_value(IntegerNode(name), &error);
    error.ThrowIfSet(name);
    return value;
}

void GenApiPort::SetInteger(const std::string& name, int64_t value) {
    ErrorSlot error;
    arv_gc_integer_set_value(IntegerNode(name), value, &error);
    error.ThrowIfSet(name);
}

int64_t GenApiPort::IntegerMin(const std::string& name) {
    ErrorSlot error;
    const int64_t value = arv_gc_integer_get_min(IntegerNode(name), &error);
    error.ThrowIfSet(name);
    return value;
}

int64_t GenApiPort::IntegerMax(const std::string& name) {
    ErrorSlot error;
    const int64_t value = arv_gc_integer_get_max(IntegerNode(name), &error);
    error.ThrowIfSet(name);
    return value;
}

std::string GenApiPort::String(const std::string& name) {
    ErrorSlot error;
    const char* value = arv_gc_string_get_value(Typed<ArvGcString>(name, ARV_TYPE_GC_STRING, "a string"), &error);
    error.ThrowIfSet(name);
    return value != nullptr ? value : "";
}

bool GenApiPort::Boolean(const std::string& name) {
    ErrorSlot error;
    const gboolean value =
        arv_gc_boolean_get_value(Typed<ArvGcBoolean>(name, ARV_TYPE_GC_BOOLEAN, "a boolean"), &error);
    error.ThrowIfSet(name);
    return value != FALSE;
}

std::string GenApiPort::Enumeration(const std::string& name) {
    ErrorSlot error;
    const char* entry = arv_gc_enumeration_get_string_value(EnumerationNode(name), &error);
    error.ThrowIfSet(name);
    return entry != nullptr ? entry : "";
}

int64_t GenApiPort::EnumerationValue(const std::string& name) {
    ErrorSlot error;
    const int64_t value = arv_gc_enumeration_get_int_value(EnumerationNode(name), &error);
    error.ThrowIfSet(name);
    return value;
}

void GenApiPort::SetEnumeration(const std::string& name, const std::string& entry) {
    ErrorSlot error;
    arv_gc_enumeration_set_string_value(EnumerationNode(name), entry.c_str(), &error);
    error.ThrowIfSet(name);
}

void GenApiPort::Execute(const std::string& name) {
    ErrorSlot error;
    arv_gc_command_execute(Typed<ArvGcCommand>(name, ARV_TYPE_GC_COMMAND, "a command"), &error);
    error.ThrowIfSet(name);
}

bool GenApiPort::IsAvailable(const std::string& name) {
    ErrorSlot error;
    const gboolean available = arv_gc_feature_node_is_available(FeatureNode(name), &error);
    error.ThrowIfSet(name);
    return available != FALSE;
}

std::string GenApiPort::ValueAsString(const std::string& name) {
    ErrorSlot error;
    const char* value = arv_gc_feature_node_get_value_as_string(FeatureNode(name), &error);
    error.ThrowIfSet(name);
    return value != nullptr ? value : "";
}

std::vector<std::string> GenApiPort::CategoryFeatures(const std::string& name) const {
    std::vector<std::string> names;
    auto* category = Typed<ArvGcCategory>(name, ARV_TYPE_GC_CATEGORY, "a category");
    for (const GSList* item = arv_gc_category_get_features(category); item != nullptr; item = item->next) {
        names.emplace_back(static_cast<const char*>(item->data));
    }
    return names;
}

std::vector<std::string> GenApiPort::ValueFeaturesUnder(const std::string& category) {
    std::vector<std::string> found;
    std::vector<std::string> visited;
    std::vector<std::string> pending{category};
    while (!pending.empty()) {
        const std::string name = pending.back();
        pending.pop_back();
        if (std::find(visited.begin(), visited.end(), name) != visited.end()) {
            continue;
        }
        visited.push_back(name);
        ArvGcNode* node = Node(name);
        if (ARV_IS_GC_CATEGORY(node)) {
            const auto members = CategoryFeatures(name);
            pending.insert(pending.end(), members.rbegin(), members.rend());
        } else if (IsValueFeature(node)) {
            found.push_back(name);
        }
    }
    return found;
}

}  // namespace quarvo_test
