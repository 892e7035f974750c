#include "recording/FrameClock.h"

std::atomic<int32_t> FrameClock::counter_{0};

void CALLBACK FrameClock::Tick(void*, BOOLEAN) { ++counter_; }

bool FrameClock::Timer::Start(DWORD intervalMs) {
    Stop();
    if (intervalMs == 0) intervalMs = 1;
    if (!CreateTimerQueueTimer(&handle_, nullptr, &FrameClock::Tick, nullptr, intervalMs, intervalMs,
                               WT_EXECUTEDEFAULT)) {
        handle_ = nullptr;
        return false;
    }
    return true;
}

void FrameClock::Timer::Stop() {
    if (!handle_) return;
    DeleteTimerQueueTimer(nullptr, handle_, INVALID_HANDLE_VALUE);
    handle_ = nullptr;
}
