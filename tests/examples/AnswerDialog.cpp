// Answers a dialog another program shows, as its user would: waits for a visible dialog with the
// given caption and presses its OK button.
//   answer_dialog.exe CAPTION [SECONDS]   exit 0 once pressed, 1 when none came in time
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const DWORD limit = DWORD(argc > 2 ? std::atoi(argv[2]) : 60) * 1000;
    for (const DWORD start = GetTickCount(); GetTickCount() - start < limit; Sleep(100)) {
        HWND dialog = FindWindowA("#32770", argv[1]);
        if (!dialog || !IsWindowVisible(dialog)) continue;
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), LPARAM(GetDlgItem(dialog, IDOK)));
        std::printf("answered \"%s\"\n", argv[1]);
        return 0;
    }
    std::printf("no \"%s\" dialog\n", argv[1]);
    return 1;
}
