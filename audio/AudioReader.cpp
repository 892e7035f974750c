#include "audio/AudioReader.h"

#include <atomic>

#include "common/WinHandle.h"
#include "common/WorkerThread.h"
#include "common/Trace.h"

namespace {

std::atomic<bool> g_audioStarted{false};

struct ReaderState {
    CriticalSection lock;
    WorkerThread thread;
    KernelHandle stop{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    AudioCameraLink* owner = nullptr;
};

ReaderState& State() {
    static ReaderState state;
    return state;
}

bool StopRequested(DWORD waitMs) { return WaitForSingleObject(State().stop.Get(), waitMs) == WAIT_OBJECT_0; }

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
    ScopedLock lock(s.lock);
    if (s.thread.Running()) return s.owner == link;
    s.thread.Join(0);
    ResetEvent(s.stop.Get());
    s.owner = link;
    if (!s.thread.Start(&AudReadThread, link, THREAD_PRIORITY_BELOW_NORMAL)) {
        s.owner = nullptr;
        return false;
    }
    return true;
}

bool Stop(AudioCameraLink* link, DWORD ms) {
    ReaderState& s = State();
    ScopedLock lock(s.lock);
    if (s.owner != link) return true;
    SetEvent(s.stop.Get());
    const bool ended = s.thread.Stop(ms, 20, [&s] {
        if (const DWORD tid = s.thread.Id()) EnumThreadWindows(tid, &CloseThreadDialog, 0);
    });
    s.owner = nullptr;
    return ended;
}

bool AudioStarted() { return g_audioStarted.load(); }

void MarkAudioStarted() { g_audioStarted = true; }

bool Running() {
    ReaderState& s = State();
    ScopedLock lock(s.lock);
    return s.thread.Running();
}

}  // namespace AudioReader
