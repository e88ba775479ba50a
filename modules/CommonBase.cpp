#include "modules/CommonBase.h"

#include "gentl/controller/HandleRegistry.h"

namespace GenTL {

ICommonBase::ICommonBase() { CHandleRegistry::Instance().Add(this, HandleKind::Module); }

ICommonBase::~ICommonBase() { CHandleRegistry::Instance().Remove(this); }

ICommonBase* ICommonBase::FromHandle(const void* handle) {
    if (handle == nullptr || !CHandleRegistry::Instance().Contains(handle, HandleKind::Module)) {
        return nullptr;
    }
    return static_cast<ICommonBase*>(const_cast<void*>(handle));
}

}  // namespace GenTL
