#include "tools/bench_liveview/CameraViewHost.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "liveview/pipeline/ImageProcessHook.h"

namespace qern::bench {

CameraViewHost::CameraViewHost(int windowWidth, int windowHeight, int port)
    : window(windowWidth, windowHeight), m_port(port) {
    for (int m = 0; m < kModeCount; ++m) {
        const FrameSize size = ModeSize(m);
        for (auto& b : m_buffers[m]) {
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
    m_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_paintOK = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

CameraViewHost::~CameraViewHost() {
    Stop();
    CloseHandle(m_stop);
    CloseHandle(m_paintOK);
}

bool CameraViewHost::PrepareSession() {
    char url[64];
    std::snprintf(url, sizeof url, "http://127.0.0.1:%d", m_port);
    return session.SetUrl(url) && session.SetPath(path.c_str()) && session.SetUser("admin") &&
           session.SetPassword("admin");
}

uint8_t* CameraViewHost::FrameBits(int32_t mode, int32_t index) {
    if (!IsKnownMode(mode) || index < 0 || index > 2) return nullptr;
    return m_buffers[mode][index].data() + 40;
}

PaintSource CameraViewHost::Source() {
    static thread_local char text[kOverlayTextSize];
    state.m_overlayText.Get(text);
    PaintSource s;
    s.mode = state.m_mode;
    if (IsKnownMode(s.mode)) {
        const auto& b = m_buffers[s.mode][state.Shown(s.mode) % 3];
        s.header = reinterpret_cast<const BITMAPINFOHEADER*>(b.data());
        s.bits = b.data() + 40;
    }
    s.stretch = state.m_bStretch;
    s.zoom = state.m_zoom;
    s.overlayText = text;
    return s;
}

void CameraViewHost::ShowFrame() {
    PaintFrame(window.hwnd(), Source(), m_paintOK);
    WaitForPaint(m_paintOK);
}

void CameraViewHost::Repaint() { PaintFrame(window.hwnd(), Source(), m_paintOK); }

void CameraViewHost::ProcessImage(uint8_t* pixels, size_t bytes) {
    RunImageProcessHook(hookFunction, hookBuffer, pixels, bytes);
}

DWORD WINAPI CameraViewHost::ThreadFunc(void* self) {
    auto* host = static_cast<CameraViewHost*>(self);
    host->m_lastEnd = VideoWorker(host->state, host->session, *host).ProceedingVideoStream();
    return 0;
}

void CameraViewHost::Start() {
    Stop();
    state.m_bStreaming = true;
    ResetEvent(m_stop);
    m_thread = CreateThread(nullptr, 0, &ThreadFunc, this, 0, nullptr);
    SetThreadPriority(m_thread, THREAD_PRIORITY_BELOW_NORMAL);
}

void CameraViewHost::StartVideoStream() { Start(); }

bool CameraViewHost::WorkerRunning() const { return m_thread && WaitForSingleObject(m_thread, 0) == WAIT_TIMEOUT; }

bool CameraViewHost::Stop(DWORD waitMs) {
    if (!m_thread) return true;
    state.m_bStreaming = false;
    SetEvent(m_stop);
    // A worker still opening the stream may make new handles after a close: close again while
    // waiting.
    bool ended = false;
    for (DWORD waited = 0; !ended && waited < waitMs; waited += 20) {
        session.CloseVideo();
        ended = WaitForSingleObject(m_thread, 20) == WAIT_OBJECT_0;
    }
    if (!ended) TerminateThread(m_thread, 1);
    CloseHandle(m_thread);
    m_thread = nullptr;
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

}  // namespace qern::bench
