#pragma once
// The test process as the system sees it: its threads, its GDI objects, a message box it shows.
#include <windows.h>

#include <string>

namespace qern {

namespace test {

// Threads of this process now.
int ThreadCount();
// GDI objects this process holds now; where the system does not count them (Wine), the highest handle
// slot a batch of new objects takes, which also grows with every object kept. Compare, never assume 0.
int GdiObjectCount();

// A visible message box of this process (with its text set): text and caption; pressing OK closes it.
struct MessageBox {
    HWND hwnd = nullptr;
    HWND owner = nullptr;
    std::wstring text, caption;
    void PressOk() const { PostMessageW(hwnd, WM_COMMAND, IDOK, 0); }
};
// The first one found within ms milliseconds, pumping this thread's messages meanwhile; hwnd is
// null when none came.
MessageBox FindMessageBox(int ms);

}  // namespace test

}  // namespace qern
