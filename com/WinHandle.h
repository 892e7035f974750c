#pragma once
// RAII for kernel handles and a critical section with a scoped lock.
#include <windows.h>
#include <utility>

namespace qern {

class WinHandle {
public:
    WinHandle() = default;
    explicit WinHandle(HANDLE h) : m_h(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
    WinHandle(WinHandle&& o) noexcept : m_h(o.m_h) { o.m_h = nullptr; }
    WinHandle& operator=(WinHandle&& o) noexcept {
        if (this != &o) {
            reset();
            m_h = o.m_h;
            o.m_h = nullptr;
        }
        return *this;
    }
    WinHandle(const WinHandle&) = delete;
    WinHandle& operator=(const WinHandle&) = delete;
    ~WinHandle() { reset(); }

    void reset(HANDLE h = nullptr) {
        if (m_h) CloseHandle(m_h);
        m_h = (h == INVALID_HANDLE_VALUE) ? nullptr : h;
    }
    HANDLE get() const { return m_h; }
    HANDLE release() {
        HANDLE h = m_h;
        m_h = nullptr;
        return h;
    }
    explicit operator bool() const { return m_h != nullptr; }

private:
    HANDLE m_h = nullptr;
};

class CriticalSection {
public:
    CriticalSection() { InitializeCriticalSection(&m_cs); }
    ~CriticalSection() { DeleteCriticalSection(&m_cs); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
    void lock() { EnterCriticalSection(&m_cs); }
    void unlock() { LeaveCriticalSection(&m_cs); }

private:
    CRITICAL_SECTION m_cs;
};

class ScopedLock {
public:
    explicit ScopedLock(CriticalSection& cs) : m_cs(cs) { m_cs.lock(); }
    ~ScopedLock() { m_cs.unlock(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    CriticalSection& m_cs;
};

}  // namespace qern
