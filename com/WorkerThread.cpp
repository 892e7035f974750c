#include "com/WorkerThread.h"

bool WaitServingSentMessages(HANDLE object, DWORD ms) {
    DWORD start = GetTickCount();
    for (;;) {
        DWORD elapsed = GetTickCount() - start;
        DWORD left = elapsed >= ms ? 0 : ms - elapsed;
        DWORD r = MsgWaitForMultipleObjects(1, &object, FALSE, left, QS_SENDMESSAGE);
        if (r == WAIT_OBJECT_0) return true;
        if (r != WAIT_OBJECT_0 + 1) return false;  // timeout or failure
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);  // delivers sent messages
        if (left == 0) return WaitForSingleObject(object, 0) == WAIT_OBJECT_0;
    }
}

bool WorkerThread::Start(LPTHREAD_START_ROUTINE routine, void* arg, int priority) {
    DWORD id = 0;
    HANDLE h = CreateThread(nullptr, 0, routine, arg, 0, &id);
    if (!h) return false;
    SetThreadPriority(h, priority);
    m_handle.reset(h);
    m_id = id;
    return true;
}

bool WorkerThread::Running() const { return m_handle && WaitForSingleObject(m_handle.get(), 0) == WAIT_TIMEOUT; }

bool WorkerThread::Join(DWORD ms) {
    if (!m_handle) return true;
    if (!WaitServingSentMessages(m_handle.get(), ms)) return false;
    m_handle.reset();
    m_id = 0;
    return true;
}

void WorkerThread::Terminate() {
    if (!m_handle) return;
    TerminateThread(m_handle.get(), 0);
    WaitForSingleObject(m_handle.get(), INFINITE);  // termination is asynchronous
    m_handle.reset();
    m_id = 0;
}
