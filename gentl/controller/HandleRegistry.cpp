#include "gentl/controller/HandleRegistry.h"

namespace GenTL {

CHandleRegistry& CHandleRegistry::Instance() {
    // Destroyed when the library is unloaded; the controller's destructor closes no module, so no
    // object leaves the registry after that.
    static CHandleRegistry registry;
    return registry;
}

void CHandleRegistry::Add(const void* object, HandleKind kind) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_map_live[object] = kind;
}

void CHandleRegistry::Remove(const void* object) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_map_live.erase(object);
}

bool CHandleRegistry::Contains(const void* object, HandleKind kind) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_map_live.find(object);
    return it != m_map_live.end() && it->second == kind;
}

}  // namespace GenTL
