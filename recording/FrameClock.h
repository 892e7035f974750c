// The process-wide clock that gives recorded frames their stream positions: a counter that a
// timer advances about once per frame period, so a pause of the camera leaves a gap.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

namespace qern {

class FrameClock {
public:
    static int32_t Now() { return m_counter.load(); }
    static void Reset() { m_counter = 0; }

    // One timer that advances the counter. A thread-pool timer rather than a thread's timer: it
    // ticks while the starting thread is busy, and any thread may stop it.
    class Timer {
    public:
        Timer() = default;
        ~Timer() { Stop(); }
        Timer(const Timer&) = delete;
        Timer& operator=(const Timer&) = delete;
        bool Start(DWORD intervalMs);
        // Waits for a tick under way.
        void Stop();
        bool Running() const { return m_handle != nullptr; }

    private:
        HANDLE m_handle = nullptr;
    };

private:
    static void CALLBACK Tick(void*, BOOLEAN);
    static std::atomic<int32_t> m_counter;
};

}  // namespace qern
