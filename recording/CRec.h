#pragma once
// The recording strip control: "REC", "STOP", "zoomIn", "zoomOut" and "snap" beside the current
// live view. "REC" asks for the period and the folder, which the camera keeps, then records.
#include <atomic>
#include <cstdint>

#include "com/ControlBase.h"
#include "com/DispatchImpl.h"
#include "module/QERNCamControl_h.h"

namespace qern {

class CCamImage;

class CRec : public DispatchImpl<ICRec, &IID_ICRec>, public ControlBase {
public:
    static constexpr int kTemplate = 108;
    static constexpr int kRecButton = 206;
    static constexpr int kStopButton = 236;
    static constexpr int kZoomInButton = 241;
    static constexpr int kZoomOutButton = 242;
    static constexpr int kSnapButton = 243;
    static constexpr int kRecBitmap = 205;
    static constexpr int kStopBitmap = 206;
    static constexpr UINT kPeriodTimerId = 1;
    // Posted to the strip when a recording starts or ends elsewhere: the buttons follow it.
    static constexpr UINT kRecordingChanged = WM_APP + 1;

    static const InterfaceEntry* InterfaceMap();
    void FinalRelease();

    // 0 stops and 1 starts a recording of the current live view, as the strip's buttons do.
    STDMETHODIMP setaction(int iaction) override;

    // "REC": the recorder settings, the dialog, then the recording. True when one started.
    bool Start();
    // "STOP", a period's end, setaction 0.
    void Stop();
    HWND StripWindow() const { return m_strip; }
    // The strip's zoom counter (0..15), shared by every strip of the process.
    static int32_t ZoomCounter();

protected:
    CRec();
    const CLSID& ClassId() const override;
    PropertyMap Properties() const override;
    void OnWindowCreated() override;
    void OnWindowDestroying() override;

private:
    static INT_PTR CALLBACK StripProc(HWND dialog, UINT msg, WPARAM wp, LPARAM lp);
    static void CALLBACK WindowlessTimerProc(HWND, UINT, UINT_PTR id, DWORD);
    // Called on the video worker's thread after a change of picture size interrupted the file.
    static void RecordRestart();
    static DWORD WINAPI RestartThread(void*);
    // Called on any thread when a live view's recording starts or ends.
    static void OnRecordingChanged();

    void OnInitStrip(HWND strip);
    void Zoom(int step);
    void ShowButtons(bool recording);
    void FollowRecording();
    HWND Owner() const;

    HWND m_strip = nullptr;
    UINT_PTR m_periodTimerId = 0;
};

}  // namespace qern
