#pragma once
// Waiting in tests: one poll loop for "until this holds", one bound for "ends within" and one
// measure of how soon a stop from another thread ends a blocked call.
#include <chrono>
#include <functional>
#include <thread>

namespace qern {

namespace test {

// Polls `done` every 5 ms until it holds or `ms` milliseconds have passed; `pump` runs between
// polls (a window thread passes its message pump). True when `done` held.
inline bool WaitFor(const std::function<bool()>& done, int ms, const std::function<void()>& pump = {}) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        if (pump) pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// Runs `action` and says whether it returned within `ms`; `tookMs` receives the time it took.
inline bool EndsWithin(const std::function<void()>& action, int ms, long* tookMs = nullptr) {
    const auto start = std::chrono::steady_clock::now();
    action();
    const long took =
        long(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
    if (tookMs) *tookMs = took;
    return took <= ms;
}

// Runs `blocking` here while another thread calls `stop` `stopAfterMs` later; returns how many ms
// after the stop `blocking` returned (<= 0: before it) and puts the whole wait in `blockedMs`.
inline long MsFromStopToEnd(const std::function<void()>& blocking, const std::function<void()>& stop, int stopAfterMs,
                            long* blockedMs = nullptr) {
    using Clock = std::chrono::steady_clock;
    Clock::time_point stoppedAt = Clock::time_point::max();
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(stopAfterMs));
        stoppedAt = Clock::now();
        stop();
    });
    const auto start = Clock::now();
    blocking();
    const auto returned = Clock::now();
    stopper.join();
    if (blockedMs) *blockedMs = long(std::chrono::duration_cast<std::chrono::milliseconds>(returned - start).count());
    return long(std::chrono::duration_cast<std::chrono::milliseconds>(returned - stoppedAt).count());
}

}  // namespace test

}  // namespace qern
