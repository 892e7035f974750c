#include "liveview/CCamImage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "liveview/LiveViewShared.h"
#include "liveview/PageUrl.h"
#include "liveview/CameraAddress.h"
#include "liveview/pipeline/FramePainter.h"
#include "liveview/pipeline/ImageProcessHook.h"
#include "settings/SettingsChannel.h"
#include "recording/StreamRecorder.h"
#include "transport/StreamSession.h"
#include "common/Trace.h"

namespace qern {

const char CCamImage::kVersionText[] = "ver070912 qern-1.0.1.5";

namespace {

std::atomic<LONG> g_terminatedWorkers{0};

void FillPixels(DibBuffer& dib, FrameSize size) {
    if (uint8_t* bits = dib.GetBits()) std::memset(bits, 0xCC, size_t(size.width) * size.height * 4);
}

}  // namespace

const InterfaceEntry* CCamImage::InterfaceMap() {
    static const ControlInterfaceMap<CCamImage, ICamImage> map(IID_ICamImage, true);
    return map.get();
}

const CLSID& CCamImage::ClassId() const { return CLSID_CamImage; }

const IID* CCamImage::DefaultSourceIid() const { return &DIID__ICamImageEvents; }

PropertyMap CCamImage::Properties() const {
    using P = PropertyMapBuilder<CCamImage, ICamImage>;
    static const PropertyEntry entries[] = {
        P::Bool<&ICamImage::get_AutoSize, &ICamImage::put_AutoSize>(L"AutoSize", DISPID_AUTOSIZE),
        P::Text<&ICamImage::get_Caption, &ICamImage::put_Caption>(L"Caption", DISPID_CAPTION),
        P::Bool<&ICamImage::get_Enabled, &ICamImage::put_Enabled>(L"Enabled", DISPID_ENABLED),
        P::Text<&ICamImage::get_URL, &ICamImage::put_URL>(L"URL", 1),
        P::Text<&ICamImage::get_User, &ICamImage::put_User>(L"Uname", 3),
        P::Text<&ICamImage::get_Password, &ICamImage::put_Password>(L"Pword", 4),
        P::Long<&ICamImage::get_Stretch, &ICamImage::put_Stretch>(L"Stretch", 5),
    };
    return {entries, sizeof(entries) / sizeof(entries[0])};
}

LONG CCamImage::TerminatedWorkers() { return g_terminatedWorkers.load(); }

// --- Construction and destruction

CCamImage::CCamImage() = default;
CCamImage::~CCamImage() = default;

HRESULT CCamImage::FinalConstruct() {
    QernTrace("CCamImage::CCamImage()..\n");
    m_stopVideo.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!m_stopVideo) return HRESULT_FROM_WIN32(GetLastError());

    m_session.reset(new (std::nothrow) StreamSession(kRingCapacity));
    if (!m_session) return E_OUTOFMEMORY;
    m_recorder.reset(new (std::nothrow) StreamRecorder(*m_session));
    if (!m_recorder) return E_OUTOFMEMORY;
    m_audio.reset(new (std::nothrow) AudioReader(*this, *m_session));
    if (!m_audio) return E_OUTOFMEMORY;

    for (int mode = 0; mode < kModeCount; ++mode) {
        FrameSize size = ModeSize(mode);
        for (DibBuffer& dib : m_dibs[mode]) {
            // A buffer that cannot be allocated stays invalid; painting and decoding skip it.
            if (dib.Create(size.width, size.height, 32)) FillPixels(dib, size);
        }
    }

    m_hPaintOK.Reset(CreateEventA(nullptr, TRUE, FALSE, "PaintOK"));
    m_hDumpOK.Reset(CreateEventA(nullptr, TRUE, FALSE, "DumpOK"));

    SharedLiveView().currentLiveView.Set(this);
    StartVideoStream();
    return S_OK;
}

void CCamImage::FinalRelease() {
    QernTrace("CCamImage::~CCamImage()..\n");
    // No one takes this view from now on; those who hold it finish first. A holder may be sending
    // this thread's windows a message (the settings channel's notifications): those are taken.
    SharedLiveView().currentLiveView.Release(this, kReleaseWaitMs, [] {
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    });
    // The reader may wait for the address or show a box; both end within a bounded time.
    if (m_audio) m_audio->Stop(kAudioStopWaitMs);
    // A recording is finalised while its stream still runs; another view's recording stays shown.
    if (m_recorder && m_recorder->Recording())
        EndRecord();
    else
        KillPeriodTimer();
    StopVideoStream();
    WriteStats();
    DestroyControlWindow();
    m_audio.reset();
    m_recorder.reset();
    m_session.reset();
    m_hPaintOK.Close();
    m_hDumpOK.Close();
    NotifyRecordingChanged();
}

