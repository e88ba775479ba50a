// GenApi evaluation of one GenTL module port: fetches the port's description the way a consumer
// does (GCGetPortURL, then GCReadPort of the block it names), builds an Aravis node map on a
// GenTLPortDevice and evaluates features by name.
//
// Every evaluation that Aravis refuses throws GenApiError carrying the feature name and the Aravis
// message (which, for a failed port call, includes the producer's code and last-error text); an
// uncaught GenApiError fails the test with that text.
#pragma once

#include <cstdint>
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

class GenApiPort {
public:
    // Range and access checks are on, so the document's Min/Max and access modes are enforced.
    GenApiPort(const ProducerLib& lib, PORT_HANDLE port);
    ~GenApiPort();
    GenApiPort(const GenApiPort&) = delete;
    GenApiPort& operator=(const GenApiPort&) = delete;

    const std::string& Url() const { return m_str_url; }
    const std::vector<char>& Document() const { return m_vec_document; }
    ArvDevice* Device() const { return ARV_DEVICE(m_p_device); }

    int64_t Integer(const std::string& name);
    void SetInteger(const std::string& name, int64_t value);
    int64_t IntegerMin(const std::string& name);
    int64_t IntegerMax(const std::string& name);
    std::string String(const std::string& name);
    bool Boolean(const std::string& name);
    // The name of the current entry, and its numeric value.
    std::string Enumeration(const std::string& name);
    int64_t EnumerationValue(const std::string& name);
    void SetEnumeration(const std::string& name, const std::string& entry);
    void Execute(const std::string& name);
    bool IsAvailable(const std::string& name);
    // The value of any value feature as GenApi renders it.
    std::string ValueAsString(const std::string& name);
    // The value features (integer, float, string, enumeration, boolean) reachable from the
    // category, depth first, each once.
    std::vector<std::string> ValueFeaturesUnder(const std::string& category);

private:
    // The features that a category lists, in document order.
    std::vector<std::string> CategoryFeatures(const std::string& name) const;
    ArvGcNode* Node(const std::string& name) const;
    template <class T>
    T* Typed(const std::string& name, GType type, const char* kind) const;
    ArvGcInteger* IntegerNode(const std::string& name) const;
    ArvGcEnumeration* EnumerationNode(const std::string& name) const;
    ArvGcFeatureNode* FeatureNode(const std::string& name) const;

    std::string m_str_url;
    std::vector<char> m_vec_document;
    GenTLPortDevice* m_p_device = nullptr;
    ArvGc* m_p_genicam = nullptr;
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

}  // namespace quarvo_test
