#include "recording/CRec.h"

#include <cstring>
#include <string>

#include "liveview/CCamImage.h"
#include "liveview/LiveViewShared.h"
#include "recording/ModuleInstance.h"
#include "recording/RecSettingDialog.h"
#include "recording/RecordPeriod.h"
#include "settings/SettingsChannel.h"
#include "settings/BitmapButton.h"
#include "common/Trace.h"

namespace qern {

namespace {

// Shared by every strip of the process: the last one created, the zoom counter, the two buttons.
std::atomic<CRec*> g_currentRec{nullptr};
// Its strip window, read by other threads instead of the strip itself, which may be gone.
std::atomic<HWND> g_stripWindow{nullptr};
std::atomic<int32_t> g_recZoom{0};
// Counts the stops: a restart begun before the latest stop does not start a recording after it.
std::atomic<uintptr_t> g_stops{0};
BitmapButton g_recButton;
BitmapButton g_stopButton;

void Say(HWND owner, const char* text) { MessageBoxA(owner, text, "", MB_OK); }

uint32_t PeriodMs(int32_t minutes) {
    char minute[16] = {};
    const DWORD n = GetEnvironmentVariableA(RecordPeriod::kMinuteVariable, minute, sizeof minute);
    return RecordPeriod::Milliseconds(minutes, n > 0 && n < sizeof minute ? minute : nullptr);
}

// The current view's camera, read under a short hold: the settings batches then run without
// holding the view, whose destruction would otherwise wait out the camera's time-outs.
bool CurrentCamera(CameraEndpoint& camera, uint32_t* serial = nullptr) {
    LiveViewSlot::Hold view = SharedLiveView().currentLiveView.Acquire();
    if (!view) return false;
    camera = view->SettingsEndpoint();
    if (serial) *serial = view.Serial();
    return true;
}

}  // namespace

const InterfaceEntry* CRec::InterfaceMap() {
    static const ControlInterfaceMap<CRec, ICRec> map(IID_ICRec, false);
    return map.get();
}

CRec::CRec() {
    g_currentRec.store(this);
    SharedLiveView().recordingChanged.store(&CRec::OnRecordingChanged);
}

void CRec::FinalRelease() {
    DestroyControlWindow();
    if (m_periodTimerId) KillTimer(nullptr, m_periodTimerId);
    m_periodTimerId = 0;
    CRec* self = this;
    g_currentRec.compare_exchange_strong(self, nullptr);
}

const CLSID& CRec::ClassId() const { return CLSID_CRec; }

// Only the extent is persisted.
PropertyMap CRec::Properties() const { return {nullptr, 0}; }

int32_t CRec::ZoomCounter() { return g_recZoom.load(); }

STDMETHODIMP CRec::setaction(int iaction) {
    if (iaction == 0) Stop();
    if (iaction == 1) Start();
    return S_OK;
}

void CRec::OnWindowCreated() {
    m_strip = CreateDialogParamA(ModuleInstance(), MAKEINTRESOURCEA(kTemplate), m_hWnd, &CRec::StripProc,
                                 reinterpret_cast<LPARAM>(this));
    if (!m_strip) return;
    ShowWindow(m_strip, SW_SHOW);
    AskForRoomOf(m_strip);
}

void CRec::OnWindowDestroying() {
    // The strip's period timer goes with its window.
    if (m_strip && m_periodTimerId == kPeriodTimerId) m_periodTimerId = 0;
    HWND strip = m_strip;
    g_stripWindow.compare_exchange_strong(strip, nullptr);
    if (m_strip) DestroyWindow(m_strip);
    m_strip = nullptr;
}

HWND CRec::Owner() const { return m_strip ? m_strip : m_hWnd; }

INT_PTR CALLBACK CRec::StripProc(HWND dialog, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, DWLP_USER, lp);
        reinterpret_cast<CRec*>(lp)->OnInitStrip(dialog);
        return TRUE;
    }
    auto* self = reinterpret_cast<CRec*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (!self) return FALSE;
    if (msg == WM_TIMER) {
        self->Stop();
        return TRUE;
    }
    if (msg == kRecordingChanged) {
        self->FollowRecording();
        return TRUE;
    }
    if (msg != WM_COMMAND || HIWORD(wp) != 0) return FALSE;
    switch (LOWORD(wp)) {
        case kRecButton:
            self->Start();
            return TRUE;
        case kStopButton:
            self->Stop();
            return TRUE;
        case kZoomInButton:
            self->Zoom(1);
            return TRUE;
        case kZoomOutButton:
            self->Zoom(-1);
            return TRUE;
        default:
            return FALSE;  // "snap" does nothing
    }
}

void CRec::OnInitStrip(HWND strip) {
    m_strip = strip;
    g_stripWindow.store(strip);
    g_recButton.Attach(GetDlgItem(strip, kRecButton), ModuleInstance());
    g_recButton.SetBitmap(kRecBitmap);
    g_stopButton.Attach(GetDlgItem(strip, kStopButton), ModuleInstance());
    g_stopButton.SetBitmap(kStopBitmap);
    ShowButtons(false);
}

void CRec::ShowButtons(bool recording) {
    if (!m_strip) return;
    EnableWindow(GetDlgItem(m_strip, kRecButton), !recording);
    EnableWindow(GetDlgItem(m_strip, kStopButton), recording);
}