// A diagnostics line per live view for the demo and the benchmarks: written only when the
// environment names a file.
void CCamImage::WriteStats() {
    char path[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableA("QERN_LIVEVIEW_STATS", path, sizeof path);
    if (n == 0 || n >= sizeof path) return;
    const LiveViewStats& st = m_state.stats;
    char line[400];
    const int len =
        std::snprintf(line, sizeof line,
                      "liveview parsed=%u decoded=%u painted=%u dropped=%u modechanges=%u mode=%d fps=%d workers=%u "
                      "streams=%u watchdogrestarts=%u reconnects=%u terminated=%ld\r\n",
                      st.framesParsed.load(), st.framesDecoded.load(), st.framesPainted.load(), st.framesDropped.load(),
                      st.modeChanges.load(), static_cast<int>(m_state.m_mode), static_cast<int>(m_state.m_fps),
                      st.workerRuns.load(), st.streamsOpened.load(), st.watchdogRestarts.load(), st.reconnects.load(),
                      static_cast<long>(g_terminatedWorkers.load()));
    if (len <= 0) return;
    KernelHandle file(CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Get()) return;
    DWORD written = 0;
    WriteFile(file.Get(), line, static_cast<DWORD>(std::min<int>(len, sizeof line - 1)), &written, nullptr);
}

// --- Workers

bool CCamImage::StartVideoStream() {
    QernTrace("CCamImage::StartVideoStream()..\n");
    // Two workers must never share the session and the frame buffers.
    EndVideoWorker();
    // Set before the worker starts: it ends at once when it finds the flag clear.
    m_state.m_bStreaming = true;
    ResetEvent(m_stopVideo.Get());
    if (!m_videoThread.Start(&CCamImage::ThreadFunc, this, THREAD_PRIORITY_BELOW_NORMAL))
        QernTrace("CCamImage::StartVideoStream()..CreateThread failed\n");
    if (m_audio) m_audio->Start();
    return true;
}

bool CCamImage::StopVideoStream() {
    QernTrace("CCamImage::StopVideoStream()..\n");
    m_state.m_bStreaming = false;
    SetEvent(m_stopVideo.Get());
    EndVideoWorker();
    return true;
}

void CCamImage::EndVideoWorker() {
    if (!m_videoThread.Started()) return;
    SetEvent(m_stopVideo.Get());
    // A read the worker is blocked in fails once its stream is closed; a worker still opening
    // the stream may make new handles after a close, so close again while waiting.
    if (!m_videoThread.Stop(kStopWaitMs, kCloseRetryMs, [this] {
            if (m_session) m_session->CloseVideo();
        })) {
        ++g_terminatedWorkers;
    }
}

DWORD WINAPI CCamImage::ThreadFunc(void* control) {
    QernTrace("ThreadFunc..\n");
    static_cast<CCamImage*>(control)->ProceedingVideoStream();
    return 0;
}

void CCamImage::ProceedingVideoStream() {
    VideoWorker worker(m_state, *m_session, m_workerLink);
    worker.ProceedingVideoStream();
}

bool CCamImage::HasCameraAddress() {
    ScopedLock lock(m_textLock);
    return !m_URL.empty() && !m_videoPath.empty();
}

std::string CCamImage::VideoPath() {
    ScopedLock lock(m_textLock);
    return m_videoPath.toAnsi();
}

bool CCamImage::GetPageUrl(BStr& url) { return qern::GetPageUrl(m_clientSite.get(), url); }

CameraEndpoint CCamImage::SettingsEndpoint() {
    CameraEndpoint camera;
    ScopedLock lock(m_textLock);
    UrlParts parts;
    if (!m_URL.empty() && parts.CrackUrl(m_URL.toAnsi().c_str())) {
        camera.host = parts.host;
        camera.port = parts.port;
    }
    camera.user = m_user.toAnsi();
    camera.password = m_pswd.toAnsi();
    camera.notify = m_hWnd;
    return camera;
}

// --- Properties

HRESULT CCamImage::CopyText(const BStr& field, BSTR* out) {
    if (!out) return E_POINTER;
    ScopedLock lock(m_textLock);
    return field.copy_to(out);
}

STDMETHODIMP CCamImage::get_URL(BSTR* pVal) { return CopyText(m_URL, pVal); }

STDMETHODIMP CCamImage::put_URL(BSTR value) {
    QernTrace("CCamImage::put_URL()..\n");
    if (!value || SysStringLen(value) == 0) {
        ScopedLock lock(m_textLock);
        m_URL.reset();
        m_videoPath.reset();
        return S_OK;
    }
    std::string text = WideToAnsi(value, static_cast<int>(SysStringLen(value)));
    UrlParts parts;
    bool cracked = parts.CrackUrl(text.c_str());
    UrlParts page;
    bool havePage = false;
    if (!(cracked && parts.schemeNumber == kUrlSchemeHttp)) {
        BStr pageUrl;
        if (GetPageUrl(pageUrl) && !pageUrl.empty()) havePage = page.CrackUrl(pageUrl.toAnsi().c_str());
    }
    CameraAddress address = ResolveCameraAddress(text, parts, cracked, havePage ? &page : nullptr);

    BStr base = address.hasBase ? BStr::fromAnsi(address.base.c_str()) : BStr();
    // A path text is kept as given; an http URL contributes its path part.
    BStr path =
        (cracked && parts.schemeNumber == kUrlSchemeHttp) ? BStr::fromAnsi(address.path.c_str()) : BStr::copy(value);
    {
        ScopedLock lock(m_textLock);
        m_URL = std::move(base);
        m_videoPath = std::move(path);
    }
    // A tick that found no address stopped the ticks; with one known they run again.
    ArmWatchdog();
    return S_OK;
}

STDMETHODIMP CCamImage::get_User(BSTR* pVal) { return CopyText(m_user, pVal); }

STDMETHODIMP CCamImage::put_User(BSTR value) {
    BStr copy = BStr::copy(value);
    ScopedLock lock(m_textLock);
    m_user = std::move(copy);
    return S_OK;
}

STDMETHODIMP CCamImage::get_Password(BSTR* pVal) { return CopyText(m_pswd, pVal); }

STDMETHODIMP CCamImage::put_Password(BSTR value) {
    BStr copy = BStr::copy(value);
    ScopedLock lock(m_textLock);
    m_pswd = std::move(copy);
    return S_OK;
}

namespace {
HRESULT GetFlag(bool flag, LONG* out) {
    if (!out) return E_POINTER;
    *out = flag ? 1 : 0;
    return S_OK;
}
}  // namespace

STDMETHODIMP CCamImage::get_Stretch(LONG* pVal) { return GetFlag(m_state.m_bStretch, pVal); }

STDMETHODIMP CCamImage::put_Stretch(LONG value) {
    m_state.m_bStretch = value != 0;
    FireViewChange();
    return S_OK;
}

STDMETHODIMP CCamImage::get_Reconnect(LONG* pVal) { return GetFlag(m_Reconnect.load(), pVal); }

STDMETHODIMP CCamImage::put_Reconnect(LONG value) {
    QernTrace("CCamImage::put_Reconnect()..\n");
    m_Reconnect = value != 0;
    StopVideoStream();
    return S_OK;
}

STDMETHODIMP CCamImage::SetReconnectTime(LONG) { return S_OK; }

STDMETHODIMP CCamImage::get_Display(LONG*) { return S_OK; }

STDMETHODIMP CCamImage::put_Display(LONG) { return S_OK; }

STDMETHODIMP CCamImage::get_UpsideDown(LONG* pVal) { return GetFlag(m_state.m_bUpsideDown, pVal); }

STDMETHODIMP CCamImage::put_UpsideDown(LONG value) {
    m_state.m_bUpsideDown = value != 0;
    FireViewChange();
    return S_OK;
}

STDMETHODIMP CCamImage::get_Mirror(LONG* pVal) { return GetFlag(m_state.m_bMirror, pVal); }

STDMETHODIMP CCamImage::put_Mirror(LONG value) {
    m_state.m_bMirror = value != 0;
    FireViewChange();
    return S_OK;
}

STDMETHODIMP CCamImage::setaction(int iaction, LONG* pVal) {
    QernTrace("CCamImage::setaction(%d)..\n", iaction);
    LiveViewShared& shared = SharedLiveView();
    switch (iaction) {
        case 0:
            EndRecord();
            if (pVal) *pVal = 1;
            break;
        case 1: {
            const bool started = RecordWithDialog();
            if (pVal) *pVal = started ? 1 : 0;
            break;
        }
        case 2: {
            int32_t zoom = shared.zoomCounter.load();
            if (zoom < 15) {
                shared.zoomCounter = ++zoom;
                m_state.m_zoom = zoom;
                if (pVal) *pVal = 1;
            }
            break;
        }
        case 3: {
            int32_t zoom = shared.zoomCounter.load();
            if (zoom > 0) {
                shared.zoomCounter = --zoom;
                m_state.m_zoom = zoom;
                if (pVal) *pVal = 1;
            }
            break;
        }
        case 4: {
            const int ir = SettingsChannel::Instance().QueryIrState(SettingsEndpoint());
            if (pVal) *pVal = ir;
            break;
        }
        case 5:
            if (pVal) *pVal = shared.recordingActive.load() == 1 ? 1 : 0;
            break;
        case 6:
            if (pVal) *pVal = m_state.m_fps;
            break;
        case 7:
            m_actionMode = 7;
            break;
        case 21:
        case 22:
        case 23:
        case 24:
            Pan(iaction);
            break;
        default:
            break;
    }
    return S_OK;
}

STDMETHODIMP CCamImage::get_Version(BSTR* pVal) {
    if (!pVal) return E_POINTER;
    return BStr::fromAnsi(kVersionText).copy_to(pVal);
}

STDMETHODIMP CCamImage::put_Version(BSTR) { return S_OK; }

// An address handed over automation is code or memory in the host's process: a page's script
// (an untrusted caller) may only switch the hook off.
HRESULT CCamImage::AcceptAddress(LONG value) {
    if (value != 0 && CallerIsUntrusted()) return E_ACCESSDENIED;
    return S_OK;
}

STDMETHODIMP CCamImage::SetImageProcessCallback(LONG pcallback) {
    HRESULT hr = AcceptAddress(pcallback);
    if (FAILED(hr)) return hr;
    SharedLiveView().imageProcessCallback = static_cast<uintptr_t>(static_cast<ULONG>(pcallback));
    return S_OK;
}

STDMETHODIMP CCamImage::gettmp(LONG pdata) {
    HRESULT hr = AcceptAddress(pdata);
    if (FAILED(hr)) return hr;
    SharedLiveView().imageProcessBuffer = static_cast<uintptr_t>(static_cast<ULONG>(pdata));
    return S_OK;
}

STDMETHODIMP CCamImage::getdata(LONG) { return S_OK; }

STDMETHODIMP CCamImage::getbmpdata(BSTR*) { return S_OK; }

STDMETHODIMP CCamImage::getbmpdata_a(LONG*) { return S_OK; }

STDMETHODIMP CCamImage::UpdateView() {
    FireViewChange();
    return S_OK;
}

// --- Window messages

bool CCamImage::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    const UINT kReflectBase = OCM__BASE;
    if (msg >= kReflectBase && msg < kReflectBase + WM_USER) {
        result = DefWindowProcW(m_hWnd, msg - kReflectBase, wp, lp);
        return true;
    }
    switch (msg) {
        case WM_TIMER:
            OnTimer();
            result = 0;
            return true;
        case WM_RBUTTONDOWN:
        case WM_KEYUP:
            result = 0;
            return true;
        case WM_KEYDOWN:
            if (wp == 0x4B && GetKeyState(VK_CONTROL) < 0) {
                BStr version;
                get_Version(version.put());
                MessageBoxA(m_hWnd, version.toAnsi().c_str(), "", MB_OK);
            }
            result = 0;
            return true;
        default:
            return false;
    }
}

