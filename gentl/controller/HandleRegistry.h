#pragma once

#include <mutex>
#include <unordered_map>

namespace GenTL {

// Kinds of library objects whose addresses are handed to consumers as handles.
enum class HandleKind { Module, Event };

// Addresses of the library objects that are alive right now. Every handle a consumer passes is
// looked up here before it is converted or dereferenced, so stale or foreign handles are refused
// instead of touched. Objects enter in their constructor and leave in their destructor.
class CHandleRegistry {
public:
    static CHandleRegistry& Instance();

    void Add(const void* object, HandleKind kind);
    void Remove(const void* object);
    bool Contains(const void* object, HandleKind kind) const;

private:
    mutable std::mutex m_mutex;
    std::unordered_map<const void*, HandleKind> m_map_live;
};

}  // namespace GenTL
