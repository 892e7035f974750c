#pragma once
// Plays a control's user actions when they are due: mouse messages at the inner control's place
// on the screen, to the window a user's pointer would hit there.
#include <windows.h>

#include <string>
#include <vector>

#include "tools/camhost/UserAction.h"

namespace camhost {

class UserInput {
public:
    void Add(HWND controlWindow, const std::vector<UserAction>& actions);
    // Posts the actions due by `elapsed`; returns a line for each one played.
    std::vector<std::string> PlayDue(double elapsed);

private:
    struct Pending {
        HWND control;
        UserAction action;
        bool done = false;
    };
    static std::string Play(HWND control, const UserAction& action);
    std::vector<Pending> m_pending;
};

}  // namespace camhost
