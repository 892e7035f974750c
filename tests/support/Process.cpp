#include "tests/support/Process.h"

#include <tlhelp32.h>

#include <algorithm>

#include "tests/support/Screen.h"
#include "tests/support/Wait.h"

namespace qern {

namespace test {

int ThreadCount() {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int n = 0;
    for (BOOL ok = Thread32First(snap, &entry); ok; ok = Thread32Next(snap, &entry))
        n += entry.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snap);
    return n;
}

int GdiObjectCount() {
    if (const int n = int(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS))) return n;
    HBRUSH batch[64];
    int top = 0;
    for (HBRUSH& b : batch) top = std::max(top, int(LOWORD(reinterpret_cast<UINT_PTR>(b = CreateSolidBrush(0)))));
    for (HBRUSH b : batch) DeleteObject(b);
    return top;
}

namespace {
BOOL CALLBACK Visit(HWND hwnd, LPARAM param) {
    auto* box = reinterpret_cast<MessageBox*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[32] = {};
    GetClassNameW(hwnd, cls, 32);
    if (pid != GetCurrentProcessId() || std::wstring(cls) != L"#32770" || !IsWindowVisible(hwnd)) return TRUE;
    wchar_t buf[512] = {};
    GetDlgItemTextW(hwnd, 0xFFFF, buf, 512);
    if (!buf[0]) return TRUE;  // a box still being built has no text yet
    box->text = buf;
    GetWindowTextW(hwnd, buf, 512);
    box->caption = buf;
    box->owner = GetWindow(hwnd, GW_OWNER);
    box->hwnd = hwnd;
    return FALSE;
}
}  // namespace

MessageBox FindMessageBox(int ms) {
    MessageBox box;
    WaitFor([&] { return EnumWindows(Visit, reinterpret_cast<LPARAM>(&box)), box.hwnd != nullptr; }, ms,
            [] { PumpMessages(); });
    return box;
}

}  // namespace test

}  // namespace qern
