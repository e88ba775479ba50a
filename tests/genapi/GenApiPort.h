// GenApi evaluation of one GenTL module port: fetches the port's description the way a consumer
// does (GCGetPortURL, then GCReadPort of the block it names), builds an Aravis node map on a
// GenTLPortDevice and evaluates features by name. Range and access checks are on, so the
// document's Min/Max and access modes are enforced.
//
// Every evaluation that Aravis refuses throws GenApiError carrying the feature name and the Aravis
// message (which, for a failed port call, includes the producer's code and last-error text); an
// uncaught GenApiError fails the test with that text.
#pragma once

#include <cstdint>
#include <cstdio>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "genapi/GenTLPortDevice.h"
#include "support/ProducerLib.h"

namespace quarvo_test {

class GenApiError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The message of the GenApiError that `action` throws; empty when it throws none.
template <class Action>
std::string GenApiErrorOf(Action&& action) {
    try {
        action();
    } catch (const GenApiError& error) {
        return error.what();
    }
    return {};
}

class GenApiPort {
    // Helpers first: the accessors below use their deduced return types.
    static void Require(const ProducerLib& lib, GC_ERROR code, const char* what) {
        if (code != GC_ERR_SUCCESS) {
            throw GenApiError(std::string(what) + " failed with " + std::to_string(code) + ": " + lib.Error().text);
        }
    }

    static std::string Text(const char* value) { return value != nullptr ? value : ""; }

    // Runs an Aravis call that reports failure through a GError, turning that into a GenApiError.
    template <class Call>
    static auto Checked(const std::string& feature, Call&& call) {
        GError* error = nullptr;
        auto result = call(&error);
        if (error != nullptr) {
            const std::string text = feature + ": " + error->message;
            g_error_free(error);
            throw GenApiError(text);
        }
        return result;
    }

    ArvGcNode* Node(const std::string& name) const {
        ArvGcNode* node = arv_gc_get_node(m_p_genicam, name.c_str());
        if (node == nullptr) {
            throw GenApiError(name + ": no such node");
        }
        return node;
    }

    // Calls `call` on the node, which must be of type T: an Aravis call on a node of another type
    // would only log a warning and answer 0.
    template <class T, class Call>
    auto On(const std::string& name, Call&& call) {
        ArvGcNode* node = Node(name);
        if (!G_TYPE_CHECK_INSTANCE_TYPE(node, TypeOf(static_cast<T*>(nullptr)))) {
            throw GenApiError(name + ": a node of type " + G_OBJECT_TYPE_NAME(node));
        }
        return Checked(name, [&](GError** error) { return call(reinterpret_cast<T*>(node), error); });
    }
    static GType TypeOf(ArvGcInteger*) { return ARV_TYPE_GC_INTEGER; }
    static GType TypeOf(ArvGcString*) { return ARV_TYPE_GC_STRING; }
    static GType TypeOf(ArvGcBoolean*) { return ARV_TYPE_GC_BOOLEAN; }
    static GType TypeOf(ArvGcEnumeration*) { return ARV_TYPE_GC_ENUMERATION; }
    static GType TypeOf(ArvGcCommand*) { return ARV_TYPE_GC_COMMAND; }
    static GType TypeOf(ArvGcFeatureNode*) { return ARV_TYPE_GC_FEATURE_NODE; }

