#include "gentl/controller/CriticalSection.h"

namespace GenTL {

void CCriticalSection::Lock() { m_mutex.lock(); }

void CCriticalSection::Unlock() { m_mutex.unlock(); }

bool CCriticalSection::Try() { return m_mutex.try_lock(); }

CAutoLock::CAutoLock(CCriticalSection& section) : m_section(section) {
    m_section.Lock();
    m_b_locked = true;
}

CAutoLock::~CAutoLock() {
    if (m_b_locked) {
        m_section.Unlock();
    }
}

}  // namespace GenTL
