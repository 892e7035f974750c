#pragma once
// The settings channel's lock: held by one thread from Open to Close, taken again freely by that
// thread. A thread waiting for it still takes the messages other threads send to its windows, so
// a batch on a worker that notifies a window of the waiting thread cannot deadlock.
#include <windows.h>

namespace qern {

class ChannelLock {
public:
    ChannelLock();
    ~ChannelLock();
    ChannelLock(const ChannelLock&) = delete;
    ChannelLock& operator=(const ChannelLock&) = delete;

    void Acquire();
    void Release();

private:
    HANDLE m_mutex;
};

class ChannelLockGuard {
public:
    explicit ChannelLockGuard(ChannelLock& lock) : m_lock(lock) { m_lock.Acquire(); }
    ~ChannelLockGuard() { m_lock.Release(); }
    ChannelLockGuard(const ChannelLockGuard&) = delete;
    ChannelLockGuard& operator=(const ChannelLockGuard&) = delete;

private:
    ChannelLock& m_lock;
};

}  // namespace qern
