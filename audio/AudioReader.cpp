#include "audio/AudioReader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "audio/MyDirectSound.h"
#include "transport/StreamSession.h"
#include "common/Trace.h"

namespace qern {

namespace {

std::atomic<LONG> g_runningReaders{0};

// Closes any message box the reader thread shows.
BOOL CALLBACK CloseThreadDialog(HWND hwnd, LPARAM) {
    char cls[16] = {};
    GetClassNameA(hwnd, cls, sizeof(cls));
    if (lstrcmpA(cls, "#32770") == 0) PostMessageA(hwnd, WM_COMMAND, IDOK, 0);
    return TRUE;
}

}  // namespace

AudioReader::AudioReader(AudioCameraLink& link, StreamSession& session) : m_link(link), m_session(session) {}

AudioReader::~AudioReader() { Stop(2000); }

bool AudioReader::StopRequested(DWORD waitMs) const {
    return WaitForSingleObject(m_stop.Get(), waitMs) == WAIT_OBJECT_0;
}

bool AudioReader::Start() {
    if (m_thread.Running()) return true;
    m_thread.Join(0);
    ResetEvent(m_stop.Get());
    ++g_runningReaders;  // counted from here, so that a reader just started counts
    if (m_thread.Start(&AudioReader::AudReadThread, this, THREAD_PRIORITY_BELOW_NORMAL)) return true;
    --g_runningReaders;
    return false;
}

bool AudioReader::Stop(DWORD ms) {
    if (!m_thread.Started()) return true;
    SetEvent(m_stop.Get());
    // Closes a message box the reader shows, and ends a read blocked on the camera (a reader
    // still opening may make new handles: closed again at the next step).
    const bool ended = m_thread.Stop(ms, 20, [this] {
        if (const DWORD tid = m_thread.Id()) EnumThreadWindows(tid, &CloseThreadDialog, 0);
        if (m_reading) m_session.CloseAudio();
    });
    if (!ended) {
        QernTrace("AudioReader::Stop..reader terminated\n");
        --g_runningReaders;
    }
    return ended;
}

void AudioReader::CameraReady() {
    if (m_noSound && GetTickCount() - m_noSoundTick.load() < kNoSoundRetryMs) {
        m_answered = true;
        return;
    }
    m_answered = false;
    SetEvent(m_openRequest.Get());
    // A connection that still brings sound is kept; one that stalled is closed underneath its
    // read, so the reader opens it again.
    if (m_reading && GetTickCount() - m_lastBytesTick.load() > kStalledMs) m_session.CloseAudio();
}

LONG AudioReader::RunningReaders() { return g_runningReaders.load(); }

DWORD WINAPI AudioReader::AudReadThread(void* reader) {
    QernTrace("AudReadThread..\n");
    static_cast<AudioReader*>(reader)->ProceedingAudioStream();
    --g_runningReaders;
    return 0;
}

void AudioReader::ShowBox(const char* text) {
    if (StopRequested(0)) return;
    MessageBoxA(m_link.OwnerWindow(), text, "", MB_OK);
}

bool AudioReader::WaitForCamera() {
    int checks = 0;
    for (; checks < kChecks; ++checks) {
        if (m_link.HasCameraAddress()) break;
        if (!m_link.IsStreaming()) break;
        if (StopRequested(kCheckIntervalMs)) return false;
    }
    if (checks == kChecks) {
        ShowBox("ProceedingAudioStream fail..");
        return false;
    }
    if (!m_link.HasCameraAddress()) {
        ShowBox("ProceedingAudioStream m_bStreaming fail..");
        return false;
    }
    return true;
}

void AudioReader::ProceedingAudioStream() {
    if (!WaitForCamera()) return;
    HANDLE waits[2] = {m_stop.Get(), m_openRequest.Get()};
    // Each request of the picture (its stream is open) opens the sound if it is not playing.
    while (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
        m_session.CloseAudio();
        m_reading = true;
        m_lastBytesTick = GetTickCount();
        const uint64_t before = m_queue.Snapshot().received;
        if (m_session.OpenAudio()) {
            ++m_opens;
            m_queue.NewStream();
            ReadStream();
        } else {
            QernTrace("ProceedingAudioStream..OpenAudio failed\n");
        }
        m_noSoundTick = GetTickCount();
        m_noSound = m_queue.Snapshot().received == before;
        m_reading = false;
        m_session.CloseAudio();
        m_answered = true;
        if (StopRequested(0)) break;
    }
    if (m_player) m_player->Stop();
    m_player.reset();
    m_session.CloseAudio();
    WriteStats();
}

void AudioReader::ReadStream() {
    m_parser.Reset();
    std::vector<uint8_t> payload(AudioFrameParser::kBlockBytes);
    while (!StopRequested(0)) {
        const uint32_t n = m_session.audioClient.Read(m_parser.Space(), static_cast<uint32_t>(m_parser.Room()));
        if (n == 0) return;  // ended, failed or closed underneath
        m_lastBytesTick = GetTickCount();
        const size_t bytes = m_parser.Commit(n, payload.data());
        m_framesLost = m_parser.FramesLost();
        m_framesTooLong = m_parser.FramesTooLong();
        if (bytes == 0) continue;
        m_queue.Push(payload.data(), bytes / 2);
        if (!m_player) StartPlayer();
    }
}

void AudioReader::StartPlayer() {
    m_player.reset(new MyDirectSound);
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = kSamplesPerSecond;
    format.nAvgBytesPerSec = kSamplesPerSecond * 2;
    format.nBlockAlign = 2;
    format.wBitsPerSample = 16;
    format.cbSize = 0;
    m_player->SetFormat(format);
    m_player->SetCallback(&AudioReader::FillAudio, this);
    m_player->Play();
    // Without a sound device there is nothing to wait for.
    if (!m_player->LastError().empty()) m_answered = true;
}

DWORD AudioReader::FillAudio(uint8_t* staging, DWORD wanted, DWORD* delivered, void* reader) {
    AudioReader* self = static_cast<AudioReader*>(reader);
    uint32_t queued = 0;
    const LONG leadMs = self->m_player ? self->m_player->RefillLeadMs() : 0;
    *delivered = self->m_queue.Fill(staging, wanted, leadMs, &queued);
    if (*delivered == wanted && queued >= wanted) {
        // The oldest sample came queued / rate seconds ago and plays once the half starts.
        const double ms = queued * 1000.0 / kSamplesPerSecond + leadMs;
        ScopedLock lock(self->m_delayLock);
        if (self->m_delayCount == 0 || ms < self->m_delayMin) self->m_delayMin = ms;
        if (self->m_delayCount == 0 || ms > self->m_delayMax) self->m_delayMax = ms;
        ++self->m_delayCount;
        self->m_delaySum += ms;
        self->m_delaySquares += ms * ms;
    }
    self->m_audioStarted = true;
    QernTrace("aud dwRequiredSamples %i,dwRetSamples %i", int(wanted), int(*delivered));
    return 0;
}

AudioReader::Stats AudioReader::Snapshot() const {
    Stats s;
    s.queue = m_queue.Snapshot();
    s.opens = m_opens;
    s.framesLost = m_framesLost;
    s.framesTooLong = m_framesTooLong;
    ScopedLock lock(m_delayLock);
    s.delays = m_delayCount;
    if (m_delayCount) {
        s.delayMeanMs = m_delaySum / m_delayCount;
        s.delayMinMs = m_delayMin;
        s.delayMaxMs = m_delayMax;
        s.delaySpreadMs = std::sqrt(std::max(0.0, m_delaySquares / m_delayCount - s.delayMeanMs * s.delayMeanMs));
    }
    return s;
}

void AudioReader::WriteStats() const {
    char path[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableA("QERN_AUDIO_STATS", path, sizeof path);
    if (n == 0 || n >= sizeof path) return;
    const Stats s = Snapshot();
    char line[400];
    const int len = std::snprintf(
        line, sizeof line,
        "audio opens=%u received=%llu played=%llu dropped=%llu refills=%u silent=%u short=%u lost=%u toolong=%u "
        "delays=%u delay_ms=%.0f delay_min_ms=%.0f delay_max_ms=%.0f delay_sd_ms=%.0f\r\n",
        s.opens, static_cast<unsigned long long>(s.queue.received), static_cast<unsigned long long>(s.queue.played),
        static_cast<unsigned long long>(s.queue.dropped), s.queue.refills, s.queue.silentRefills, s.queue.shortRefills,
        s.framesLost, s.framesTooLong, s.delays, s.delayMeanMs, s.delayMinMs, s.delayMaxMs, s.delaySpreadMs);
    if (len <= 0) return;
    KernelHandle file(CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    DWORD written = 0;
    WriteFile(file.Get(), line, static_cast<DWORD>(std::min<int>(len, sizeof line - 1)), &written, nullptr);
}

}  // namespace qern