void CCamImage::OnWindowCreated() {
    m_paintWindow = m_hWnd;
    char period[32] = {};
    const DWORD n = GetEnvironmentVariableA(Watchdog::kPeriodVariable, period, sizeof period);
    m_watchdogPeriodMs = Watchdog::PeriodMs(n > 0 && n < sizeof period ? period : nullptr);
    ArmWatchdog();
}

void CCamImage::ArmWatchdog() {
    if (!m_hWnd || m_watchdogTimerId) return;
    m_watchdogTimerId = SetTimer(m_hWnd, kWatchdogTimerId, m_watchdogPeriodMs, nullptr) ? kWatchdogTimerId : 0;
}

void CCamImage::OnWindowDestroying() {
    if (m_watchdogTimerId) KillTimer(m_hWnd, m_watchdogTimerId);
    m_watchdogTimerId = 0;
    m_paintWindow = nullptr;
}

WatchdogOutcome CCamImage::OnTimer() { return Watchdog::OnTimer(m_state, m_Reconnect, m_watchdogLink); }

std::string CCamImage::OverlayText() const {
    char text[kOverlayTextSize];
    m_state.m_overlayText.Get(text);
    return text;
}

// --- Painting

void CCamImage::FireViewChange() {
    HWND window = m_paintWindow;
    if (!window) {
        // Not in place: the container's view sink repaints, when asked on the host's thread.
        if (GetCurrentThreadId() == m_hostThread) ControlBase::FireViewChange();
        return;
    }
    PaintSource source;
    source.mode = m_state.m_mode;
    if (IsKnownMode(source.mode)) {
        const DibBuffer& shown = m_dibs[source.mode][m_state.Shown(source.mode) % 3];
        source.header = shown.IsValid() ? shown.Header() : nullptr;
        source.bits = shown.GetBits();
    }
    source.stretch = m_state.m_bStretch;
    source.zoom = m_state.m_zoom;
    char text[kOverlayTextSize];
    m_state.m_overlayText.Get(text);
    source.overlayText = text;
    source.recording = SharedLiveView().recordingActive.load() == 1;
    PaintFrame(window, source, m_hPaintOK.Get());
}

