#pragma once
// A live view without the COM control around it, for the latency benchmark: a window, nine frame
// buffers, a stream session to the camera simulator and the video worker on its own thread.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "liveview/pipeline/FramePainter.h"
#include "liveview/pipeline/LiveViewState.h"
#include "liveview/pipeline/VideoWorker.h"
#include "liveview/pipeline/Watchdog.h"
#include "tests/support/Screen.h"
#include "transport/StreamSession.h"

namespace qern::bench {

class CameraViewHost : public VideoWorkerHost, public WatchdogHost {
public:
    CameraViewHost(int windowWidth, int windowHeight, int port);
    ~CameraViewHost();

    void Start();
    // Closes the stream first, then waits (bounded) for the worker; true when it ended by itself.
    bool Stop(DWORD waitMs = 2000);
    bool WorkerRunning() const;
    VideoWorker::RunEnd LastEnd() const { return m_lastEnd; }
    // Waits until `count` more frames were painted (serving the window meanwhile).
    bool WaitPainted(uint32_t count, DWORD timeoutMs);
    // Paints the shown buffer now, as a property change would.
    void Repaint();

    // VideoWorkerHost
    bool HasCameraAddress() override { return true; }
    bool PrepareSession() override;
    bool OpenVideo() override { return session.OpenVideo(); }
    void CloseVideo() override { session.CloseVideo(); }
    bool AudioStarted() override { return true; }
    void Pause(uint32_t ms) override { WaitForSingleObject(m_stop, ms); }
    uint8_t* FrameBits(int32_t mode, int32_t index) override;
    void EraseView() override { InvalidateRect(window.hwnd(), nullptr, TRUE); }
    void ShowFrame() override;
    void OnFrameSizeChanged() override { ++sizeChanges; }
    void ProcessImage(uint8_t* pixels, size_t bytes) override;

    // WatchdogHost
    void FireViewChange() override { Repaint(); }
    void StartVideoStream() override;
    bool AdoptPageAddress() override { return false; }
    void KillWatchdogTimer() override { ++timerKills; }

    LiveViewState state;
    StreamSession session;
    qern::test::TestWindow window;
    std::string path = "/video.cgi";
    std::atomic<int> sizeChanges{0};
    int timerKills = 0;
    std::atomic<uintptr_t> hookFunction{0};
    std::atomic<uintptr_t> hookBuffer{0};

private:
    static DWORD WINAPI ThreadFunc(void* self);
    PaintSource Source();

    int m_port;
    std::vector<uint8_t> m_buffers[kModeCount][3];
    HANDLE m_stop;
    HANDLE m_paintOK;
    HANDLE m_thread = nullptr;
    VideoWorker::RunEnd m_lastEnd = VideoWorker::RunEnd::Stopped;
};

}  // namespace qern::bench
