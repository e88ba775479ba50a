#include "gentl/controller/HandleRegistry.h"

namespace GenTL {

CHandleRegistry& CHandleRegistry::Instance() {
    // Never destroyed: objects may leave the registry from static destructors at process exit.
    static CHandleRegistry* registry = new CHandleRegistry();
    return *registry;
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
