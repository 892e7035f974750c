#include "audio/MyDirectSound.h"

#include <algorithm>
#include <cstring>

#include "common/Trace.h"

namespace qern {

namespace {
const char kSetFormatFailed[] = "MyDirectSound SetFormat Failed!";
// How long Stop waits for a refill that is running when the timer is killed.
const DWORD kTickEndWaitMs = 2000;
}  // namespace

MyDirectSound::MyDirectSound() {
    for (KernelHandle& e : m_notifyEvents) e.Reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
}

MyDirectSound::~MyDirectSound() {
    Stop();
    // The interfaces go in reverse order of their making: notify, buffers, device.
}

void MyDirectSound::Report(const char* text) { OutputDebugStringA(text); }

void MyDirectSound::FormatFailed(const char* step) {
    Report(step);
    m_lastError = kSetFormatFailed;
}

void MyDirectSound::SetFormat(const WAVEFORMATEX& wanted) {
    m_format = wanted;
    const DWORD a = m_format.nAvgBytesPerSec;
    if (FAILED(DirectSoundCreate(nullptr, m_device.put(), nullptr))) return FormatFailed("Create DirectSound Failed!");
    HWND window = GetForegroundWindow();
    if (!window) window = GetDesktopWindow();
    if (FAILED(m_device->SetCooperativeLevel(window, DSSCL_PRIORITY)))
        return FormatFailed("SetCooperativeLevel Failed");

    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
    if (FAILED(m_device->CreateSoundBuffer(&desc, m_primary.put(), nullptr)))
        return FormatFailed("Create Primary Sound Buffer Failed!");
    if (FAILED(m_primary->SetFormat(&m_format))) return FormatFailed("Set Primary Format Failed!");

    desc.dwFlags = DSBCAPS_GLOBALFOCUS | DSBCAPS_CTRLPOSITIONNOTIFY;
    desc.dwBufferBytes = 2 * a;
    desc.lpwfxFormat = &m_format;
    if (FAILED(m_device->CreateSoundBuffer(&desc, m_buffer.put(), nullptr)))
        return FormatFailed("Create Second Sound Buffer Failed!");
    if (FAILED(m_buffer->QueryInterface(IID_IDirectSoundNotify, m_notify.put_void())))
        return FormatFailed("QueryInterface DirectSoundNotify Failed!");

    DSBPOSITIONNOTIFY positions[2];
    positions[0].dwOffset = a / 2 - 1;
    positions[0].hEventNotify = m_notifyEvents[0].Get();
    positions[1].dwOffset = 3 * a / 2 - 1;
    positions[1].hEventNotify = m_notifyEvents[1].Get();
    if (FAILED(m_notify->SetNotificationPositions(2, positions)))
        return FormatFailed("Set NotificationPosition Failed!");
    m_notifyOffsets[0] = positions[0].dwOffset;
    m_notifyOffsets[1] = positions[1].dwOffset;

    m_staging.assign(a, 0);
}

void MyDirectSound::SetCallback(AudioFillCallback fill, void* user) {
    m_callback = fill;
    m_userData = user;
}

DWORD MyDirectSound::BufferBytes() const {
    if (!m_buffer) return 0;
    DSBCAPS caps{};
    caps.dwSize = sizeof caps;
    return SUCCEEDED(m_buffer->GetCaps(&caps)) ? caps.dwBufferBytes : 0;
}

// Asks the callback for a second; silences what it did not deliver.
DWORD MyDirectSound::Fill() {
    const DWORD wanted = m_format.nSamplesPerSec;
    DWORD delivered = 0;
    m_callback(m_staging.data(), wanted, &delivered, m_userData);
    const size_t bytes = std::min<size_t>(size_t(std::min(delivered, wanted)) * m_format.nBlockAlign, m_staging.size());
    std::memset(m_staging.data() + bytes, 0, m_staging.size() - bytes);
    return delivered;
}

void MyDirectSound::CopyStaging(void* first, DWORD firstBytes, void* second, DWORD secondBytes) {
    const size_t n1 = std::min<size_t>(firstBytes, m_staging.size());
    std::memcpy(first, m_staging.data(), n1);
    if (second) std::memcpy(second, m_staging.data() + n1, std::min<size_t>(secondBytes, m_staging.size() - n1));
}

void MyDirectSound::Play() {
    if (!m_device)
        m_lastError = "DirectSound was not created!";
    else if (!m_callback)
        m_lastError = "Callback Function is NULL!";
    if (!m_device || !m_callback || lstrcmpiA(m_lastError.c_str(), kSetFormatFailed) == 0) {
        Report(m_lastError.c_str());
        return;
    }
    if (!m_buffer) return;
    if (m_timerId) {
        QernTrace("MyDirectSound::Play..already playing\n");
        return;
    }
    const DWORD a = m_format.nAvgBytesPerSec;
    if (m_halfAFills == 0) {
        m_refillLeadMs = 0;  // the first half plays at once
        Fill();
        void *p1 = nullptr, *p2 = nullptr;
        DWORD n1 = 0, n2 = 0;
        if (FAILED(m_buffer->Lock(0, a, &p1, &n1, &p2, &n2, 0))) {
            m_lastError = "Lock DirectSoundBuffer Failed!";
            Report(m_lastError.c_str());
            return;
        }
        CopyStaging(p1, n1, p2, n2);
        m_buffer->Unlock(p1, n1, p2, n2);
    }
    m_buffer->Play(0, 0, DSBPLAY_LOOPING);
    m_timerId = timeSetEvent(kPollMs, kPollResolutionMs, &MyDirectSound::TimerRoutine,
                             reinterpret_cast<DWORD_PTR>(this), TIME_PERIODIC | TIME_KILL_SYNCHRONOUS);
}

void CALLBACK MyDirectSound::TimerRoutine(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    MyDirectSound* self = reinterpret_cast<MyDirectSound*>(user);
    ++self->m_ticks;
    LONG idle = 0;
    if (!self->m_busy.compare_exchange_strong(idle, 1)) return;  // the last refill still runs
    self->OnTimer();
    self->m_busy = 0;
}

void MyDirectSound::OnTimer() {
    HANDLE events[2] = {m_notifyEvents[0].Get(), m_notifyEvents[1].Get()};
    const DWORD which = WaitForMultipleObjects(2, events, FALSE, 0);
    const DWORD a = m_format.nAvgBytesPerSec;
    DWORD offset = 0;
    if (which == WAIT_OBJECT_0) {
        ++m_halfAFills;
        offset = a;
    } else if (which == WAIT_OBJECT_0 + 1) {
        ++m_halfBFills;
        offset = 0;
    } else {
        return;
    }
    void *p1 = nullptr, *p2 = nullptr;
    DWORD n1 = 0, n2 = 0;
    if (FAILED(m_buffer->Lock(offset, a, &p1, &n1, &p2, &n2, 0))) {
        m_lastError = "Lock DirectSoundBuffer Failed!";
        Report(m_lastError.c_str());
        return;
    }
    DWORD playCursor = 0, writeCursor = 0;
    // Bytes before the write cursor are mixed already: writing there comes too late.
    if (SUCCEEDED(m_buffer->GetCurrentPosition(&playCursor, &writeCursor)) && a) {
        LONG ahead = LONG((offset + 2 * a - writeCursor % (2 * a)) % (2 * a));
        // A refill follows the event in the middle of the other half: more than 0.75 s ahead
        // means the half started already.
        if (ahead > LONG(a * 3 / 4)) ahead -= LONG(2 * a);
        m_refillLeadMs = LONG(int64_t(ahead) * 1000 / LONG(a));
    }
    Fill();
    CopyStaging(p1, n1, p2, n2);
    m_buffer->Unlock(p1, n1, p2, n2);
}

void MyDirectSound::Stop() {
    if (!m_buffer) return;
    m_buffer->Stop();
    if (m_timerId) timeKillEvent(m_timerId);
    m_timerId = 0;
    // A refill that was running when the timer went must not outlive the buffer it writes.
    for (DWORD waited = 0; m_busy.load() && waited < kTickEndWaitMs; waited += 5) Sleep(5);
    void *p1 = nullptr, *p2 = nullptr;
    DWORD n1 = 0, n2 = 0;
    if (FAILED(m_buffer->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER))) {
        m_lastError = "Lock entirebuffer failed! Stop Failed!";
        Report(m_lastError.c_str());
        return;
    }
    std::memset(p1, 0, n1);
    if (p2) std::memset(p2, 0, n2);
    m_buffer->Unlock(p1, n1, p2, n2);
    m_buffer->SetCurrentPosition(0);
    for (KernelHandle& e : m_notifyEvents) ResetEvent(e.Get());
    m_halfAFills = m_halfBFills = 0;
}

}  // namespace qern
