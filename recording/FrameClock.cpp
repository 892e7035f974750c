#include "recording/FrameClock.h"

namespace qern {

std::atomic<int32_t> FrameClock::m_counter{0};

void CALLBACK FrameClock::Tick(void*, BOOLEAN) { ++m_counter; }

bool FrameClock::Timer::Start(DWORD intervalMs) {
    Stop();
    if (intervalMs == 0) intervalMs = 1;
    if (!CreateTimerQueueTimer(&m_handle, nullptr, &FrameClock::Tick, nullptr, intervalMs, intervalMs,
                               WT_EXECUTEDEFAULT)) {
        m_handle = nullptr;
        return false;
    }
    return true;
}

void FrameClock::Timer::Stop() {
    if (!m_handle) return;
    DeleteTimerQueueTimer(nullptr, m_handle, INVALID_HANDLE_VALUE);
    m_handle = nullptr;
}

}  // namespace qern
