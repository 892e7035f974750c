#include "recording/StreamRecorder.h"

#include "recording/RecordName.h"
#include "transport/StreamSession.h"
#include "common/Trace.h"

namespace qern {

namespace {

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

uint64_t FileLimit() {
    char text[32] = {};
    const DWORD n = GetEnvironmentVariableA(StreamRecorder::kLimitVariable, text, sizeof text);
    return RolloverPolicy::LimitFromText(n > 0 && n < sizeof text ? text : nullptr);
}

}  // namespace

std::string StreamRecorder::NewFilePath(const std::string& folder, const CameraTime& stamp) {
    char name[32];
    RecordName::Format(stamp, name, sizeof name);
    return RecordName::Path(folder, name, FileExists);
}

bool StreamRecorder::StartRecord(const char* path, int32_t width, int32_t height) {
    return Begin(path, width, height, true);
}

bool StreamRecorder::RestartRecord(const char* path, int32_t width, int32_t height) {
    return Begin(path, width, height, false);
}

bool StreamRecorder::Begin(const char* path, int32_t width, int32_t height, bool withClock) {
    // A second start must not leave the first file unfinalised: the first recording ends.
    if (Recording()) End(true, true);
    std::lock_guard<std::mutex> guard(m_lock);
    // The next file of a long recording: named, on the stream thread, from the stamp of that moment.
    const std::string folder = RecordName::Folder(path ? path : "");
    m_writer.SetRollover(FileLimit(), [this, folder] { return NewFilePath(folder, m_session.cameraTime); });
    if (!m_writer.Create(path, kRate, width, height, withClock)) return false;
    if (!m_session.CreateRecFinishEvent()) {
        m_writer.Close(withClock);
        return false;
    }
    m_session.AttachRecordSink(&m_writer);
    m_session.recording = 1;
    m_active = true;
    return true;
}

bool StreamRecorder::End(bool stopClock, bool waitForHandOff) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_active) {
        // Nothing to finalise; a clock that an interruption left running still stops.
        if (stopClock) m_writer.Close(true);
        return true;
    }
    m_session.recording = 0;
    if (waitForHandOff) WaitForHandOff();
    m_session.CloseRecFinishEvent();
    // After this no write is under way or can start: the close never overlaps one.
    m_session.DetachRecordSink();
    m_writer.Close(stopClock);
    m_active = false;
    return true;
}

// Bounded, and over at once when the stream has ended: a silent camera must not hold the stop.
void StreamRecorder::WaitForHandOff() {
    const DWORD start = GetTickCount();
    while (!m_session.StreamEnded() && GetTickCount() - start < kStopWaitMs) {
        if (WaitForSingleObject(m_session.RecFinish(), 20) == WAIT_OBJECT_0) return;
    }
}

bool StreamRecorder::Recording() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_active;
}

std::string StreamRecorder::FilePath() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_writer.Path();
}

}  // namespace qern
