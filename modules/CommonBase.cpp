#include "modules/CommonBase.h"

#include <atomic>

#include "gentl/controller/HandleRegistry.h"

namespace GenTL {

namespace {
std::atomic<uint64_t> g_live_modules{0};
}  // namespace

ICommonBase::ICommonBase() { ++g_live_modules; }

ICommonBase::~ICommonBase() { --g_live_modules; }

std::shared_ptr<ICommonBase> ICommonBase::FromHandle(const void* handle) {
    return CHandleRegistry::Instance().FindModule(handle);
}

uint64_t ICommonBase::LiveCount() { return g_live_modules.load(); }

}  // namespace GenTL
