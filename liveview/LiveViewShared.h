#pragma once
// State one process shares among all its live views.
#include <atomic>
#include <cstdint>

#include "liveview/LiveViewSlot.h"

namespace qern {

struct LiveViewShared {
    // In-process frame hook: a function without arguments and the host's frame buffer.
    std::atomic<uintptr_t> imageProcessCallback{0};
    std::atomic<uintptr_t> imageProcessBuffer{0};
    // 1 while a live view records.
    std::atomic<int32_t> recordingActive{0};
    // Zoom counter stepped by the live view's setaction (0..15).
    std::atomic<int32_t> zoomCounter{0};
    // Horizontal pan steps taken through setaction 21/22; only grows.
    std::atomic<int32_t> panSteps{0};
    // The live view the other controls act on; the most recently created one.
    LiveViewSlot currentLiveView;
    // Told, on any thread, when a live view's recording starts or ends, or a live view goes away.
    std::atomic<void (*)()> recordingChanged{nullptr};
};

LiveViewShared& SharedLiveView();

}  // namespace qern
