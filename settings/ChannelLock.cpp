#include "settings/ChannelLock.h"

namespace qern {

ChannelLock::ChannelLock() : m_mutex(CreateMutexW(nullptr, FALSE, nullptr)) {}

ChannelLock::~ChannelLock() {
    if (m_mutex) CloseHandle(m_mutex);
}

void ChannelLock::Acquire() {
    if (!m_mutex) return;
    for (;;) {
        const DWORD got = MsgWaitForMultipleObjects(1, &m_mutex, FALSE, INFINITE, QS_SENDMESSAGE);
        if (got == WAIT_OBJECT_0 || got == WAIT_ABANDONED_0) return;
        if (got != WAIT_OBJECT_0 + 1) return;  // the wait itself failed: nothing to hold
        // Delivers the messages sent to this thread's windows; posted ones stay queued.
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

void ChannelLock::Release() {
    if (m_mutex) ReleaseMutex(m_mutex);
}

}  // namespace qern
