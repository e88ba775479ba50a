#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <shared_mutex>
#include <unordered_map>

namespace GenTL {

class ICommonBase;
class CEventObj;

// The library objects a consumer may name by handle right now: open modules and registered
// events. Every handle a consumer passes is looked up here before it is converted or
// dereferenced, so stale, closed or foreign handles are refused instead of touched.
//
// Entries hold weak references and a lookup hands out shared ownership: a call that found a live
// object keeps it until the call returns, while closing the object only removes its entry. The
// object goes when its last user does.
//
// Every consumer call looks a handle up, so the registry is split into shards by address, each
// with a reader-writer lock: calls on different objects never wait for one another.
class CHandleRegistry {
public:
    static CHandleRegistry& Instance();

    // The handle of a module is its address as ICommonBase, that of an event its address.
    void Add(const std::shared_ptr<ICommonBase>& module);
    void Add(const std::shared_ptr<CEventObj>& event);
    // Never fails: used on the close paths.
    void Remove(const void* handle) noexcept;

    // The live object behind the handle, or null.
    std::shared_ptr<ICommonBase> FindModule(const void* handle) const;
    std::shared_ptr<CEventObj> FindEvent(const void* handle) const;

private:
    enum class Kind { Module, Event };
    struct Entry {
        Kind kind;
        std::weak_ptr<void> object;
    };

    struct Shard {
        mutable std::shared_mutex mutex;
        std::unordered_map<const void*, Entry> live;
    };
    static constexpr size_t kShards = 16;

    Shard& ShardOf(const void* handle);
    const Shard& ShardOf(const void* handle) const;
    void Insert(const void* handle, Kind kind, std::weak_ptr<void> object);
    std::shared_ptr<void> Find(const void* handle, Kind kind) const;

    Shard m_shards[kShards];
};

}  // namespace GenTL
