#include "settings/WaitDialog.h"

namespace qern {

void WaitDialog::Run(HINSTANCE resources, HWND owner, volatile LONG& waitFlag) {
    DialogBoxParamW(resources, MAKEINTRESOURCEW(kTemplate), owner, &WaitDialog::Proc,
                    reinterpret_cast<LPARAM>(&waitFlag));
    InterlockedExchange(&waitFlag, 0);
}

INT_PTR CALLBACK WaitDialog::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG:
            SetWindowLongPtrW(hwnd, DWLP_USER, lp);
            SetTimer(hwnd, kTimerId, kTickMs, nullptr);
            return TRUE;
        case WM_TIMER: {
            auto* flag = reinterpret_cast<volatile LONG*>(GetWindowLongPtrW(hwnd, DWLP_USER));
            if (flag && *flag == 1) {
                KillTimer(hwnd, kTimerId);
                EndDialog(hwnd, IDOK);
            }
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) {
                KillTimer(hwnd, kTimerId);
                EndDialog(hwnd, LOWORD(wp));
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace qern
