#pragma once
// The texts drawn over the picture: the camera's date, time and frame rate, and the zoom level.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace qern {

struct CameraTime;

constexpr size_t kOverlayTextSize = 64;

// Date, time and frame rate when the stamp's year is above 2000, else the frame rate alone;
// the frame rate alone whenever fpsOnly is set (the 176 x 144 mode). Always terminated.
void FormatOverlayText(char (&out)[kOverlayTextSize], const CameraTime& time, int32_t micros, int32_t fps,
                       bool fpsOnly);
// The text of "ZoomIn X %i".
void FormatZoomText(char (&out)[kOverlayTextSize], int32_t zoom);

// The overlay text, written by the video worker and read by whichever thread paints.
class OverlayTextBuffer {
public:
    explicit OverlayTextBuffer(const char* initial);
    void Set(const char (&text)[kOverlayTextSize]);
    void Get(char (&out)[kOverlayTextSize]) const;

private:
    mutable std::mutex m_lock;
    char m_text[kOverlayTextSize] = {};
};

// Frames per second. Stamped frames are counted per camera second from the stamps' sub-second
// parts (a part that does not rise starts a new second); frames without a stamp are counted over
// the computer's own clock, since their sub-second part stays 0.
class FrameRateCounter {
public:
    using Clock = std::chrono::steady_clock;

    // Counts one frame; true when a new rate is known, with the rate in fps.
    bool Count(bool stamped, int32_t micros, int32_t& fps) { return Count(stamped, micros, Clock::now(), fps); }
    bool Count(bool stamped, int32_t micros, Clock::time_point now, int32_t& fps);

private:
    bool CountStamped(int32_t micros, int32_t& fps);
    bool CountOnClock(Clock::time_point now, int32_t& fps);

    int32_t m_lastMicros = 0;
    int32_t m_frameCount = 0;
    bool m_wasStamped = true;
    bool m_clockStarted = false;
    Clock::time_point m_windowStart{};
    int32_t m_windowFrames = 0;
};

}  // namespace qern