// A recording started or ended elsewhere (setaction of the view, the panel, a failed restart, the
// view going away): the buttons and the period timer follow whether the strip's own still runs.
void CRec::FollowRecording() {
    LiveViewSlot::Hold view = SharedLiveView().currentLiveView.Acquire();
    const bool recording = view && view->RecordsFor(&CRec::RecordRestart);
    view.reset();
    if (!recording && m_periodTimerId) {
        KillTimer(m_strip, m_periodTimerId);
        m_periodTimerId = 0;
    }
    ShowButtons(recording);
}

void CRec::Zoom(int step) {
    LiveViewSlot::Hold view = SharedLiveView().currentLiveView.Acquire();
    if (!view) {
        Say(Owner(), "no view exist!!");
        return;
    }
    const int32_t zoom = g_recZoom.load() + step;
    if (zoom < 0 || zoom > 15) return;
    g_recZoom = zoom;
    view->SetZoom(zoom);
}

bool CRec::Start() {
    QernTrace("CRec::Start()..\n");
    CameraEndpoint camera;
    if (!CurrentCamera(camera)) {
        Say(Owner(), "no view exist!!");
        return false;
    }
    char folder[RecSettingDialog::kFolderSize] = {};
    int32_t period = 0;
    if (!CCamImage::GetOriginalSetting(camera, folder, period)) {
        Say(Owner(), "get origianl setting fail!!");
        std::strcpy(folder, "c:\\");
        period = 5;
    }
    bool enable = false;
    if (RecSettingDialog::Show(Owner(), folder, period, enable) == -1) return false;
    // The live view may have gone while the dialog was open.
    if (!CurrentCamera(camera)) {
        Say(Owner(), "no view exist!!");
        return false;
    }
    if (!CCamImage::SaveOriginalSetting(camera, folder, period)) {
        Say(Owner(), "save origianl setting fail!!");
        return false;
    }
    LiveViewSlot::Hold view = SharedLiveView().currentLiveView.Acquire();
    if (!view) {
        Say(Owner(), "no view exist!!");
        return false;
    }
    const std::string path = view->MakeRecordPath(folder);
    if (path.empty() || !view->StartRecord(path.c_str(), &CRec::RecordRestart)) {
        // Stopped before the box, whose message loop may destroy the view.
        view->StopRecord();
        view.reset();
        Say(Owner(), "REC fail");
        return false;
    }
    view.reset();
    if (enable) {
        if (m_periodTimerId) KillTimer(m_strip ? m_strip : nullptr, m_periodTimerId);
        m_periodTimerId = m_strip ? SetTimer(m_strip, kPeriodTimerId, PeriodMs(period), nullptr)
                                  : SetTimer(nullptr, 0, PeriodMs(period), &CRec::WindowlessTimerProc);
    }
    ShowButtons(true);
    return true;
}

void CRec::Stop() {
    QernTrace("CRec::Stop()..\n");
    if (m_periodTimerId) KillTimer(m_strip ? m_strip : nullptr, m_periodTimerId);
    m_periodTimerId = 0;
    ++g_stops;
    if (LiveViewSlot::Hold view = SharedLiveView().currentLiveView.Acquire()) view->StopRecord();
    ShowButtons(false);
}

// A strip that was never placed in a window ends its period through a thread timer.
void CALLBACK CRec::WindowlessTimerProc(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    CRec* rec = g_currentRec.load();
    if (rec && rec->m_periodTimerId == id) rec->Stop();
}

void CRec::RecordRestart() {
    HANDLE thread = CreateThread(nullptr, 0, &CRec::RestartThread, reinterpret_cast<void*>(g_stops.load()),
                                 CREATE_SUSPENDED, nullptr);
    if (!thread) return;
    SetThreadPriority(thread, THREAD_PRIORITY_BELOW_NORMAL);
    ResumeThread(thread);
    CloseHandle(thread);
}

// No dialog, no timer, no buttons: the new file continues the same recording.
DWORD WINAPI CRec::RestartThread(void* stops) {
    const HWND owner = g_stripWindow.load();
    CameraEndpoint camera;
    uint32_t serial = 0;
    if (!CurrentCamera(camera, &serial)) {
        Say(owner, "no view exist!!");
        return 0;
    }
    char folder[RecSettingDialog::kFolderSize] = {};
    int32_t period = 0;
    if (!CCamImage::GetOriginalSetting(camera, folder, period)) {
        Say(owner, "get origianl setting fail!!");
        return 0;
    }
    // "STOP" while the settings were read: the recording is over.
    if (g_stops.load() != reinterpret_cast<uintptr_t>(stops)) return 0;
    // The view went, or another took its place, while the settings were read: its recording is over.
    LiveViewSlot::Hold view = SharedLiveView().currentLiveView.Acquire();
    if (!view || view.Serial() != serial) return 0;
    const std::string path = view->MakeRecordPath(folder);
    if (path.empty() || !view->RestartRecord(path.c_str(), &CRec::RecordRestart)) {
        view->StopRecord();
        view.reset();
        Say(owner, "REC fail");
    }
    return 0;
}

void CRec::OnRecordingChanged() {
    if (HWND strip = g_stripWindow.load()) PostMessageA(strip, kRecordingChanged, 0, 0);
}

}  // namespace qern
