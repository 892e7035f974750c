#pragma once
// One worker thread owned by a control: started, joined with a deadline, terminated only as a last resort.
#include <windows.h>

#include "com/WinHandle.h"

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

private:
    qern::WinHandle m_handle;
    DWORD m_id = 0;
};
