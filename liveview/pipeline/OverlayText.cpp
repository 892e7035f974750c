#include "liveview/pipeline/OverlayText.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <cstring>

#include "transport/StreamSessionCore.h"

namespace liveview {

namespace {
// x + k without overflow, held to the range of int.
int Shifted(int32_t x, int k) {
    return static_cast<int>(std::clamp<int64_t>(int64_t{x} + k, std::numeric_limits<int>::min(),
                                                std::numeric_limits<int>::max()));
}
}  // namespace

void FormatOverlayText(char (&out)[kOverlayTextSize], const CameraTime& time, int32_t micros, int32_t fps,
                       bool fpsOnly) {
    const int year = Shifted(time.year, 1900);
    if (!fpsOnly && year > 2000) {
        std::snprintf(out, sizeof out, "%04d/%02d/%02d %02d:%02d:%02d.%02d0   FPS:%02d", year, Shifted(time.month, 1),
                      time.dayOfMonth, time.hours, time.minutes, time.seconds, micros / 10000, fps);
    } else {
        std::snprintf(out, sizeof out, "FPS:%02d", fps);
    }
}

void FormatZoomText(char (&out)[kOverlayTextSize], int32_t zoom) {
    std::snprintf(out, sizeof out, "ZoomIn X %i", zoom);
}

OverlayTextBuffer::OverlayTextBuffer(const char* initial) {
    std::snprintf(text_, sizeof text_, "%s", initial ? initial : "");
}

void OverlayTextBuffer::Set(const char (&text)[kOverlayTextSize]) {
    std::lock_guard<std::mutex> hold(lock_);
    std::memcpy(text_, text, sizeof text_);
    text_[kOverlayTextSize - 1] = '\0';
}

void OverlayTextBuffer::Get(char (&out)[kOverlayTextSize]) const {
    std::lock_guard<std::mutex> hold(lock_);
    std::memcpy(out, text_, sizeof text_);
}

bool FrameRateCounter::Count(bool stamped, int32_t micros, Clock::time_point now, int32_t& fps) {
    if (stamped != wasStamped_) {
        // A camera that starts or stops stamping begins a fresh count of the other kind.
        *this = FrameRateCounter();
        wasStamped_ = stamped;
    }
    return stamped ? CountStamped(micros, fps) : CountOnClock(now, fps);
}

bool FrameRateCounter::CountStamped(int32_t micros, int32_t& fps) {
    bool newSecond = false;
    if (micros <= lastMicros_) {
        fps = frameCount_ + 1;
        frameCount_ = 0;
        newSecond = true;
    } else {
        ++frameCount_;
    }
    lastMicros_ = micros;
    return newSecond;
}

bool FrameRateCounter::CountOnClock(Clock::time_point now, int32_t& fps) {
    if (!clockStarted_) {
        clockStarted_ = true;
        windowStart_ = now;
        windowFrames_ = 0;
        return false;
    }
    ++windowFrames_;
    const int64_t elapsedUs = std::chrono::duration_cast<std::chrono::microseconds>(now - windowStart_).count();
    if (elapsedUs < 1000000) return false;
    // Frames over the time they took, rounded; a camera that sends at all never shows 0.
    const int64_t rate = (int64_t{windowFrames_} * 1000000 + elapsedUs / 2) / elapsedUs;
    fps = static_cast<int32_t>(std::clamp<int64_t>(rate, 1, std::numeric_limits<int32_t>::max()));
    windowStart_ = now;
    windowFrames_ = 0;
    return true;
}

}  // namespace liveview
