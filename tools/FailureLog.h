// The failures a command met and carried on past (an interface that would not open, an
// information query or a feature that failed): each is reported on standard error as it
// happens, and Conclude ends the command with exit code 1 when there was any.
#pragma once

#include <cstddef>
#include <string>

#include "consumer/Errors.h"
#include "consumer/Interface.h"

namespace quarvo::tool {

class FailureLog {
public:
    // Reports "quarvo: <what>: <reason>" ("quarvo: <reason>" when what is empty).
    void Add(const std::string& what, const std::string& reason);

    // The text the query gives. An item the producer says it does not have (GC_ERR_NOT_AVAILABLE,
    // GC_ERR_NOT_IMPLEMENTED) gives "-"; any other failure gives "(failed)" and is added as a
    // failure of `what`.
    template <class Query>
    std::string Text(const std::string& what, Query&& query) {
        try {
            return query();
        } catch (const GenTLError& error) {
            if (error.Code() == GC_ERR_NOT_AVAILABLE || error.Code() == GC_ERR_NOT_IMPLEMENTED) {
                return "-";
            }
            Add(what, error.what());
            return "(failed)";
        }
    }

    // The device's information text, as Text gives it, a failure being one of "device <ID> <what>".
    std::string DeviceText(const Interface& iface, const std::string& deviceID, DEVICE_INFO_CMD command,
                           const char* what);

    // Throws std::runtime_error "<n> failure(s) reported above" when any was added.
    void Conclude() const;

private:
    size_t m_count = 0;
};

}  // namespace quarvo::tool