// --- The video worker's and the watchdog's view of the control

bool CCamImage::WorkerLink::PrepareSession() {
    ScopedLock lock(m_cam.m_textLock);
    bool ok = true;
    // A property that was never set is not copied.
    if (m_cam.m_URL.get()) ok = m_cam.m_session->SetUrl(m_cam.m_URL.toAnsi().c_str()) && ok;
    if (m_cam.m_user.get()) ok = m_cam.m_session->SetUser(m_cam.m_user.toAnsi().c_str()) && ok;
    if (m_cam.m_pswd.get()) ok = m_cam.m_session->SetPassword(m_cam.m_pswd.toAnsi().c_str()) && ok;
    if (m_cam.m_videoPath.get()) ok = m_cam.m_session->SetPath(m_cam.m_videoPath.toAnsi().c_str()) && ok;
    return ok;
}

// The session now holds the camera's address and credentials: the sound may follow the picture.
bool CCamImage::WorkerLink::OpenVideo() {
    if (!m_cam.m_session->OpenVideo()) return false;
    m_cam.m_audio->CameraReady();
    return true;
}

void CCamImage::WorkerLink::CloseVideo() { m_cam.m_session->CloseVideo(); }

uint8_t* CCamImage::WorkerLink::FrameBits(int32_t mode, int32_t index) {
    if (!IsKnownMode(mode) || index < 0 || index > 2) return nullptr;
    return m_cam.m_dibs[mode][index].GetBits();
}

