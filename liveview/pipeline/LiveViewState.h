#pragma once
// What the live view's video worker, its painter and its watchdog tick share. The worker
// writes the frame fields, the host thread the options; every field is safe to read from
// either thread.
#include <atomic>
#include <cstdint>

#include "liveview/pipeline/FrameMode.h"
#include "liveview/pipeline/OverlayText.h"

namespace qern {

// Counts of one live view, for diagnostics, the demo and the benchmarks.
struct LiveViewStats {
    std::atomic<uint32_t> framesParsed{0};   // part headers found
    std::atomic<uint32_t> framesDecoded{0};  // decoded into a buffer
    std::atomic<uint32_t> framesPainted{0};  // painted into the window
    std::atomic<uint32_t> framesDropped{0};  // failed or did not fit a buffer
    std::atomic<uint32_t> modeChanges{0};
    std::atomic<uint32_t> workerRuns{0};     // video workers started
    std::atomic<uint32_t> streamsOpened{0};  // connections that delivered a stream
    std::atomic<uint32_t> watchdogRestarts{0};
    std::atomic<uint32_t> reconnects{0};  // stopped streams started again by the tick
};

struct LiveViewState {
    static constexpr int32_t kWatchdogBaseLimit = 15;

    std::atomic<bool> m_bStreaming{true};
    std::atomic<bool> m_bStretch{true};
    std::atomic<bool> m_bUpsideDown{false};
    std::atomic<bool> m_bMirror{false};
    std::atomic<int32_t> m_zoom{0};

    std::atomic<int32_t> m_mode{kModeUnknown};
    std::atomic<int32_t> m_modeChanged{0};
    std::atomic<int32_t> m_fps{0};
    std::atomic<int32_t> m_shown640{0};
    std::atomic<int32_t> m_shown320{0};
    std::atomic<int32_t> m_shown176{0};
    OverlayTextBuffer m_overlayText{"RADaz"};

    std::atomic<int32_t> m_watchdog{0};
    std::atomic<int32_t> m_wd_timeout{kWatchdogBaseLimit};

    LiveViewStats stats;

    // The shown index of a known mode's buffer triple.
    std::atomic<int32_t>& Shown(int32_t mode) {
        return mode == kMode320 ? m_shown320 : mode == kMode176 ? m_shown176 : m_shown640;
    }
};

}  // namespace qern