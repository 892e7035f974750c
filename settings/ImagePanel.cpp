#include "settings/ImagePanel.h"

#include <shlobj.h>

#include <string>

#include "module/SettingsResource.h"
#include "settings/WaitDialog.h"
#include "common/Trace.h"

namespace qern {

const ImagePanel::SliderRow ImagePanel::kSliders[4] = {
    {IDC_BRIGHTNESS, IDC_BRIGHTNESS_VALUE, 1, 7, 7, &SettingsChannel::SetBrightness},
    {IDC_CONTRAST, IDC_CONTRAST_VALUE, 1, 11, 8, &SettingsChannel::SetContrast},
    {IDC_SATURATION, IDC_SATURATION_VALUE, 1, 11, 9, &SettingsChannel::SetSaturation},
    {IDC_HUE, IDC_HUE_VALUE, 1, 99, 6, &SettingsChannel::SetHue},  // read as Nhum, set as Nhue
};

ImagePanel::~ImagePanel() { Destroy(); }

bool ImagePanel::Create(HINSTANCE resources, HWND parent) {
    m_resources = resources;
    HWND hwnd = CreateDialogParamW(resources, MAKEINTRESOURCEW(kTemplate), parent, &ImagePanel::Proc,
                                   reinterpret_cast<LPARAM>(this));
    if (!hwnd) return false;
    ShowWindow(hwnd, SW_SHOW);
    return true;
}

void ImagePanel::Destroy() {
    if (m_hwnd) DestroyWindow(m_hwnd);
    m_hwnd = nullptr;
}

INT_PTR CALLBACK ImagePanel::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_INITDIALOG) {
        SetWindowLongPtrW(hwnd, DWLP_USER, lp);
        reinterpret_cast<ImagePanel*>(lp)->m_hwnd = hwnd;
    }
    auto* self = reinterpret_cast<ImagePanel*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!self) return FALSE;
    if (msg == WM_NCDESTROY) {
        self->m_hwnd = nullptr;
        return FALSE;
    }
    return self->OnMessage(msg, wp, lp);
}

INT_PTR ImagePanel::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG:
            Initialise();
            return TRUE;
        case WM_COMMAND:
            if (HIWORD(wp) == BN_CLICKED && lp != 0) OnCommand(LOWORD(wp));
            return TRUE;
        case WM_HSCROLL:
            OnScroll(wp, lp);
            return TRUE;
        case WM_NOTIFY:
            return TRUE;  // the brightness slider's NM_RELEASEDCAPTURE needs nothing
        default:
            return FALSE;
    }
}

void ImagePanel::Initialise() {
    QernTrace("ImagePanel::Initialise..\n");
    for (int box : {IDC_BRIGHTNESS_VALUE, IDC_CONTRAST_VALUE, IDC_SATURATION_VALUE, IDC_HUE_VALUE})
        SetDlgItemTextW(m_hwnd, box, L"00");
    SetDlgItemTextW(m_hwnd, IDC_PERIOD, L"30");
    SetDlgItemTextW(m_hwnd, IDC_PATH, L"c:\\QERN\\REC\\");
    for (int id : {IDC_RES_QCIF, IDC_RES_QVGA, IDC_RES_VGA}) EnableWindow(GetDlgItem(m_hwnd, id), FALSE);
    Sleep(kStartPauseMs);
    EnableWindow(GetDlgItem(m_hwnd, IDC_RECORD), TRUE);
    EnableWindow(GetDlgItem(m_hwnd, IDC_STOP), FALSE);
    for (int i = 0; i < 4; ++i) {
        m_sliders[i].SetRange(kSliders[i].minimum, kSliders[i].maximum);
        m_sliders[i].Attach(GetDlgItem(m_hwnd, kSliders[i].slider), m_resources);
    }
    for (int id : {IDC_RES_QCIF, IDC_RES_QVGA, IDC_RES_VGA}) EnableWindow(GetDlgItem(m_hwnd, id), TRUE);
    ShowCameraSettings();
}

void ImagePanel::ShowCameraSettings() {
    if (!m_hwnd || m_settingsShown) return;
    CameraEndpoint camera = m_host.camera();
    if (camera.host.empty()) return;
    m_settingsShown = true;
    camera.notify = m_hwnd;
    SettingsChannel& channel = SettingsChannel::Instance();
    int read = 0;
    int32_t values[SettingsChannel::kImageKeyCount];
    {
        SettingsChannel::Batch batch(channel, camera);
        if (batch.Opened()) read = channel.ReadImageSettings();
        if (read) channel.CachedImageSettings(values);
    }
    if (read) Show(values);  // a camera that does not answer leaves the panel as it starts
}

void ImagePanel::Select(int first, int last, int chosen) { CheckRadioButton(m_hwnd, first, last, chosen); }

