#pragma once
// The live view's watchdog tick: counts ticks without progress of the video worker, repaints
// while it waits, restarts a stalled stream with a growing limit and starts a stopped one again.
#include <cstdint>

#include "liveview/pipeline/LiveViewState.h"

namespace qern {

// What a tick asks of the live view.
class WatchdogHost {
public:
    virtual void FireViewChange() = 0;
    // Ends the running worker (if any) and starts a new one.
    virtual void StartVideoStream() = 0;
    virtual bool HasCameraAddress() = 0;
    // Takes the camera's address from the hosting page (its scheme, host and port, and the
    // path "/video.cgi"); false when the page's address is not known.
    virtual bool AdoptPageAddress() = 0;
    virtual void KillWatchdogTimer() = 0;

protected:
    ~WatchdogHost() = default;
};

enum class WatchdogOutcome {
    Idle,             // stopped and not to reconnect
    Counted,          // one more tick without progress
    Repainted,        // counted and repainted the last frame
    Restarted,        // stalled beyond the limit: workers started again, limit grown
    Reconnected,      // stopped: started again with the known address
    PageReconnected,  // stopped: started again with the hosting page's address
    TimerKilled,      // stopped and no address anywhere: the ticks end
};

class Watchdog {
public:
    // The tick's period: one second, unless the environment variable of that name (read by
    // the control when its window is created) asks for another, held to 10 ms .. 60 s.
    static constexpr uint32_t kDefaultPeriodMs = 1000;
    static constexpr const char* kPeriodVariable = "QERN_WATCHDOG_MS";
    static uint32_t PeriodMs(const char* variableValue);

    static constexpr int32_t kLimitStep = 5;
    static constexpr int32_t kLimitMax = 60;
    static constexpr const char* kDefaultVideoPath = "/video.cgi";

    // One tick. reconnect: the control's Reconnect property.
    static WatchdogOutcome OnTimer(LiveViewState& state, bool reconnect, WatchdogHost& host);
};

}  // namespace qern