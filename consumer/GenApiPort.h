// GenApi evaluation of one GenTL port: fetches the port's description the way a consumer does
// (PortDocument: the URLs the port names, then the document one of them locates), builds an Aravis node map on a
// GenTLPortDevice and evaluates features by name. Range and access checks are on, so the
// document's Min/Max and access modes are enforced; the register cache is off, so every read
// reaches the port.
//
// Every evaluation that Aravis refuses throws GenApiError carrying the feature name and the Aravis
// message (which, for a failed port call, includes the producer's error code name and last-error
// text).
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "consumer/Errors.h"
#include "consumer/GenTLPortDevice.h"
#include "consumer/PortDocument.h"

namespace quarvo {

class GenApiPort {
    // Helpers first: the accessors below use their deduced return types.
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
    static GType TypeOf(ArvGcFloat*) { return ARV_TYPE_GC_FLOAT; }
    static GType TypeOf(ArvGcString*) { return ARV_TYPE_GC_STRING; }
    static GType TypeOf(ArvGcBoolean*) { return ARV_TYPE_GC_BOOLEAN; }
    static GType TypeOf(ArvGcEnumeration*) { return ARV_TYPE_GC_ENUMERATION; }
    static GType TypeOf(ArvGcCommand*) { return ARV_TYPE_GC_COMMAND; }
    static GType TypeOf(ArvGcFeatureNode*) { return ARV_TYPE_GC_FEATURE_NODE; }

public:
    GenApiPort(const PortFunctions& functions, PORT_HANDLE port);
    // Any loaded producer that offers the port functions under their GenTL names.
    template <class Producer>
    GenApiPort(const Producer& producer, PORT_HANDLE port)
        : GenApiPort(PortFunctions{producer.GCGetPortURL, producer.GCGetNumPortURLs, producer.GCGetPortURLInfo,
                                   producer.GCReadPort, producer.GCWritePort, producer.GCGetLastError},
                     port) {}
    ~GenApiPort();
    GenApiPort(const GenApiPort&) = delete;
    GenApiPort& operator=(const GenApiPort&) = delete;

    ArvDevice* Device() const { return ARV_DEVICE(m_p_device); }
    // The node of that name, or null.
    ArvGcNode* FindNode(const std::string& name) const;
    // The node of that name; throws GenApiError "<name>: no such feature" when there is none.
    ArvGcNode* Node(const std::string& name) const;
    // Whether the port has a command of that name.
    bool IsCommand(const std::string& name) const;

    int64_t Integer(const std::string& name) { return On<ArvGcInteger>(name, arv_gc_integer_get_value); }
    int64_t IntegerMin(const std::string& name) { return On<ArvGcInteger>(name, arv_gc_integer_get_min); }
    int64_t IntegerMax(const std::string& name) { return On<ArvGcInteger>(name, arv_gc_integer_get_max); }
    int64_t IntegerIncrement(const std::string& name) { return On<ArvGcInteger>(name, arv_gc_integer_get_inc); }
    double Float(const std::string& name) { return On<ArvGcFloat>(name, arv_gc_float_get_value); }
    double FloatMin(const std::string& name) { return On<ArvGcFloat>(name, arv_gc_float_get_min); }
    double FloatMax(const std::string& name) { return On<ArvGcFloat>(name, arv_gc_float_get_max); }
    std::string String(const std::string& name) { return Text(On<ArvGcString>(name, arv_gc_string_get_value)); }
    bool Boolean(const std::string& name) { return On<ArvGcBoolean>(name, arv_gc_boolean_get_value) != FALSE; }
    // The name of the current entry, and its numeric value.
    std::string Enumeration(const std::string& name) {
        return Text(On<ArvGcEnumeration>(name, arv_gc_enumeration_get_string_value));
    }
    int64_t EnumerationValue(const std::string& name) {
        return On<ArvGcEnumeration>(name, arv_gc_enumeration_get_int_value);
    }
    // The names of the entries that can be selected now, in the document's order.
    std::vector<std::string> EnumerationEntries(const std::string& name);
    bool IsAvailable(const std::string& name) {
        return On<ArvGcFeatureNode>(name, arv_gc_feature_node_is_available) != FALSE;
    }
    // The value of any value feature as GenApi renders it.
    std::string ValueAsString(const std::string& name) {
        return Text(On<ArvGcFeatureNode>(name, arv_gc_feature_node_get_value_as_string));
    }

    void SetInteger(const std::string& name, int64_t value);
    void SetFloat(const std::string& name, double value);
    void SetBoolean(const std::string& name, bool value);
    void SetEnumeration(const std::string& name, const std::string& entry);
    void SetString(const std::string& name, const std::string& value);
    void Execute(const std::string& name);

    // The value features (integer, float, string, enumeration, boolean) reachable from the category.
    std::set<std::string> ValueFeaturesUnder(const std::string& category);

private:
    void Collect(const std::string& name, std::set<std::string>& visited, std::set<std::string>& found) const;

    GenTLPortDevice* m_p_device = nullptr;
    ArvGc* m_p_genicam = nullptr;
};

}  // namespace quarvo
