#include "tools/camhost/RecordDemo.h"

#include "tools/camhost/RecSettingAnswer.h"

namespace camhost {

namespace {
constexpr int kRecButton = 206, kStopButton = 236;
}  // namespace

RecordDemo::~RecordDemo() {
    if (!m_thread) return;
    WaitForSingleObject(m_thread, 5000);
    CloseHandle(m_thread);
}

void RecordDemo::Press(HWND strip, int id) {
    HWND dialog = FindWindowExA(strip, nullptr, "#32770", nullptr);
    if (dialog) PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
}

void RecordDemo::OnTick(double elapsed, HWND strip) {
    if (m_start < 0 || !strip) return;
    if (m_state == kWaiting && elapsed >= m_start) {
        m_state = kRecPressed;
        m_thread = CreateThread(nullptr, 0, &RecordDemo::Answer, this, 0, nullptr);
        Press(strip, kRecButton);
    } else if (m_state == kRecPressed && m_answered && elapsed >= m_start + m_seconds) {
        m_state = kStopPressed;
        m_stoppedAt = elapsed;
        Press(strip, kStopButton);
    }
}

DWORD WINAPI RecordDemo::Answer(void* self) {
    static_cast<RecordDemo*>(self)->m_answered =
        AnswerRecSetting({true, true, nullptr, 500}).found;  // 0.5 s to be seen
    return 0;
}

}  // namespace camhost