    void Collect(const std::string& name, std::set<std::string>& visited, std::set<std::string>& found) const {
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

public:
    GenApiPort(const ProducerLib& lib, PORT_HANDLE port) {
        char url[1024] = {};
        size_t size = sizeof url;
        Require(lib, lib.GCGetPortURL(port, url, &size), "GCGetPortURL");
        unsigned long long address = 0, length = 0;
        if (std::sscanf(url, "Local:%*[^;];%llx;%llx", &address, &length) != 2) {
            throw GenApiError(std::string("not a local URL: ") + url);
        }
        std::vector<char> document(length);
        size = document.size();
        Require(lib, lib.GCReadPort(port, address, document.data(), &size), "GCReadPort of the description");
        const GenTLPortFunctions functions{lib.GCReadPort, lib.GCWritePort, lib.GCGetLastError};
        m_p_device = Checked(url, [&](GError** error) {
            return gentl_port_device_new(&functions, port, document.data(), size, error);
        });
        m_p_genicam = arv_device_get_genicam(ARV_DEVICE(m_p_device));
        arv_gc_set_range_check_policy(m_p_genicam, ARV_RANGE_CHECK_POLICY_ENABLE);
        arv_gc_set_access_check_policy(m_p_genicam, ARV_ACCESS_CHECK_POLICY_ENABLE);
        arv_gc_set_register_cache_policy(m_p_genicam, ARV_REGISTER_CACHE_POLICY_DISABLE);
    }
    ~GenApiPort() { g_clear_object(&m_p_device); }
    GenApiPort(const GenApiPort&) = delete;
    GenApiPort& operator=(const GenApiPort&) = delete;

    ArvDevice* Device() const { return ARV_DEVICE(m_p_device); }

    int64_t Integer(const std::string& name) { return On<ArvGcInteger>(name, arv_gc_integer_get_value); }
    int64_t IntegerMin(const std::string& name) { return On<ArvGcInteger>(name, arv_gc_integer_get_min); }
    int64_t IntegerMax(const std::string& name) { return On<ArvGcInteger>(name, arv_gc_integer_get_max); }
    std::string String(const std::string& name) { return Text(On<ArvGcString>(name, arv_gc_string_get_value)); }
    bool Boolean(const std::string& name) { return On<ArvGcBoolean>(name, arv_gc_boolean_get_value) != FALSE; }
    // The name of the current entry, and its numeric value.
    std::string Enumeration(const std::string& name) {
        return Text(On<ArvGcEnumeration>(name, arv_gc_enumeration_get_string_value));
    }
    int64_t EnumerationValue(const std::string& name) {
        return On<ArvGcEnumeration>(name, arv_gc_enumeration_get_int_value);
    }
    bool IsAvailable(const std::string& name) {
        return On<ArvGcFeatureNode>(name, arv_gc_feature_node_is_available) != FALSE;
    }
    // The value of any value feature as GenApi renders it.
    std::string ValueAsString(const std::string& name) {
        return Text(On<ArvGcFeatureNode>(name, arv_gc_feature_node_get_value_as_string));
    }
    void SetInteger(const std::string& name, int64_t value) {
        On<ArvGcInteger>(name, [value](ArvGcInteger* node, GError** error) {
            arv_gc_integer_set_value(node, value, error);
            return 0;
        });
    }
    void SetBoolean(const std::string& name, bool value) {
        On<ArvGcBoolean>(name, [value](ArvGcBoolean* node, GError** error) {
            arv_gc_boolean_set_value(node, value ? TRUE : FALSE, error);
            return 0;
        });
    }
    void SetEnumeration(const std::string& name, const std::string& entry) {
        On<ArvGcEnumeration>(name, [&entry](ArvGcEnumeration* node, GError** error) {
            return arv_gc_enumeration_set_string_value(node, entry.c_str(), error);
        });
    }
    void Execute(const std::string& name) {
        On<ArvGcCommand>(name, [](ArvGcCommand* node, GError** error) {
            arv_gc_command_execute(node, error);
            return 0;
        });
    }

    // The value features (integer, float, string, enumeration, boolean) reachable from the category.
    std::set<std::string> ValueFeaturesUnder(const std::string& category) {
        std::set<std::string> visited, found;
        Collect(category, visited, found);
        return found;
    }

private:
    GenTLPortDevice* m_p_device = nullptr;
    ArvGc* m_p_genicam = nullptr;
};

}  // namespace quarvo_test
