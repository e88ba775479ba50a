#include "gentl/controller/HandleRegistry.h"

#include <mutex>

#include "events/EventObj.h"
#include "modules/CommonBase.h"

namespace GenTL {

CHandleRegistry& CHandleRegistry::Instance() {
    // Destroyed when the library is unloaded, after every module has been closed.
    static CHandleRegistry registry;
    return registry;
}

void CHandleRegistry::Add(const std::shared_ptr<ICommonBase>& module) {
    Insert(module.get(), Kind::Module, std::shared_ptr<void>(module, module.get()));
}

void CHandleRegistry::Add(const std::shared_ptr<CEventObj>& event) {
    Insert(event.get(), Kind::Event, std::shared_ptr<void>(event, event.get()));
}

CHandleRegistry::Shard& CHandleRegistry::ShardOf(const void* handle) {
    // Objects are at least 64 bytes apart; the bits above the cache line spread them.
    return m_shards[(reinterpret_cast<uintptr_t>(handle) >> 6) % kShards];
}

const CHandleRegistry::Shard& CHandleRegistry::ShardOf(const void* handle) const {
    return const_cast<CHandleRegistry*>(this)->ShardOf(handle);
}

void CHandleRegistry::Insert(const void* handle, Kind kind, std::weak_ptr<void> object) {
    Shard& shard = ShardOf(handle);
    std::unique_lock<std::shared_mutex> lock(shard.mutex);
    shard.live[handle] = Entry{kind, std::move(object)};
}

void CHandleRegistry::Remove(const void* handle) noexcept {
    try {
        Shard& shard = ShardOf(handle);
        std::unique_lock<std::shared_mutex> lock(shard.mutex);
        shard.live.erase(handle);
    } catch (...) {
        // Only the lock can fail; the entry's weak reference expires with its object anyway.
    }
}

std::shared_ptr<void> CHandleRegistry::Find(const void* handle, Kind kind) const {
    if (handle == nullptr) {
        return nullptr;
    }
    const Shard& shard = ShardOf(handle);
    std::shared_lock<std::shared_mutex> lock(shard.mutex);
    const auto it = shard.live.find(handle);
    if (it == shard.live.end() || it->second.kind != kind) {
        return nullptr;
    }
    return it->second.object.lock();
}

std::shared_ptr<ICommonBase> CHandleRegistry::FindModule(const void* handle) const {
    // The stored pointer is the ICommonBase address itself, so the cast restores it unchanged.
    return std::static_pointer_cast<ICommonBase>(Find(handle, Kind::Module));
}

std::shared_ptr<CEventObj> CHandleRegistry::FindEvent(const void* handle) const {
    return std::static_pointer_cast<CEventObj>(Find(handle, Kind::Event));
}

}  // namespace GenTL
