#include "audio/MyDirectSound.h"

#include <algorithm>
#include <cstring>

#include "common/Trace.h"

namespace {
const char kSetFormatFailed[] = "MyDirectSound SetFormat Failed!";
// How long Stop waits for a refill that is running when the timer is killed.
const DWORD kTickEndWaitMs = 2000;
}  // namespace

MyDirectSound::MyDirectSound() {
    for (KernelHandle& e : notifyEvents) e.Reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
}

MyDirectSound::~MyDirectSound() {
    Stop();
    // The interfaces go in reverse order of their making: notify, buffers, device.
}

void MyDirectSound::Report(const char* text) { OutputDebugStringA(text); }

void MyDirectSound::FormatFailed(const char* step) {
    Report(step);
    lastError = kSetFormatFailed;
}

void MyDirectSound::SetFormat(const WAVEFORMATEX& wanted) {
    format = wanted;
    const DWORD a = format.nAvgBytesPerSec;
    if (FAILED(DirectSoundCreate(nullptr, device.put(), nullptr))) return FormatFailed("Create DirectSound Failed!");
    HWND window = GetForegroundWindow();
    if (!window) window = GetDesktopWindow();
    if (FAILED(device->SetCooperativeLevel(window, DSSCL_PRIORITY))) return FormatFailed("SetCooperativeLevel Failed");

    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
    if (FAILED(device->CreateSoundBuffer(&desc, primary.put(), nullptr)))
        return FormatFailed("Create Primary Sound Buffer Failed!");
    if (FAILED(primary->SetFormat(&format))) return FormatFailed("Set Primary Format Failed!");

    desc.dwFlags = DSBCAPS_GLOBALFOCUS | DSBCAPS_CTRLPOSITIONNOTIFY;
    desc.dwBufferBytes = 2 * a;
    desc.lpwfxFormat = &format;
    if (FAILED(device->CreateSoundBuffer(&desc, buffer.put(), nullptr)))
        return FormatFailed("Create Second Sound Buffer Failed!");
    if (FAILED(buffer->QueryInterface(IID_IDirectSoundNotify, notify.put_void())))
        return FormatFailed("QueryInterface DirectSoundNotify Failed!");

    DSBPOSITIONNOTIFY positions[2];
    positions[0].dwOffset = a / 2 - 1;
    positions[0].hEventNotify = notifyEvents[0].Get();
    positions[1].dwOffset = 3 * a / 2 - 1;
    positions[1].hEventNotify = notifyEvents[1].Get();
    if (FAILED(notify->SetNotificationPositions(2, positions))) return FormatFailed("Set NotificationPosition Failed!");
    notifyOffsets[0] = positions[0].dwOffset;
    notifyOffsets[1] = positions[1].dwOffset;

    staging.assign(a, 0);
}

void MyDirectSound::SetCallback(AudioFillCallback fill, void* user) {
    callback = fill;
    userData = user;
}

DWORD MyDirectSound::BufferBytes() const {
    if (!buffer) return 0;
    DSBCAPS caps{};
    caps.dwSize = sizeof caps;
    return SUCCEEDED(buffer->GetCaps(&caps)) ? caps.dwBufferBytes : 0;
}

// Asks the callback for a second; silences what it did not deliver.
DWORD MyDirectSound::Fill() {
    const DWORD wanted = format.nSamplesPerSec;
    DWORD delivered = 0;
    callback(staging.data(), wanted, &delivered, userData);
    const size_t bytes = std::min<size_t>(size_t(std::min(delivered, wanted)) * format.nBlockAlign, staging.size());
    std::memset(staging.data() + bytes, 0, staging.size() - bytes);
    return delivered;
}

void MyDirectSound::CopyStaging(void* first, DWORD firstBytes, void* second, DWORD secondBytes) {
    const size_t n1 = std::min<size_t>(firstBytes, staging.size());
    std::memcpy(first, staging.data(), n1);
    if (second) std::memcpy(second, staging.data() + n1, std::min<size_t>(secondBytes, staging.size() - n1));
}

