#include "tools/bench_liveview/CameraViewHost.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "liveview/pipeline/ImageProcessHook.h"

namespace liveview::bench {

CameraViewHost::CameraViewHost(int windowWidth, int windowHeight, int port)
    : window(windowWidth, windowHeight), port_(port) {
    for (int m = 0; m < kModeCount; ++m) {
        const FrameSize size = ModeSize(m);
        for (auto& b : buffers_[m]) {
            b.assign(40 + size_t(size.width) * size.height * 4, 0xCC);
            BITMAPINFOHEADER h{};
            h.biSize = 40;
            h.biWidth = size.width;
            h.biHeight = size.height;
            h.biPlanes = 1;
            h.biBitCount = 32;
            h.biSizeImage = DWORD(size.width) * size.height * 4;
            std::memcpy(b.data(), &h, 40);
        }
    }
    stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    paintOK_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

CameraViewHost::~CameraViewHost() {
    Stop();
    CloseHandle(stop_);
    CloseHandle(paintOK_);
}

bool CameraViewHost::PrepareSession() {
    char url[64];
    std::snprintf(url, sizeof url, "http://127.0.0.1:%d", port_);
    return session.SetUrl(url) && session.SetPath(path.c_str()) && session.SetUser("admin") &&
           session.SetPassword("admin");
}

uint8_t* CameraViewHost::FrameBits(int32_t mode, int32_t index) {
    if (!IsKnownMode(mode) || index < 0 || index > 2) return nullptr;
    return buffers_[mode][index].data() + 40;
}

PaintSource CameraViewHost::Source() {
    static thread_local char text[kOverlayTextSize];
    state.m_overlayText.Get(text);
    PaintSource s;
    s.mode = state.m_mode;
    if (IsKnownMode(s.mode)) {
        const auto& b = buffers_[s.mode][state.Shown(s.mode) % 3];
        s.header = reinterpret_cast<const BITMAPINFOHEADER*>(b.data());
        s.bits = b.data() + 40;
    }
    s.stretch = state.m_bStretch;
    s.zoom = state.m_zoom;
    s.overlayText = text;
    return s;
}

void CameraViewHost::ShowFrame() {
    PaintFrame(window.hwnd(), Source(), paintOK_);
    WaitForPaint(paintOK_);
}

void CameraViewHost::Repaint() { PaintFrame(window.hwnd(), Source(), paintOK_); }

void CameraViewHost::ProcessImage(uint8_t* pixels, size_t bytes) {
    RunImageProcessHook(hookFunction, hookBuffer, pixels, bytes);
}

DWORD WINAPI CameraViewHost::ThreadFunc(void* self) {
    auto* host = static_cast<CameraViewHost*>(self);
    host->lastEnd_ = VideoWorker(host->state, host->session, *host).ProceedingVideoStream();
    return 0;
}

void CameraViewHost::Start() {
    Stop();
    state.m_bStreaming = true;
    ResetEvent(stop_);
    thread_ = CreateThread(nullptr, 0, &ThreadFunc, this, 0, nullptr);
    SetThreadPriority(thread_, THREAD_PRIORITY_BELOW_NORMAL);
}

void CameraViewHost::StartVideoStream() { Start(); }

bool CameraViewHost::WorkerRunning() const { return thread_ && WaitForSingleObject(thread_, 0) == WAIT_TIMEOUT; }

bool CameraViewHost::Stop(DWORD waitMs) {
    if (!thread_) return true;
    state.m_bStreaming = false;
    SetEvent(stop_);
    // A worker still opening the stream may make new handles after a close: close again while
    // waiting.
    bool ended = false;
    for (DWORD waited = 0; !ended && waited < waitMs; waited += 20) {
        session.CloseVideo();
        ended = WaitForSingleObject(thread_, 20) == WAIT_OBJECT_0;
    }
    if (!ended) TerminateThread(thread_, 1);
    CloseHandle(thread_);
    thread_ = nullptr;
    return ended;
}

bool CameraViewHost::WaitPainted(uint32_t count, DWORD timeoutMs) {
    const uint32_t target = state.stats.framesPainted + count;
    const DWORD start = GetTickCount();
    while (state.stats.framesPainted < target) {
        if (GetTickCount() - start > timeoutMs) return false;
        qern::test::PumpMessages(10);
    }
    return true;
}

}  // namespace liveview::bench
