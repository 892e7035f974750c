#pragma once
// What a user does to a control of the page at a given time: click one of its inner controls, or
// drag across it with the left button held. Platform-free.
#include <string>

namespace camhost {

struct UserAction {
    double at = 0;      // seconds after the start
    bool drag = false;  // false: a click at the centre
    int controlId = 0;  // the inner control's id, as its dialog knows it
    double from = 0.5;  // drag: start and end across the control's width, 0 = left edge, 1 = right edge
    double to = 0.5;
};

// "SECONDS:click:ID" or "SECONDS:drag:ID:FROM:TO".
bool ParseUserAction(const std::string& text, UserAction& out);

}  // namespace camhost
