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
#include "com/WinHandle.h"
#include "liveview/DibBuffer.h"
#include "com/WorkerThread.h"
#include "module/QERNCamControl_h.h"

class StreamSession;

class CCamImage : public qern::StockPropertyImpl<CCamImage, ICamImage, &IID_ICamImage>,
                  public qern::ControlBase,
                  private AudioCameraLink {
public:
    static const char kVersionText[];
    static const int32_t kRingCapacity = 0x20000;
    // How long StopVideoStream waits for the worker after closing its stream.
    static const DWORD kStopWaitMs = 200;
    // How long destruction waits for the audio reader, message box included.
    static const DWORD kAudioStopWaitMs = 2000;

    static const qern::InterfaceEntry* InterfaceMap();
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

    // Starts the video worker (stopping one that still runs) and the process's audio reader.
    bool StartVideoStream();
    // Stops the video worker: closes its stream underneath any blocked read, then waits for it.
    bool StopVideoStream();
    // The hosting page's address through the client site.
    bool GetPageUrl(qern::BStr& url);

    // Read-only views of the state, for the other controls and for diagnostics.
    bool IsStreaming() override { return m_bStreaming; }
    bool HasCameraAddress() override;
    std::string VideoPath();
    bool VideoWorkerRunning() const { return m_videoThread.Running(); }
    int32_t Mode() const { return m_mode; }
    int32_t Zoom() const { return m_zoom; }
    const DibBuffer& Buffer640(int i) const { return m_dib640[i]; }
    const DibBuffer& Buffer320(int i) const { return m_dib320[i]; }
    const DibBuffer& Buffer176(int i) const { return m_dib176[i]; }
    const char* OverlayText() const { return m_overlayText; }
    // Workers that had to be terminated since the process started.
    static LONG TerminatedWorkers();

protected:
    CCamImage();
    ~CCamImage() override;

    const CLSID& ClassId() const override;
    qern::PropertyMap Properties() const override;
    const IID* DefaultSourceIid() const override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    HWND OwnerWindow() override { return m_hWnd; }
    static DWORD WINAPI ThreadFunc(void* control);
    void ProceedingVideoStream();
    // Ends a running video worker: its stream closed first, terminated only after kStopWaitMs.
    void EndVideoWorker();
    HRESULT CopyText(const qern::BStr& field, BSTR* out);
    HRESULT AcceptAddress(LONG value);

    // Texts the host replaces while the worker reads them: guarded by m_textLock.
    qern::CriticalSection m_textLock;
    qern::BStr m_URL;
    qern::BStr m_user;
    qern::BStr m_pswd;
    qern::BStr m_videoPath;

    bool m_bStretch = true;
    bool m_Reconnect = true;
    bool m_bUpsideDown = false;
    bool m_bMirror = false;

    DibBuffer m_dib640[3];
    DibBuffer m_dib320[3];
    DibBuffer m_dib176[3];
    int32_t m_shown640 = 0;
    int32_t m_shown320 = 0;
    int32_t m_shown176 = 0;

    std::unique_ptr<StreamSession> m_session;
    WorkerThread m_videoThread;
    std::atomic<bool> m_bStreaming{true};
    qern::WinHandle m_stopVideo;  // wakes the worker's waits when the stream stops

    UINT m_watchdogTimerId = 0;
    UINT m_recordTimerId = 0;
    char m_overlayText[64] = {};
    int32_t m_fps = 0;
    int32_t m_mode = 3;
    int32_t m_modeChanged = 0;
    qern::WinHandle m_hPaintOK;
    qern::WinHandle m_hDumpOK;
    int32_t m_watchdog = 0;
    int32_t m_wd_timeout = 15;
    void (*m_recordRestart)() = nullptr;
    int32_t m_zoom = 0;
    int32_t m_panX = 0;
    int32_t m_panY = 0;
};
