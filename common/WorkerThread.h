// One worker thread: started at a priority, stopped within a bounded time
// (nudged to end, waited for, terminated only as the last resort).
#pragma once

#include <windows.h>

#include <functional>

#include "common/WinHandle.h"

namespace qern {

// Waits for an object while serving messages other threads send to this one, so a worker that
// talks to the caller's windows (a message box owned by them, say) cannot deadlock the wait.
// True when the object was signalled within ms.
bool WaitServingSentMessages(HANDLE object, DWORD ms);

class WorkerThread {
public:
    WorkerThread() = default;
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    bool Start(LPTHREAD_START_ROUTINE routine, void* arg, int priority);
    bool Started() const { return static_cast<bool>(m_handle); }
    bool Running() const;
    DWORD Id() const { return m_id; }
    // Waits up to ms for the thread to end; closes the handle when it did.
    bool Join(DWORD ms);
    // Ends a thread that did not stop by itself; it may leave what it held behind.
    void Terminate();
    // Calls nudge (close what the thread waits on), then waits stepMs for the
    // thread, again and again for up to ms; terminates it when it has not
    // ended by then. True when it ended by itself.
    bool Stop(DWORD ms, DWORD stepMs, const std::function<void()>& nudge);
    // Threads Stop had to terminate in this process.
    static long Terminations();

private:
    KernelHandle m_handle;
    DWORD m_id = 0;
};

}  // namespace qern
