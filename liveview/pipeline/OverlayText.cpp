#include "liveview/pipeline/OverlayText.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <cstring>

#include "transport/StreamSessionCore.h"

namespace qern {

namespace {
// x + k without overflow, held to the range of int.
int Shifted(int32_t x, int k) {
    return static_cast<int>(
        std::clamp<int64_t>(int64_t{x} + k, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
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
    std::snprintf(m_text, sizeof m_text, "%s", initial ? initial : "");
}

void OverlayTextBuffer::Set(const char (&text)[kOverlayTextSize]) {
    std::lock_guard<std::mutex> hold(m_lock);
    std::memcpy(m_text, text, sizeof m_text);
    m_text[kOverlayTextSize - 1] = '\0';
}

void OverlayTextBuffer::Get(char (&out)[kOverlayTextSize]) const {
    std::lock_guard<std::mutex> hold(m_lock);
    std::memcpy(out, m_text, sizeof m_text);
}

bool FrameRateCounter::Count(bool stamped, int32_t micros, Clock::time_point now, int32_t& fps) {
    if (stamped != m_wasStamped) {
        // A camera that starts or stops stamping begins a fresh count of the other kind.
        *this = FrameRateCounter();
        m_wasStamped = stamped;
    }
    return stamped ? CountStamped(micros, fps) : CountOnClock(now, fps);
}

bool FrameRateCounter::CountStamped(int32_t micros, int32_t& fps) {
    bool newSecond = false;
    if (micros <= m_lastMicros) {
        fps = m_frameCount + 1;
        m_frameCount = 0;
        newSecond = true;
    } else {
        ++m_frameCount;
    }
    m_lastMicros = micros;
    return newSecond;
}

bool FrameRateCounter::CountOnClock(Clock::time_point now, int32_t& fps) {
    if (!m_clockStarted) {
        m_clockStarted = true;
        m_windowStart = now;
        m_windowFrames = 0;
        return false;
    }
    ++m_windowFrames;
    const int64_t elapsedUs = std::chrono::duration_cast<std::chrono::microseconds>(now - m_windowStart).count();
    if (elapsedUs < 1000000) return false;
    // Frames over the time they took, rounded; a camera that sends at all never shows 0.
    const int64_t rate = (int64_t{m_windowFrames} * 1000000 + elapsedUs / 2) / elapsedUs;
    fps = static_cast<int32_t>(std::clamp<int64_t>(rate, 1, std::numeric_limits<int32_t>::max()));
    m_windowStart = now;
    m_windowFrames = 0;
    return true;
}

}  // namespace qern