#pragma once
// The settings panel's dialog (template 105) inside the control's window: resolution buttons,
// four sliders with their value boxes, the read-only rows, the RECORD group. Each change goes to
// the camera as one command on a connection of its own, then the Wait box holds the user until
// the camera has taken it. Every panel has its own sliders and wait flag.
#include <windows.h>

#include <cstdint>
#include <functional>

#include "settings/BitmapSlider.h"
#include "settings/SettingsChannel.h"

namespace qern {

class ImagePanel {
public:
    static constexpr WORD kTemplate = 105;
    static constexpr DWORD kStartPauseMs = 1000;

    struct Host {
        // The camera, as the control's URL, User and Password give it (host empty: none yet).
        std::function<CameraEndpoint()> camera;
        // Ends the current live view's recording, when there is one.
        std::function<void()> stopRecording;
    };

    explicit ImagePanel(Host host) : m_host(std::move(host)) {}
    ~ImagePanel();
    ImagePanel(const ImagePanel&) = delete;
    ImagePanel& operator=(const ImagePanel&) = delete;

    // Makes the dialog as a child of parent and shows it.
    bool Create(HINSTANCE resources, HWND parent);
    void Destroy();
    HWND Window() const { return m_hwnd; }
    // Reads the camera's current settings once, when the camera is known, and shows them.
    void ShowCameraSettings();

private:
    struct SliderRow {
        int slider;
        int valueBox;
        int32_t minimum, maximum;
        int imageKey;  // index in SettingsChannel::kImageKeys
        bool (SettingsChannel::*command)(int32_t);
    };
    static const SliderRow kSliders[4];

    static INT_PTR CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    INT_PTR OnMessage(UINT msg, WPARAM wp, LPARAM lp);
    void Initialise();
    void OnScroll(WPARAM wp, LPARAM lp);
    void OnCommand(int id);
    // One command on a connection of its own with this panel as notify window, then the Wait box.
    void Send(const std::function<void(SettingsChannel&)>& command);
    void Browse();
    void Show(const int32_t (&values)[SettingsChannel::kImageKeyCount]);
    void Select(int first, int last, int chosen);

    Host m_host;
    HINSTANCE m_resources = nullptr;
    HWND m_hwnd = nullptr;
    BitmapSlider m_sliders[4];
    volatile LONG m_waitFlag = 0;
    bool m_settingsShown = false;
};

}  // namespace qern
