#pragma once
// The demo's recording: presses the strip's "REC" at a given second, answers the "REC SETTING"
// dialog as a user would (the camera's folder, "Enable" cleared, "Start to Record") from a thread
// of its own while the dialog holds the window thread, and presses "STOP" some seconds later.
#include <windows.h>

#include <atomic>

namespace camhost {

class RecordDemo {
public:
    // start < 0: no recording.
    RecordDemo(double start, double seconds) : m_start(start), m_seconds(seconds) {}
    ~RecordDemo();
    // At every tick, with the seconds since the start and the strip control's window.
    void OnTick(double elapsed, HWND strip);
    bool Pressed() const { return m_state >= kRecPressed; }
    bool Stopped() const { return m_state == kStopPressed; }
    bool Answered() const { return m_answered; }
    double StoppedAt() const { return m_stoppedAt; }
    // Clicks a button of the strip control's dialog (kept for the window thread to handle).
    static void Press(HWND strip, int id);

private:
    enum State { kWaiting, kRecPressed, kStopPressed };
    static DWORD WINAPI Answer(void* self);

    double m_start, m_seconds;
    double m_stoppedAt = 0;
    State m_state = kWaiting;
    std::atomic<bool> m_answered{false};
    HANDLE m_thread = nullptr;
};

}  // namespace camhost
