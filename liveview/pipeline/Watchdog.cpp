#include "liveview/pipeline/Watchdog.h"

#include <cstdlib>

namespace qern {

uint32_t Watchdog::PeriodMs(const char* value) {
    if (!value || !*value) return kDefaultPeriodMs;
    char* end = nullptr;
    const long ms = std::strtol(value, &end, 10);
    if (end == value || *end != '\0') return kDefaultPeriodMs;
    if (ms < 10) return 10;
    if (ms > 60000) return 60000;
    return static_cast<uint32_t>(ms);
}

WatchdogOutcome Watchdog::OnTimer(LiveViewState& state, bool reconnect, WatchdogHost& host) {
    if (state.m_bStreaming) {
        const int32_t count = ++state.m_watchdog;
        WatchdogOutcome outcome = WatchdogOutcome::Counted;
        if (count > 1) {
            host.FireViewChange();
            outcome = WatchdogOutcome::Repainted;
        }
        if (count > state.m_wd_timeout) {
            state.m_watchdog = 0;
            ++state.stats.watchdogRestarts;
            host.StartVideoStream();
            // Read after the start: a new worker that already passed its loop has reset it to 15.
            const int32_t limit = state.m_wd_timeout;
            if (limit < kLimitMax) state.m_wd_timeout = limit + kLimitStep;
            outcome = WatchdogOutcome::Restarted;
        }
        return outcome;
    }
    if (!reconnect) return WatchdogOutcome::Idle;
    if (host.HasCameraAddress()) {
        state.m_watchdog = 0;
        ++state.stats.reconnects;
        host.StartVideoStream();
        return WatchdogOutcome::Reconnected;
    }
    if (host.AdoptPageAddress()) {
        state.m_watchdog = 0;
        ++state.stats.reconnects;
        host.StartVideoStream();
        return WatchdogOutcome::PageReconnected;
    }
    host.KillWatchdogTimer();
    return WatchdogOutcome::TimerKilled;
}

}  // namespace qern