// A live view's recording: the AVI writer fed by its stream session's frame hand-off, the
// "RecFinish" signal and the start, restart, stop and interruption of a recording.
#pragma once

#include <windows.h>

#include <cstdint>
#include <mutex>
#include <string>

#include "recording/AviWriter.h"
#include "transport/StreamSessionCore.h"

namespace qern {

class StreamSession;

class StreamRecorder {
public:
    static constexpr uint32_t kRate = 30;
    // The longest a stop waits for the stream thread to hand over a frame.
    static constexpr DWORD kStopWaitMs = 1000;
    static constexpr const char* kLimitVariable = "QERN_RECORD_LIMIT_BYTES";

    explicit StreamRecorder(StreamSession& session) : m_session(session) {}
    ~StreamRecorder() { StopRecord(); }
    StreamRecorder(const StreamRecorder&) = delete;
    StreamRecorder& operator=(const StreamRecorder&) = delete;

    // A start while a recording runs finalises that recording first.
    bool StartRecord(const char* path, int32_t width, int32_t height);
    // The same without a clock of its own: the interrupted recording's clock keeps running.
    bool RestartRecord(const char* path, int32_t width, int32_t height);
    bool StopRecord(bool waitForHandOff = true) { return End(true, waitForHandOff); }
    // Leaves the clock running. The stream thread itself passes waitForHandOff false.
    bool InterruptRecord(bool waitForHandOff = true) { return End(false, waitForHandOff); }

    bool Recording() const;
    std::string FilePath() const;
    // Costs of the writes since the last start; read after the stop.
    AviWriter::WriteTimes WriteTimes() const { return m_writer.Times(); }

    // A path in folder named from the camera's latest stamp, not yet taken by a file.
    static std::string NewFilePath(const std::string& folder, const CameraTime& stamp);

private:
    bool Begin(const char* path, int32_t width, int32_t height, bool withClock);
    bool End(bool stopClock, bool waitForHandOff);
    void WaitForHandOff();

    StreamSession& m_session;
    mutable std::mutex m_lock;  // one start or stop at a time
    AviWriter m_writer;
    bool m_active = false;
};

}  // namespace qern
