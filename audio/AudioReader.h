#pragma once
// A live view's sound: a reader thread that waits for the live view to know its camera, opens
// the camera's "/audio.cgi" once the picture's stream is open, cuts the stream into frames and
// queues their samples for a DirectSound player that pulls one second at a time. Each live view
// has its own reader, player and queue; the reader ends with its live view. When the picture
// reconnects, a sound connection that has ended or stalled is opened again.
#include <windows.h>

#include <atomic>
#include <memory>

#include "audio/AudioFrameParser.h"
#include "audio/AudioSampleQueue.h"
#include "common/WinHandle.h"
#include "common/WorkerThread.h"

namespace qern {

class MyDirectSound;
class StreamSession;

// What the reader needs from the live view that owns it.
class AudioCameraLink {
public:
    virtual bool HasCameraAddress() = 0;  // base URL and video path both set
    virtual bool IsStreaming() = 0;
    virtual HWND OwnerWindow() = 0;  // owner of the reader's message boxes
protected:
    ~AudioCameraLink() = default;
};

class AudioReader {
public:
    // Checks 500 ms apart while waiting for the camera, and how many.
    static const DWORD kCheckIntervalMs = 500;
    static const int kChecks = 25;
    static const DWORD kSamplesPerSecond = 8000;
    // A connection without bytes for this long counts as stalled when the picture reconnects.
    static const DWORD kStalledMs = 2000;
    // A camera that had no sound is asked again only after this long, not at every reconnect.
    static const DWORD kNoSoundRetryMs = 60000;

    struct Stats {
        AudioSampleQueue::Counters queue;
        uint32_t opens = 0;       // sound connections opened
        uint32_t framesLost = 0;  // sequence gaps
        uint32_t framesTooLong = 0;
        uint32_t delays = 0;  // seconds whose delay was measured
        double delayMeanMs = 0, delayMinMs = 0, delayMaxMs = 0, delaySpreadMs = 0;
    };

    AudioReader(AudioCameraLink& link, StreamSession& session);
    ~AudioReader();
    AudioReader(const AudioReader&) = delete;
    AudioReader& operator=(const AudioReader&) = delete;

    // Starts the reader thread unless it runs. True when it runs after the call.
    bool Start();
    // Ends the reader within about ms (then it is terminated), closing a message box it shows
    // and its connection; false if it had to be terminated.
    bool Stop(DWORD ms);
    bool Running() const { return m_thread.Running(); }
    // Reader threads alive in the process, for diagnostics.
    static LONG RunningReaders();

    // The picture's stream is open, so the session holds the camera's address and credentials:
    // opens the sound, or opens it again when its connection ended or stalled (a camera that
    // had none is asked again only after kNoSoundRetryMs).
    void CameraReady();
    // Set once the player has asked for sound the first time; never cleared.
    bool AudioStarted() const { return m_audioStarted; }
    // Nothing more to wait for: the sound started, or the last open gave up (no sound there),
    // or no reader runs.
    bool Settled() const { return m_audioStarted || m_answered || !Running(); }

    Stats Snapshot() const;
    // Appends the counters to the file QERN_AUDIO_STATS names, if any.
    void WriteStats() const;

private:
    static DWORD WINAPI AudReadThread(void* reader);
    static DWORD FillAudio(uint8_t* staging, DWORD wanted, DWORD* delivered, void* reader);
    void ProceedingAudioStream();
    bool WaitForCamera();
    void ShowBox(const char* text);
    // Reads the open connection until it ends or the reader stops.
    void ReadStream();
    void StartPlayer();
    bool StopRequested(DWORD waitMs) const;

    AudioCameraLink& m_link;
    StreamSession& m_session;
    WorkerThread m_thread;
    KernelHandle m_stop{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    KernelHandle m_openRequest{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    AudioFrameParser m_parser;
    AudioSampleQueue m_queue{kSamplesPerSecond};
    std::unique_ptr<MyDirectSound> m_player;  // made with the first frame, kept until the end
    std::atomic<bool> m_audioStarted{false};
    std::atomic<bool> m_answered{false};
    std::atomic<DWORD> m_lastBytesTick{0};
    std::atomic<bool> m_noSound{false};  // the last open brought no frame
    std::atomic<DWORD> m_noSoundTick{0};
    std::atomic<bool> m_reading{false};
    std::atomic<uint32_t> m_opens{0};
    // The parser's counters, copied for readers on other threads.
    std::atomic<uint32_t> m_framesLost{0};
    std::atomic<uint32_t> m_framesTooLong{0};
    // Delay of each measured second, in ms: count, sum, sum of squares, least, most.
    mutable CriticalSection m_delayLock;
    uint32_t m_delayCount = 0;
    double m_delaySum = 0, m_delaySquares = 0, m_delayMin = 0, m_delayMax = 0;
};

}  // namespace qern