void ImagePanel::Show(const int32_t (&v)[SettingsChannel::kImageKeyCount]) {
    auto pick = [](int32_t value, std::initializer_list<std::pair<int32_t, int>> choices) {
        for (const auto& [key, id] : choices) {
            if (value == key) return id;
        }
        return 0;  // a value without a button selects none
    };
    Select(IDC_RES_VGA, IDC_RES_QCIF, pick(v[0], {{1, IDC_RES_VGA}, {2, IDC_RES_QVGA}, {3, IDC_RES_QCIF}}));
    Select(IDC_LIGHT_NORMAL, IDC_LIGHT_SPECIAL, pick(v[1], {{0, IDC_LIGHT_NORMAL}, {1, IDC_LIGHT_SPECIAL}}));
    // The frame rate is reported in frames per second.
    const int32_t fps = v[2];
    Select(IDC_RATE_SLOW, IDC_RATE_FAST,
           fps >= 20   ? IDC_RATE_FAST
           : fps >= 10 ? IDC_RATE_NORMAL
           : fps >= 1  ? IDC_RATE_SLOW
                       : 0);
    Select(IDC_EXPOSURE_ON, IDC_EXPOSURE_OFF, pick(v[3], {{1, IDC_EXPOSURE_ON}, {0, IDC_EXPOSURE_OFF}}));
    Select(IDC_WHITE_ON, IDC_WHITE_OFF, pick(v[4], {{1, IDC_WHITE_ON}, {0, IDC_WHITE_OFF}}));
    Select(IDC_SHARP_LOW, IDC_SHARP_HIGH, pick(v[5], {{1, IDC_SHARP_LOW}, {2, IDC_SHARP_MID}, {3, IDC_SHARP_HIGH}}));
    Select(IDC_FREQ_50, IDC_FREQ_60, pick(v[10], {{50, IDC_FREQ_50}, {60, IDC_FREQ_60}}));
    Select(IDC_MIRROR_ON, IDC_MIRROR_OFF, pick(v[11], {{1, IDC_MIRROR_ON}, {0, IDC_MIRROR_OFF}}));
    Select(IDC_OVERTURN_ON, IDC_OVERTURN_OFF, pick(v[12], {{1, IDC_OVERTURN_ON}, {0, IDC_OVERTURN_OFF}}));
    for (int i = 0; i < 4; ++i) {
        const int32_t value = v[kSliders[i].imageKey];
        if (value < kSliders[i].minimum || value > kSliders[i].maximum) continue;
        m_sliders[i].SetValue(value);
        SetDlgItemInt(m_hwnd, kSliders[i].valueBox, static_cast<UINT>(value), TRUE);
    }
}

void ImagePanel::OnScroll(WPARAM wp, LPARAM lp) {
    if (wp == IDN_SETTING_APPLIED) InterlockedExchange(&m_waitFlag, 1);
    const HWND from = reinterpret_cast<HWND>(lp);
    // The applied notification's lParam is a key text, not a window; a trackbar's own
    // notifications (end of tracking and the like) are no change by the user.
    if (wp == IDN_SETTING_APPLIED || LOWORD(wp) != BitmapSlider::kThumbPosition || !IsWindow(from) ||
        GetParent(from) != m_hwnd)
        return;
    const int32_t value = HIWORD(wp);
    const int id = GetDlgCtrlID(from);
    for (const SliderRow& row : kSliders) {
        if (row.slider != id) continue;
        SetDlgItemInt(m_hwnd, row.valueBox, static_cast<UINT>(value), TRUE);
        Send([&](SettingsChannel& channel) { (channel.*row.command)(value); });
        return;
    }
}

void ImagePanel::OnCommand(int id) {
    switch (id) {
        case IDC_RES_VGA:
        case IDC_RES_QVGA:
        case IDC_RES_QCIF: {
            const int32_t resl = id == IDC_RES_VGA ? 1 : id == IDC_RES_QVGA ? 2 : 3;
            Send([&](SettingsChannel& channel) { channel.SetResolution(resl); });
            break;
        }
        case IDC_STOP:
            if (m_host.stopRecording) m_host.stopRecording();
            EnableWindow(GetDlgItem(m_hwnd, IDC_RECORD), TRUE);
            EnableWindow(GetDlgItem(m_hwnd, IDC_STOP), FALSE);
            break;
        case IDC_BROWSE:
            Browse();
            break;
        default:
            break;  // "&Record" and the rows without commands send nothing
    }
}

void ImagePanel::Send(const std::function<void(SettingsChannel&)>& command) {
    CameraEndpoint camera = m_host.camera();
    camera.notify = m_hwnd;
    SettingsChannel& channel = SettingsChannel::Instance();
    {
        // Also without a connection the command ends with the applied notification.
        SettingsChannel::Batch batch(channel, camera);
        command(channel);
    }
    WaitDialog::Run(m_resources, m_hwnd, m_waitFlag);
}

void ImagePanel::Browse() {
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator)) || !allocator) return;
    BROWSEINFOA info{};
    info.hwndOwner = m_hwnd;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;
    if (LPITEMIDLIST chosen = SHBrowseForFolderA(&info)) {
        char path[MAX_PATH] = {};
        if (SHGetPathFromIDListA(chosen, path)) SetDlgItemTextA(m_hwnd, IDC_PATH, path);
        allocator->Free(chosen);
    }
    allocator->Release();
}

}  // namespace qern
