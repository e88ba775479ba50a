// Registration of a module's event objects: an event's handle is listed in the handle registry
// exactly while the event is registered, so an unregistered event is refused like a dead handle.
#pragma once

#include <memory>

#include "events/EventObj.h"
#include "gentl/GenTL.h"
#include "gentl/controller/HandleRegistry.h"

namespace GenTL {

// Enables the event (raising when it is registered already) and hands out its handle.
template <class Event>
void RegisterEvent(const std::shared_ptr<Event>& event, EVENT_HANDLE* phEvent) {
    event->EnableEvent();
    const std::shared_ptr<CEventObj> object = event;
    CHandleRegistry::Instance().Add(object);
    // The module may have closed meanwhile on another thread: then the handle must not stay.
    if (object->IsShutDown()) {
        CHandleRegistry::Instance().Remove(object.get());
        object->CheckNotShutDown();
    }
    *phEvent = object.get();
}

// Disables the event (raising when it is not registered), withdraws its handle and wakes every
// thread still waiting on it.
template <class Event>
void UnregisterEvent(const std::shared_ptr<Event>& event) {
    event->DisableEvent();
    CHandleRegistry::Instance().Remove(static_cast<CEventObj*>(event.get()));
    event->Abort();
}

// The event's module closes: the handle goes and every waiter returns. Never fails.
inline void ShutdownEvent(CEventObj& event) noexcept {
    CHandleRegistry::Instance().Remove(&event);
    event.Shutdown();
}

}  // namespace GenTL
