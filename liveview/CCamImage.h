#pragma once
// The live-view control: camera address and credentials, display options, frame buffers,
// the stream session and the worker threads that feed it.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "audio/AudioReader.h"
#include "com/ControlBase.h"
#include "com/StockPropertyImpl.h"
#include "common/WinHandle.h"
#include "liveview/DibBuffer.h"
#include "common/WorkerThread.h"
#include "liveview/pipeline/LiveViewState.h"
#include "liveview/pipeline/VideoWorker.h"
#include "liveview/pipeline/Watchdog.h"
#include "module/QERNCamControl_h.h"

namespace qern {

class StreamSession;
struct CameraEndpoint;
class StreamRecorder;

class CCamImage : public StockPropertyImpl<CCamImage, ICamImage, &IID_ICamImage>,
                  public ControlBase,
                  private AudioCameraLink {
public:
    static const char kVersionText[];
    static const int32_t kRingCapacity = 0x20000;
    // How long StopVideoStream waits for the worker after closing its stream.
    static const DWORD kStopWaitMs = 200;
    // How long destruction waits for the other controls' and threads' holds on this view.
    static const DWORD kReleaseWaitMs = 5000;
    // How long destruction waits for the audio reader, message box included.
    static const DWORD kAudioStopWaitMs = 2000;
    // The watchdog tick, armed when the control's window is created.
    static const UINT kWatchdogTimerId = 1;
    // While waiting for a worker, its stream is closed again this often: a worker still
    // opening the stream may have made new handles after the first close.
    static const DWORD kCloseRetryMs = 20;

    static const InterfaceEntry* InterfaceMap();
    HRESULT FinalConstruct();
    void FinalRelease();

    // ICamImage (the stock properties come from StockPropertyImpl)
    STDMETHODIMP get_URL(BSTR* pVal) override;
    STDMETHODIMP put_URL(BSTR value) override;
    STDMETHODIMP UpdateView() override;
    STDMETHODIMP get_User(BSTR* pVal) override;
    STDMETHODIMP put_User(BSTR value) override;
    STDMETHODIMP get_Password(BSTR* pVal) override;
    STDMETHODIMP put_Password(BSTR value) override;
    STDMETHODIMP get_Stretch(LONG* pVal) override;
    STDMETHODIMP put_Stretch(LONG value) override;
    STDMETHODIMP get_Reconnect(LONG* pVal) override;
    STDMETHODIMP put_Reconnect(LONG value) override;
    STDMETHODIMP SetReconnectTime(LONG msec) override;
    STDMETHODIMP get_Display(LONG* pVal) override;
    STDMETHODIMP put_Display(LONG value) override;
    STDMETHODIMP get_UpsideDown(LONG* pVal) override;
    STDMETHODIMP put_UpsideDown(LONG value) override;
    STDMETHODIMP get_Mirror(LONG* pVal) override;
    STDMETHODIMP put_Mirror(LONG value) override;
    STDMETHODIMP setaction(int iaction, LONG* pVal) override;
    STDMETHODIMP get_Version(BSTR* pVal) override;
    STDMETHODIMP put_Version(BSTR value) override;
    STDMETHODIMP SetImageProcessCallback(LONG pcallback) override;
    STDMETHODIMP getdata(LONG pdata) override;
    STDMETHODIMP getbmpdata(BSTR* pVal) override;
    STDMETHODIMP getbmpdata_a(LONG* pdata) override;
    STDMETHODIMP gettmp(LONG pdata) override;

    // Starts the video worker (stopping one that still runs) and this view's audio reader.
    bool StartVideoStream();
    // Stops the video worker: closes its stream underneath any blocked read, then waits for it.
    bool StopVideoStream();
    // The hosting page's address through the client site.
    bool GetPageUrl(BStr& url);
    // The camera of this view for the settings channel's batches: host and port of the URL,
    // the credentials, and this view's window for the notifications.
    CameraEndpoint SettingsEndpoint();

    // Read-only views of the state, for the other controls and for diagnostics.
    bool IsStreaming() override { return m_state.m_bStreaming; }
    bool HasCameraAddress() override;
    std::string VideoPath();
    bool VideoWorkerRunning() const { return m_videoThread.Running(); }
    const AudioReader* Audio() const { return m_audio.get(); }
    int32_t Mode() const { return m_state.m_mode; }
    int32_t Zoom() const { return m_state.m_zoom; }
    void SetZoom(int32_t zoom) { m_state.m_zoom = zoom; }
    const DibBuffer& Buffer(int32_t mode, int i) const { return m_dibs[mode][i]; }
    std::string OverlayText() const;
    const LiveViewStats& Stats() const { return m_state.stats; }
    // One watchdog tick, as WM_TIMER delivers it.
    WatchdogOutcome OnTimer();
    // The tick's period in milliseconds, and whether the tick is armed.
    UINT WatchdogPeriod() const { return m_watchdogPeriodMs; }
    bool WatchdogArmed() const { return m_watchdogTimerId != 0; }
    // Workers that had to be terminated since the process started.
    static LONG TerminatedWorkers();

    // Recording (CCamImageRecording.cpp). restart is called on the video worker's thread when
    // a frame of another size interrupts the recording; without one the recording ends there.
    bool StartRecord(const char* path, void (*restart)());
    bool RestartRecord(const char* path, void (*restart)());
    bool StopRecord();
    bool InterruptRecord();
    // Cancels the period timer, then stops.
    bool EndRecord();
    // The file name's stamp part, "YYYY_MM_DD_hh_mm_ss" or "RADAZ".
    void MakeRecordName(char* buffer, size_t size);
    // The path of a new recording in folder, named from the camera's stamp.
    std::string MakeRecordPath(const char* folder);
    // The camera's recorder settings: folder (260 bytes) and period in minutes. The static forms
    // take the camera from SettingsEndpoint, so a batch need not hold the view.
    bool GetOriginalSetting(char* folder, int32_t& period);
    bool SaveOriginalSetting(const char* folder, int32_t period);
    static bool GetOriginalSetting(const CameraEndpoint& camera, char* folder, int32_t& period);
    static bool SaveOriginalSetting(const CameraEndpoint& camera, const char* folder, int32_t period);
    // The recorder settings, the "REC SETTING" dialog, then a recording; true when one started.
    bool RecordWithDialog();
    bool IsRecording() const;
    // Whether the recording (running, or interrupted until its restart) was started with restart.
    bool RecordsFor(void (*restart)()) const { return restart && m_recordRestart.load() == restart; }
    std::string RecordFilePath() const;
    const StreamRecorder& Recorder() const { return *m_recorder; }
    StreamSession& Session() { return *m_session; }

protected:
    CCamImage();
    ~CCamImage() override;

    const CLSID& ClassId() const override;
    PropertyMap Properties() const override;
    const IID* DefaultSourceIid() const override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    void OnWindowCreated() override;
    void OnWindowDestroying() override;
    // Paints the shown frame at once on the calling thread (usually the video worker).
    void FireViewChange() override;

private:
    // What the video worker and the watchdog tick ask of the live view.
    class WorkerLink : public VideoWorkerHost {
    public:
        explicit WorkerLink(CCamImage& c) : m_cam(c) {}
        bool HasCameraAddress() override { return m_cam.HasCameraAddress(); }
        bool PrepareSession() override;
        bool OpenVideo() override;
        void CloseVideo() override;
        // The sound started, or the reader gave up on it: no reason to hold the picture back.
        bool AudioStarted() override { return !m_cam.m_audio || m_cam.m_audio->Settled(); }
        void Pause(uint32_t ms) override { WaitForSingleObject(m_cam.m_stopVideo.Get(), ms); }
        uint8_t* FrameBits(int32_t mode, int32_t index) override;
        void EraseView() override;
        void ShowFrame() override;
        void OnFrameSizeChanged() override;
        void ProcessImage(uint8_t* pixels, size_t bytes) override;

    private:
        CCamImage& m_cam;
    };
    class WatchdogLink : public WatchdogHost {
    public:
        explicit WatchdogLink(CCamImage& c) : m_cam(c) {}
        void FireViewChange() override { m_cam.FireViewChange(); }
        void StartVideoStream() override { m_cam.StartVideoStream(); }
        bool HasCameraAddress() override { return m_cam.HasCameraAddress(); }
        bool AdoptPageAddress() override;
        void KillWatchdogTimer() override;

    private:
        CCamImage& m_cam;
    };

    HWND OwnerWindow() override { return m_paintWindow; }
    static DWORD WINAPI ThreadFunc(void* control);
    void ProceedingVideoStream();
    // Ends a running video worker: its stream closed first, terminated only after kStopWaitMs.
    void EndVideoWorker();
    HRESULT CopyText(const BStr& field, BSTR* out);
    HRESULT AcceptAddress(LONG value);
    // Arms the watchdog tick on the control's window (again, after it was killed).
    void ArmWatchdog();
    // Appends this view's counters to the file the environment names, if any.
    void WriteStats();

    // Texts the host replaces while the worker reads them: guarded by m_textLock.
    CriticalSection m_textLock;
    BStr m_URL;
    BStr m_user;
    BStr m_pswd;
    BStr m_videoPath;

    // Streaming, display options, frame mode and indexes, frame rate, overlay text and the
    // watchdog counters, shared with the video worker and the painter.
    LiveViewState m_state;
    std::atomic<bool> m_Reconnect{true};

    // Three buffers per frame size: m_dibs[kMode640] is m_dib640, and so on.
    DibBuffer m_dibs[kModeCount][3];

    std::unique_ptr<StreamSession> m_session;
    std::unique_ptr<StreamRecorder> m_recorder;
    std::unique_ptr<AudioReader> m_audio;  // reads m_session: goes before it
    WorkerThread m_videoThread;
    KernelHandle m_stopVideo;  // wakes the worker's waits when the stream stops
    WorkerLink m_workerLink{*this};
    WatchdogLink m_watchdogLink{*this};
    // The window the worker paints into; set while the window exists.
    std::atomic<HWND> m_paintWindow{nullptr};
    // The host's thread: the container's sinks may only be called from it.
    DWORD m_hostThread = GetCurrentThreadId();

    UINT m_watchdogTimerId = 0;
    UINT m_watchdogPeriodMs = Watchdog::kDefaultPeriodMs;
    UINT m_recordTimerId = 0;
    KernelHandle m_hPaintOK;
    KernelHandle m_hDumpOK;
    std::atomic<void (*)()> m_recordRestart{nullptr};  // read by the video worker
    int32_t m_panX = 0;
    int32_t m_panY = 0;
    int32_t m_actionMode = 0;  // setaction 7

    bool StartRecording(const char* path, void (*restart)(), bool withClock);
    // The frame-size change seen by the video worker, on its thread.
    void OnRecordingSizeChanged();
    void KillPeriodTimer();
    static void NotifyRecordingChanged();
    void Pan(int iaction);
    static void CALLBACK PeriodTimerProc(HWND, UINT, UINT_PTR id, DWORD);
};

}  // namespace qern