void MyDirectSound::Play() {
    if (!device) lastError = "DirectSound was not created!";
    else if (!callback) lastError = "Callback Function is NULL!";
    if (!device || !callback || lstrcmpiA(lastError.c_str(), kSetFormatFailed) == 0) {
        Report(lastError.c_str());
        return;
    }
    if (!buffer) return;
    if (timerId) {
        QernTrace("MyDirectSound::Play..already playing\n");
        return;
    }
    const DWORD a = format.nAvgBytesPerSec;
    if (halfAFills == 0) {
        refillLeadMs = 0;  // the first half plays at once
        Fill();
        void *p1 = nullptr, *p2 = nullptr;
        DWORD n1 = 0, n2 = 0;
        if (FAILED(buffer->Lock(0, a, &p1, &n1, &p2, &n2, 0))) {
            lastError = "Lock DirectSoundBuffer Failed!";
            Report(lastError.c_str());
            return;
        }
        CopyStaging(p1, n1, p2, n2);
        buffer->Unlock(p1, n1, p2, n2);
    }
    buffer->Play(0, 0, DSBPLAY_LOOPING);
    timerId = timeSetEvent(kPollMs, kPollResolutionMs, &MyDirectSound::TimerRoutine, reinterpret_cast<DWORD_PTR>(this),
                           TIME_PERIODIC | TIME_KILL_SYNCHRONOUS);
}

void CALLBACK MyDirectSound::TimerRoutine(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    MyDirectSound* self = reinterpret_cast<MyDirectSound*>(user);
    ++self->ticks;
    LONG idle = 0;
    if (!self->busy.compare_exchange_strong(idle, 1)) return;  // the last refill still runs
    self->OnTimer();
    self->busy = 0;
}

void MyDirectSound::OnTimer() {
    HANDLE events[2] = {notifyEvents[0].Get(), notifyEvents[1].Get()};
    const DWORD which = WaitForMultipleObjects(2, events, FALSE, 0);
    const DWORD a = format.nAvgBytesPerSec;
    DWORD offset = 0;
    if (which == WAIT_OBJECT_0) {
        ++halfAFills;
        offset = a;
    } else if (which == WAIT_OBJECT_0 + 1) {
        ++halfBFills;
        offset = 0;
    } else {
        return;
    }
    void *p1 = nullptr, *p2 = nullptr;
    DWORD n1 = 0, n2 = 0;
    if (FAILED(buffer->Lock(offset, a, &p1, &n1, &p2, &n2, 0))) {
        lastError = "Lock DirectSoundBuffer Failed!";
        Report(lastError.c_str());
        return;
    }
    DWORD playCursor = 0, writeCursor = 0;
    // Bytes before the write cursor are mixed already: writing there comes too late.
    if (SUCCEEDED(buffer->GetCurrentPosition(&playCursor, &writeCursor)) && a) {
        LONG ahead = LONG((offset + 2 * a - writeCursor % (2 * a)) % (2 * a));
        // A refill follows the event in the middle of the other half: more than 0.75 s ahead
        // means the half started already.
        if (ahead > LONG(a * 3 / 4)) ahead -= LONG(2 * a);
        refillLeadMs = LONG(int64_t(ahead) * 1000 / LONG(a));
    }
    Fill();
    CopyStaging(p1, n1, p2, n2);
    buffer->Unlock(p1, n1, p2, n2);
}

void MyDirectSound::Stop() {
    if (!buffer) return;
    buffer->Stop();
    if (timerId) timeKillEvent(timerId);
    timerId = 0;
    // A refill that was running when the timer went must not outlive the buffer it writes.
    for (DWORD waited = 0; busy.load() && waited < kTickEndWaitMs; waited += 5) Sleep(5);
    void *p1 = nullptr, *p2 = nullptr;
    DWORD n1 = 0, n2 = 0;
    if (FAILED(buffer->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER))) {
        lastError = "Lock entirebuffer failed! Stop Failed!";
        Report(lastError.c_str());
        return;
    }
    std::memset(p1, 0, n1);
    if (p2) std::memset(p2, 0, n2);
    buffer->Unlock(p1, n1, p2, n2);
    buffer->SetCurrentPosition(0);
    for (KernelHandle& e : notifyEvents) ResetEvent(e.Get());
    halfAFills = halfBFills = 0;
}
