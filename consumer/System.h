// The producer initialised and its System module open, with the interface list updated. Closing
// (destruction) closes the System and the library again.
#pragma once

#include <string>
#include <vector>

#include "consumer/ProducerLibrary.h"

namespace quarvo {

class System {
public:
    explicit System(const ProducerLibrary& producer);
    ~System();
    System(const System&) = delete;
    System& operator=(const System&) = delete;

    const ProducerLibrary& Producer() const { return m_producer; }
    TL_HANDLE Handle() const { return m_handle; }

    // A text of the producer (GCGetInfo) and of the System module (TLGetInfo); throw GenTLError
    // when the producer does not tell.
    std::string ProducerText(TL_INFO_CMD command) const;
    std::string Text(TL_INFO_CMD command) const;
    // The GenTL version the producer implements, "major.minor".
    std::string GenTLVersion() const;

    std::vector<std::string> InterfaceIDs() const;
    std::string InterfaceText(const std::string& id, INTERFACE_INFO_CMD command) const;

private:
    const ProducerLibrary& m_producer;
    TL_HANDLE m_handle = nullptr;
};

}  // namespace quarvo
