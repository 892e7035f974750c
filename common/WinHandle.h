// Owning wrappers for Windows handles (kernel objects, WinINet handles,
// sockets) and a critical section with a scoped lock. The stored handle is
// atomic: a stream is closed from another thread while its reader uses it.
#pragma once

#include <winsock2.h>
#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <cstdint>

namespace qern {

template <typename Traits>
class UniqueHandle {
public:
    using Value = typename Traits::Value;
    UniqueHandle() = default;
    explicit UniqueHandle(Value v) : m_value(Traits::Valid(v) ? v : Traits::None()) {}
    ~UniqueHandle() { Close(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Value Get() const { return m_value.load(); }
    explicit operator bool() const { return Traits::Valid(m_value.load()); }
    // Takes ownership of v (an invalid value is stored as none); closes the old one.
    void Reset(Value v) {
        const Value old = m_value.exchange(Traits::Valid(v) ? v : Traits::None());
        if (Traits::Valid(old)) Traits::Close(old);
    }
    // Closes the handle, if any; returns whether the close succeeded (true when none).
    bool Close() {
        const Value old = m_value.exchange(Traits::None());
        return Traits::Valid(old) ? Traits::Close(old) : true;
    }

private:
    std::atomic<Value> m_value{Traits::None()};
};

struct InternetHandleTraits {
    using Value = HINTERNET;
    static Value None() { return nullptr; }
    // WinINet reports failure as null; all bits set is treated the same.
    static bool Valid(Value v) { return v != nullptr && v != reinterpret_cast<Value>(~uintptr_t{0}); }
    static bool Close(Value v) { return InternetCloseHandle(v) != FALSE; }
};

struct SocketTraits {
    using Value = SOCKET;
    static Value None() { return INVALID_SOCKET; }
    static bool Valid(Value v) { return v != INVALID_SOCKET && v != 0; }
    static bool Close(Value v) { return closesocket(v) == 0; }
};

struct KernelHandleTraits {
    using Value = HANDLE;
    static Value None() { return nullptr; }
    static bool Valid(Value v) { return v != nullptr && v != INVALID_HANDLE_VALUE; }
    static bool Close(Value v) { return CloseHandle(v) != FALSE; }
};

using InternetHandle = UniqueHandle<InternetHandleTraits>;
using SocketHandle = UniqueHandle<SocketTraits>;
using KernelHandle = UniqueHandle<KernelHandleTraits>;

class CriticalSection {
public:
    CriticalSection() { InitializeCriticalSection(&m_section); }
    ~CriticalSection() { DeleteCriticalSection(&m_section); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
    void Lock() { EnterCriticalSection(&m_section); }
    void Unlock() { LeaveCriticalSection(&m_section); }

private:
    CRITICAL_SECTION m_section;
};

class ScopedLock {
public:
    explicit ScopedLock(CriticalSection& cs) : m_section(cs) { m_section.Lock(); }
    ~ScopedLock() { m_section.Unlock(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    CriticalSection& m_section;
};

}  // namespace qern
