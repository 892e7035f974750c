#pragma once
// Plays a continuous PCM stream through DirectSound by pulling one second at a time: a looping
// two-second buffer whose halves are refilled from a callback while the other one plays. Two
// notification events mark the middle of each half; a 300 ms multimedia timer polls them.
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "com/ComPtr.h"
#include "common/WinHandle.h"

namespace qern {

// Fills staging with up to wanted samples, stores how many in *delivered, may block.
typedef DWORD (*AudioFillCallback)(uint8_t* staging, DWORD wanted, DWORD* delivered, void* userData);

class MyDirectSound {
public:
    static const UINT kPollMs = 300;
    static const UINT kPollResolutionMs = 100;

    MyDirectSound();
    virtual ~MyDirectSound();
    MyDirectSound(const MyDirectSound&) = delete;
    MyDirectSound& operator=(const MyDirectSound&) = delete;

    void SetFormat(const WAVEFORMATEX& wanted);
    void SetCallback(AudioFillCallback fill, void* user);
    // Primes the first half (when nothing was played since the start or the last Stop), plays
    // looping and starts the refill timer. While the timer runs a further call does nothing.
    void Play();
    // Stops playback and the timer, silences the buffer and rewinds it.
    void Stop();

    const std::string& LastError() const { return m_lastError; }
    bool Playing() const { return m_timerId != 0; }
    // Geometry as DirectSound reports it (0 when there is no buffer).
    DWORD BufferBytes() const;
    DWORD NotifyOffset(int half) const { return m_notifyOffsets[half & 1]; }
    size_t StagingBytes() const { return m_staging.size(); }
    uint32_t HalfAFills() const { return m_halfAFills; }
    uint32_t HalfBFills() const { return m_halfBFills; }
    // Timer ticks so far (each poll, busy or not).
    uint32_t Ticks() const { return m_ticks; }
    // Time until the half being refilled starts to play (until DirectSound's write cursor gets
    // there), measured at the current refill; negative when the refill comes late.
    LONG RefillLeadMs() const { return m_refillLeadMs; }

private:
    static void CALLBACK TimerRoutine(UINT id, UINT msg, DWORD_PTR user, DWORD_PTR, DWORD_PTR);
    void OnTimer();
    // The step's text to the debugger output; lastError says that SetFormat failed.
    void FormatFailed(const char* step);
    void Report(const char* text);
    DWORD Fill();
    void CopyStaging(void* first, DWORD firstBytes, void* second, DWORD secondBytes);

    WAVEFORMATEX m_format{};
    // This player's own: a name would make every player in the session share them. Made first,
    // so they are closed only after the interfaces that signal them are released.
    KernelHandle m_notifyEvents[2];
    ComPtr<IDirectSound> m_device;
    ComPtr<IDirectSoundBuffer> m_primary;
    ComPtr<IDirectSoundBuffer> m_buffer;
    ComPtr<IDirectSoundNotify> m_notify;
    DWORD m_notifyOffsets[2] = {0, 0};
    std::vector<uint8_t> m_staging;
    AudioFillCallback m_callback = nullptr;
    void* m_userData = nullptr;
    UINT m_timerId = 0;
    uint32_t m_halfAFills = 0;
    uint32_t m_halfBFills = 0;
    std::atomic<LONG> m_refillLeadMs{0};
    std::atomic<uint32_t> m_ticks{0};
    std::string m_lastError;
    // Set while a tick refills; a tick that finds it set does nothing.
    std::atomic<LONG> m_busy{0};
};

}  // namespace qern
