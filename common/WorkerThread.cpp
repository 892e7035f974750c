#include "common/WorkerThread.h"

#include <atomic>

#include "common/Trace.h"

namespace qern {

namespace {

std::atomic<long> g_terminations{0};

}  // namespace

bool WaitServingSentMessages(HANDLE object, DWORD ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        const DWORD left = elapsed >= ms ? 0 : ms - elapsed;
        const DWORD r = MsgWaitForMultipleObjects(1, &object, FALSE, left, QS_SENDMESSAGE);
        if (r == WAIT_OBJECT_0) return true;
        if (r != WAIT_OBJECT_0 + 1) return false;  // timeout or failure
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);  // delivers sent messages
        if (left == 0) return WaitForSingleObject(object, 0) == WAIT_OBJECT_0;
    }
}

bool WorkerThread::Start(LPTHREAD_START_ROUTINE routine, void* arg, int priority) {
    DWORD newId = 0;
    const HANDLE h = CreateThread(nullptr, 0, routine, arg, 0, &newId);
    if (!h) return false;
    SetThreadPriority(h, priority);
    m_handle.Reset(h);
    m_id = newId;
    return true;
}

bool WorkerThread::Running() const { return m_handle && WaitForSingleObject(m_handle.Get(), 0) == WAIT_TIMEOUT; }

bool WorkerThread::Join(DWORD ms) {
    if (!m_handle) return true;
    if (!WaitServingSentMessages(m_handle.Get(), ms)) return false;
    m_handle.Close();
    m_id = 0;
    return true;
}

void WorkerThread::Terminate() {
    if (!m_handle) return;
    TerminateThread(m_handle.Get(), 0);
    WaitForSingleObject(m_handle.Get(), INFINITE);  // termination is asynchronous
    m_handle.Close();
    m_id = 0;
}

bool WorkerThread::Stop(DWORD ms, DWORD stepMs, const std::function<void()>& nudge) {
    if (!m_handle) return true;
    const DWORD start = GetTickCount();
    do {
        if (nudge) nudge();
        if (Join(stepMs)) return true;
    } while (GetTickCount() - start < ms);
    ++g_terminations;
    QernTrace("WorkerThread::Stop..thread %lu terminated (%ld so far)\n", static_cast<unsigned long>(m_id),
              g_terminations.load());
    Terminate();
    return false;
}

long WorkerThread::Terminations() { return g_terminations.load(); }

}  // namespace qern
