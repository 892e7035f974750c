// The live view's recording: start, restart, stop and interruption on its stream session, the
// record-with-dialog sequence of setaction 1 and its period timer.
#include <algorithm>
#include <cstring>

#include "liveview/CCamImage.h"
#include "liveview/LiveViewShared.h"
#include "recording/RecSettingDialog.h"
#include "recording/RecordName.h"
#include "recording/RecordPeriod.h"
#include "recording/StreamRecorder.h"
#include "settings/SettingsChannel.h"
#include "transport/StreamSession.h"
#include "common/Trace.h"

namespace qern {

bool CCamImage::StartRecord(const char* path, void (*restart)()) { return StartRecording(path, restart, true); }

bool CCamImage::RestartRecord(const char* path, void (*restart)()) { return StartRecording(path, restart, false); }

bool CCamImage::StartRecording(const char* path, void (*restart)(), bool withClock) {
    QernTrace("CCamImage::StartRecord()..%s\n", path ? path : "");
    m_recordRestart = restart;
    const FrameSize size = IsKnownMode(m_state.m_mode) ? ModeSize(m_state.m_mode) : FrameSize{0, 0};
    const bool ok = withClock ? m_recorder->StartRecord(path, size.width, size.height)
                              : m_recorder->RestartRecord(path, size.width, size.height);
    if (ok) SharedLiveView().recordingActive = 1;
    NotifyRecordingChanged();
    return ok;
}

bool CCamImage::StopRecord() {
    m_recorder->StopRecord();
    m_recordRestart = nullptr;
    SharedLiveView().recordingActive = 0;
    NotifyRecordingChanged();
    return true;
}

void CCamImage::NotifyRecordingChanged() {
    if (void (*changed)() = SharedLiveView().recordingChanged.load()) changed();
}

bool CCamImage::InterruptRecord() {
    m_recorder->InterruptRecord();
    SharedLiveView().recordingActive = 0;
    return true;
}

bool CCamImage::EndRecord() {
    KillPeriodTimer();
    return StopRecord();
}

void CCamImage::KillPeriodTimer() {
    if (m_recordTimerId) KillTimer(nullptr, m_recordTimerId);
    m_recordTimerId = 0;
}

void CCamImage::MakeRecordName(char* buffer, size_t size) { RecordName::Format(m_session->cameraTime, buffer, size); }

std::string CCamImage::MakeRecordPath(const char* folder) {
    return StreamRecorder::NewFilePath(folder ? folder : "", m_session->cameraTime);
}

bool CCamImage::IsRecording() const { return m_recorder && m_recorder->Recording(); }

std::string CCamImage::RecordFilePath() const { return m_recorder ? m_recorder->FilePath() : std::string(); }

// On the video worker's thread: the file of the old size is finalised without waiting for a
// hand-off (this thread is the one that hands frames over).
void CCamImage::OnRecordingSizeChanged() {
    if (SharedLiveView().recordingActive.load() != 1 || !m_recorder->Recording()) return;
    if (void (*restart)() = m_recordRestart.load()) {
        m_recorder->InterruptRecord(false);
        SharedLiveView().recordingActive = 0;
        restart();
    } else {
        // Nothing restarts it: the clock stops with it.
        m_recorder->StopRecord(false);
        SharedLiveView().recordingActive = 0;
    }
}

void CALLBACK CCamImage::PeriodTimerProc(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (LiveViewSlot::Hold view = SharedLiveView().currentLiveView.Acquire()) {
        if (view->m_recordTimerId == id) view->m_recordTimerId = 0;
        view->EndRecord();
    }
}

bool CCamImage::GetOriginalSetting(char* folder, int32_t& period) {
    return GetOriginalSetting(SettingsEndpoint(), folder, period);
}

bool CCamImage::SaveOriginalSetting(const char* folder, int32_t period) {
    return SaveOriginalSetting(SettingsEndpoint(), folder, period);
}

bool CCamImage::GetOriginalSetting(const CameraEndpoint& camera, char* folder, int32_t& period) {
    std::string path;
    if (!folder || !SettingsChannel::Instance().GetOriginalSetting(camera, path, period)) return false;
    const size_t n = std::min(path.size(), size_t(RecSettingDialog::kFolderSize - 1));
    std::memcpy(folder, path.data(), n);
    folder[n] = '\0';
    return true;
}

bool CCamImage::SaveOriginalSetting(const CameraEndpoint& camera, const char* folder, int32_t period) {
    return SettingsChannel::Instance().SaveOriginalSetting(camera, folder, period);
}

bool CCamImage::RecordWithDialog() {
    char folder[RecSettingDialog::kFolderSize] = {};
    int32_t period = 0;
    if (!GetOriginalSetting(folder, period)) {
        std::strcpy(folder, "c:\\");
        period = 5;
    }
    bool enable = false;
    if (RecSettingDialog::Show(m_hWnd, folder, period, enable) == -1) return false;
    SaveOriginalSetting(folder, period);

    const std::string path = MakeRecordPath(folder);
    // A period timer of an earlier recording must not end this one.
    KillPeriodTimer();
    if (path.empty() || !StartRecord(path.c_str(), nullptr)) {
        StopRecord();
        return false;
    }
    if (enable) {
        char minute[16] = {};
        const DWORD n = GetEnvironmentVariableA(RecordPeriod::kMinuteVariable, minute, sizeof minute);
        m_recordTimerId =
            SetTimer(nullptr, 0, RecordPeriod::Milliseconds(period, n > 0 && n < sizeof minute ? minute : nullptr),
                     &CCamImage::PeriodTimerProc);
    }
    return true;
}

void CCamImage::Pan(int iaction) {
    LiveViewShared& shared = SharedLiveView();
    switch (iaction) {
        case 21:
        case 22:
            if (shared.panSteps.load() < shared.zoomCounter.load()) {
                m_panX += iaction == 21 ? -10 : 10;
                ++shared.panSteps;
            }
            break;
        case 23:
        case 24:
            if (shared.zoomCounter.load() > 0) m_panY += iaction == 23 ? 10 : -10;
            break;
        default:
            break;
    }
}

}  // namespace qern