void CCamImage::WorkerLink::EraseView() {
    if (HWND window = m_cam.m_paintWindow) InvalidateRect(window, nullptr, TRUE);
}

void CCamImage::WorkerLink::ShowFrame() {
    m_cam.FireViewChange();
    WaitForPaint(m_cam.m_hPaintOK.Get());
}

// A frame of another size ends a recording of the old size; the recorder may start a new one.
void CCamImage::WorkerLink::OnFrameSizeChanged() { m_cam.OnRecordingSizeChanged(); }

void CCamImage::WorkerLink::ProcessImage(uint8_t* pixels, size_t bytes) {
    LiveViewShared& shared = SharedLiveView();
    RunImageProcessHook(shared.imageProcessCallback, shared.imageProcessBuffer, pixels, bytes);
}

bool CCamImage::WatchdogLink::AdoptPageAddress() {
    BStr pageUrl;
    UrlParts page;
    if (!m_cam.GetPageUrl(pageUrl) || pageUrl.empty() || !page.CrackUrl(pageUrl.toAnsi().c_str())) return false;
    BStr base = BStr::fromAnsi(FormatBaseUrl(page).c_str());
    BStr path = BStr::fromAnsi(Watchdog::kDefaultVideoPath);
    ScopedLock lock(m_cam.m_textLock);
    m_cam.m_URL = std::move(base);
    m_cam.m_videoPath = std::move(path);
    return true;
}

void CCamImage::WatchdogLink::KillWatchdogTimer() {
    HWND window = m_cam.m_hWnd;
    KillTimer(IsWindow(window) ? window : nullptr, m_cam.m_watchdogTimerId);
    m_cam.m_watchdogTimerId = 0;  // put URL arms it again
}

}  // namespace qern
