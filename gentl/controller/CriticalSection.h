#pragma once

#include <mutex>

namespace GenTL {

// A recursive lock: the holding thread may lock it again.
class CCriticalSection {
public:
    CCriticalSection() = default;
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;
    virtual ~CCriticalSection() = default;

    // Raises std::system_error when the mutex reports an error.
    virtual void Lock();
    virtual void Unlock();
    // True when the lock was taken without waiting.
    virtual bool Try();

    std::recursive_mutex& Mutex() { return m_mutex; }

private:
    std::recursive_mutex m_mutex;
};

// Holds a CCriticalSection for its own lifetime.
class CAutoLock {
public:
    explicit CAutoLock(CCriticalSection& section);
    ~CAutoLock();
    CAutoLock(const CAutoLock&) = delete;
    CAutoLock& operator=(const CAutoLock&) = delete;

private:
    CCriticalSection& m_section;
    bool m_b_locked = false;
};

}  // namespace GenTL
