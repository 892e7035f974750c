#include "audio/AudioReader.h"

#include <atomic>

#include "com/WinHandle.h"
#include "com/WorkerThread.h"
#include "transport/Trace.h"

namespace {

std::atomic<bool> g_audioStarted{false};

struct ReaderState {
    qern::CriticalSection lock;
    WorkerThread thread;
    qern::WinHandle stop{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    AudioCameraLink* owner = nullptr;
};

ReaderState& State() {
    static ReaderState state;
    return state;
}

bool StopRequested(DWORD waitMs) { return WaitForSingleObject(State().stop.get(), waitMs) == WAIT_OBJECT_0; }

void ShowBox(AudioCameraLink* link, const char* text) {
    if (StopRequested(0)) return;
    MessageBoxA(link->OwnerWindow(), text, "", MB_OK);
}

void ProceedingAudioStream(AudioCameraLink* link) {
    int checks = 0;
    for (; checks < AudioReader::kChecks; ++checks) {
        if (link->HasCameraAddress()) break;
        if (!link->IsStreaming()) break;
        if (StopRequested(AudioReader::kCheckIntervalMs)) return;
    }
    if (checks == AudioReader::kChecks) {
        ShowBox(link, "ProceedingAudioStream fail..");
        return;
    }
    if (!link->HasCameraAddress()) {
        ShowBox(link, "ProceedingAudioStream m_bStreaming fail..");
        return;
    }
    // The camera is known: playback takes over from here once the sound path is in place.
}

DWORD WINAPI AudReadThread(void* param) {
    QernTrace("AudReadThread..\n");
    ProceedingAudioStream(static_cast<AudioCameraLink*>(param));
    return 0;
}

// Closes any message box the reader thread shows.
BOOL CALLBACK CloseThreadDialog(HWND hwnd, LPARAM) {
    char cls[16] = {};
    GetClassNameA(hwnd, cls, sizeof(cls));
    if (lstrcmpA(cls, "#32770") == 0) PostMessageA(hwnd, WM_COMMAND, IDOK, 0);
    return TRUE;
}

}  // namespace

namespace AudioReader {

bool Start(AudioCameraLink* link) {
    ReaderState& s = State();
    qern::ScopedLock lock(s.lock);
    if (s.thread.Running()) return s.owner == link;
    s.thread.Join(0);
    ResetEvent(s.stop.get());
    s.owner = link;
    if (!s.thread.Start(&AudReadThread, link, THREAD_PRIORITY_BELOW_NORMAL)) {
        s.owner = nullptr;
        return false;
    }
    return true;
}

bool Stop(AudioCameraLink* link, DWORD ms) {
    ReaderState& s = State();
    qern::ScopedLock lock(s.lock);
    if (s.owner != link) return true;
    SetEvent(s.stop.get());
    DWORD start = GetTickCount();
    bool ended = false;
    for (;;) {
        DWORD tid = s.thread.Id();
        if (tid) EnumThreadWindows(tid, &CloseThreadDialog, 0);
        if (s.thread.Join(20)) {
            ended = true;
            break;
        }
        if (GetTickCount() - start >= ms) break;
    }
    if (!ended) {
        QernTrace("AudioReader::Stop..reader terminated\n");
        s.thread.Terminate();
    }
    s.owner = nullptr;
    return ended;
}

bool AudioStarted() { return g_audioStarted.load(); }

void MarkAudioStarted() { g_audioStarted = true; }

bool Running() {
    ReaderState& s = State();
    qern::ScopedLock lock(s.lock);
    return s.thread.Running();
}

}  // namespace AudioReader
