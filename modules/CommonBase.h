// The interfaces every module object shares: a register port and an event source.
#pragma once

#include <cstdint>
#include <memory>

#include "gentl/GenTL.h"

namespace GenTL {

class IPort {
public:
    virtual uint64_t ReadData(uint64_t iAddress, void* pBuffer, uint64_t* piSize) = 0;
    virtual uint64_t WriteData(uint64_t iAddress, const void* pBuffer, uint64_t* piSize) = 0;
    virtual uint32_t ReadReg(uint64_t iAddress, uint32_t& iValue) = 0;
    virtual void WriteReg(uint64_t iAddress, uint32_t iValue) = 0;
    virtual void GetURL(char* sURL, uint64_t* piSize) = 0;
    virtual void GetPortInfo(PORT_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) = 0;
    virtual void GetNumPortURLs(uint32_t* piNumURLs) = 0;
    virtual void GetPortURLInfo(uint32_t iURLIndex, URL_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer,
                                size_t* piSize) = 0;

protected:
    ~IPort() = default;
};

class IEventSrc {
public:
    virtual void Register(EVENT_TYPE iEventID, EVENT_HANDLE* phEvent) = 0;
    virtual void Unregister(EVENT_TYPE iEventID) = 0;

protected:
    ~IEventSrc() = default;
};

// The six module classes, so that a handle's class is told without a run-time type test.
enum class ModuleKind { System, Interface, Device, RemoteDevice, DataStream, Buffer };

// Common base of the module classes. A module's address is its handle; modules are held in
// shared ownership, and while a module is open its handle is listed in the handle registry.
// Each class T names its kind as T::kKind.
class ICommonBase : public IPort, public IEventSrc {
public:
    virtual ICommonBase* GetParent() = 0;
    virtual ModuleKind Kind() const = 0;

    // The handle a consumer receives for this module.
    void* Handle() { return static_cast<void*>(this); }

    // The open module behind a consumer handle, or null when the handle is not one. The caller
    // shares ownership of the module for as long as it keeps the result.
    static std::shared_ptr<ICommonBase> FromHandle(const void* handle);
    // As FromHandle, when the module is of class T; null otherwise.
    template <class T>
    static std::shared_ptr<T> FromHandleAs(const void* handle) {
        std::shared_ptr<ICommonBase> module = FromHandle(handle);
        if (!module || module->Kind() != T::kKind) {
            return nullptr;
        }
        return std::static_pointer_cast<T>(std::move(module));
    }

    // Number of module objects alive in the process, for leak checks.
    static uint64_t LiveCount();

protected:
    ICommonBase();
    ~ICommonBase();
    ICommonBase(const ICommonBase&) = delete;
    ICommonBase& operator=(const ICommonBase&) = delete;
};

}  // namespace GenTL
