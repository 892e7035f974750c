#include "tools/camhost/RecSettingAnswer.h"

#include <windows.h>

namespace camhost {
namespace {

constexpr int kPeriodBox = 232, kFolderBox = 233, kEnableBox = 240;

std::string ItemText(HWND dialog, int id) {
    char text[300] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

}  // namespace

RecSettingSeen AnswerRecSetting(const RecSettingAnswer& answer, int waitMs) {
    RecSettingSeen seen;
    HWND d = nullptr;
    for (int waited = 0; !(d && IsWindowVisible(d)); waited += 50) {
        if (waited >= waitMs) return seen;
        Sleep(50);
        d = FindWindowA("#32770", "REC SETTING");
    }
    seen.found = true;
    Sleep(answer.lookMs);
    seen.period = ItemText(d, kPeriodBox);
    seen.folder = ItemText(d, kFolderBox);
    if (answer.clearEnable && IsDlgButtonChecked(d, kEnableBox) == BST_CHECKED) {
        SendMessageA(GetDlgItem(d, kEnableBox), BM_CLICK, 0, 0);
        seen.periodAfterClear = ItemText(d, kPeriodBox);
        seen.periodEnabledAfterClear = IsWindowEnabled(GetDlgItem(d, kPeriodBox)) != FALSE;
    }
    if (answer.period) SetDlgItemTextA(d, kPeriodBox, answer.period);
    const int id = answer.start ? IDOK : IDCANCEL;
    PostMessageA(d, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(d, id)));
    return seen;
}

}  // namespace camhost
