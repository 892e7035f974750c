#include "tools/camhost/UserInput.h"

#include <cstdio>

namespace camhost {
namespace {

struct Search {
    int id;
    HWND found;
};

BOOL CALLBACK FindById(HWND hwnd, LPARAM lp) {
    auto* s = reinterpret_cast<Search*>(lp);
    if (GetDlgCtrlID(hwnd) != s->id) return TRUE;
    s->found = hwnd;
    return FALSE;
}

void PostMouse(HWND target, UINT msg, WPARAM keys, POINT screen) {
    ScreenToClient(target, &screen);
    PostMessageW(target, msg, keys, MAKELPARAM(screen.x, screen.y));
}

}  // namespace

void UserInput::Add(HWND controlWindow, const std::vector<UserAction>& actions) {
    for (const UserAction& a : actions) m_pending.push_back(Pending{controlWindow, a});
}

std::vector<std::string> UserInput::PlayDue(double elapsed) {
    std::vector<std::string> lines;
    for (Pending& p : m_pending) {
        if (p.done || elapsed < p.action.at) continue;
        p.done = true;
        lines.push_back(Play(p.control, p.action));
    }
    return lines;
}

std::string UserInput::Play(HWND control, const UserAction& a) {
    char line[160];
    Search search{a.controlId, nullptr};
    if (control) EnumChildWindows(control, &FindById, reinterpret_cast<LPARAM>(&search));
    if (!search.found) {
        std::snprintf(line, sizeof line, "action: no control %d to %s", a.controlId, a.drag ? "drag" : "click");
        return line;
    }
    RECT r;
    GetWindowRect(search.found, &r);
    const int y = (r.top + r.bottom) / 2;
    auto across = [&](double f) { return static_cast<LONG>(r.left + f * (r.right - r.left - 1)); };
    POINT start{a.drag ? across(a.from) : (r.left + r.right) / 2, y};
    // The window under the pointer takes the button, as it would for a user.
    HWND target = WindowFromPoint(start);
    if (target != search.found) {
        std::snprintf(line, sizeof line, "action: control %d is covered at %ld,%ld", a.controlId, start.x, start.y);
        return line;
    }
    PostMouse(target, WM_LBUTTONDOWN, MK_LBUTTON, start);
    POINT end = start;
    if (a.drag) {
        const int steps = 8;
        for (int i = 1; i <= steps; ++i) {
            end.x = across(a.from + (a.to - a.from) * i / steps);
            PostMouse(target, WM_MOUSEMOVE, MK_LBUTTON, end);
        }
    }
    PostMouse(target, WM_LBUTTONUP, 0, end);
    if (a.drag)
        std::snprintf(line, sizeof line, "action: dragged control %d from %.0f%% to %.0f%% of its width", a.controlId,
                      a.from * 100, a.to * 100);
    else
        std::snprintf(line, sizeof line, "action: clicked control %d", a.controlId);
    return line;
}

}  // namespace camhost
