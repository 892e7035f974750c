// The "REC SETTING" dialog: the recording period in minutes, whether it applies, and the folder.
#pragma once

#include <windows.h>

#include <cstdint>

namespace qern {

class RecSettingDialog {
public:
    static constexpr int kTemplate = 204;
    static constexpr int kPeriodEdit = 232;
    static constexpr int kFolderEdit = 233;
    static constexpr int kFolderButton = 238;
    static constexpr int kEnableBox = 240;
    static constexpr size_t kFolderSize = 260;

    // Shown modally. folder (kFolderSize bytes), period and enable go in and come out; returns
    // 0 for "Start to Record" and -1 for "Cancel" (or a dialog that could not be shown).
    static int Show(HWND owner, char* folder, int32_t& period, bool& enable);

private:
    RecSettingDialog(char* folder, int32_t& period, bool& enable)
        : m_folder(folder), m_period(period), m_enable(enable) {}
    static INT_PTR CALLBACK Proc(HWND dialog, UINT msg, WPARAM wp, LPARAM lp);
    void OnInit(HWND dialog);
    void OnEnableClicked(HWND dialog);
    void OnFolderClicked(HWND dialog);
    void OnStart(HWND dialog);

    char* m_folder;
    int32_t& m_period;
    bool& m_enable;
};

}  // namespace qern
