#include "recording/RecSettingDialog.h"

#include <shlobj.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "recording/ModuleInstance.h"

namespace qern {

int RecSettingDialog::Show(HWND owner, char* folder, int32_t& period, bool& enable) {
    if (!folder) return -1;
    RecSettingDialog dialog(folder, period, enable);
    const INT_PTR r = DialogBoxParamA(ModuleInstance(), MAKEINTRESOURCEA(kTemplate), owner, &RecSettingDialog::Proc,
                                      reinterpret_cast<LPARAM>(&dialog));
    return r == 0 ? 0 : -1;
}

INT_PTR CALLBACK RecSettingDialog::Proc(HWND dialog, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, DWLP_USER, lp);
        reinterpret_cast<RecSettingDialog*>(lp)->OnInit(dialog);
        return TRUE;
    }
    auto* self = reinterpret_cast<RecSettingDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (!self || msg != WM_COMMAND || HIWORD(wp) != BN_CLICKED) return FALSE;
    switch (LOWORD(wp)) {
        case kEnableBox:
            self->OnEnableClicked(dialog);
            return TRUE;
        case kFolderButton:
            self->OnFolderClicked(dialog);
            return TRUE;
        case IDOK:
            self->OnStart(dialog);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, -1);
            return TRUE;
        default:
            return FALSE;
    }
}

// Always opens ticked, whatever the caller's flag.
void RecSettingDialog::OnInit(HWND dialog) {
    CheckDlgButton(dialog, kEnableBox, BST_CHECKED);
    SetDlgItemInt(dialog, kPeriodEdit, static_cast<UINT>(m_period), TRUE);
    m_folder[kFolderSize - 1] = '\0';
    SetDlgItemTextA(dialog, kFolderEdit, m_folder);
}

void RecSettingDialog::OnEnableClicked(HWND dialog) {
    const bool ticked = IsDlgButtonChecked(dialog, kEnableBox) == BST_CHECKED;
    if (ticked)
        SetDlgItemInt(dialog, kPeriodEdit, static_cast<UINT>(m_period), TRUE);
    else
        SetDlgItemTextA(dialog, kPeriodEdit, "");
    EnableWindow(GetDlgItem(dialog, kPeriodEdit), ticked);
}

void RecSettingDialog::OnFolderClicked(HWND dialog) {
    BROWSEINFOA info{};
    info.hwndOwner = dialog;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;
    char display[MAX_PATH] = {};
    info.pszDisplayName = display;
    LPITEMIDLIST chosen = SHBrowseForFolderA(&info);
    if (!chosen) return;
    char path[MAX_PATH] = {};
    if (SHGetPathFromIDListA(chosen, path)) {
        const size_t n = std::min(std::strlen(path), kFolderSize - 1);
        std::memcpy(m_folder, path, n);
        m_folder[n] = '\0';
        SetDlgItemTextA(dialog, kFolderEdit, m_folder);
    }
    CoTaskMemFree(chosen);
}

void RecSettingDialog::OnStart(HWND dialog) {
    m_enable = IsDlgButtonChecked(dialog, kEnableBox) == BST_CHECKED;
    char text[32] = {};
    GetDlgItemTextA(dialog, kPeriodEdit, text, sizeof text);
    m_period = static_cast<int32_t>(std::strtol(text, nullptr, 10));  // 0 when empty or not a number
    EndDialog(dialog, 0);
}

}  // namespace qern
