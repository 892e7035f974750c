#pragma once
// The modal Wait box (template 203) shown after each command: it ends at the first 2-second tick
// after the camera's applied notification set the wait flag, or at OK or Cancel.
#include <windows.h>

namespace qern {

class WaitDialog {
public:
    static constexpr WORD kTemplate = 203;
    static constexpr UINT kTickMs = 2000;
    static constexpr UINT_PTR kTimerId = 1;

    // Runs the box owned by owner; the flag is reset to 0 when it has ended.
    static void Run(HINSTANCE resources, HWND owner, volatile LONG& waitFlag);

private:
    static INT_PTR CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
};

}  // namespace qern
