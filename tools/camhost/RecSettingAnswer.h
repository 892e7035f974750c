#pragma once
// A user's answer to the recording strip's "REC SETTING" dialog, given from a thread of its own
// while the modal dialog holds the window thread (the demo's recording and the recording tests).
#include <string>

namespace camhost {

struct RecSettingAnswer {
    bool start = true;             // "Start to Record", else Cancel
    bool clearEnable = true;       // "Enable" cleared first
    const char* period = nullptr;  // typed in when given
    int lookMs = 0;                // how long the dialog stands before the answer
};

// What the dialog showed; found is false when it did not come within the wait.
struct RecSettingSeen {
    bool found = false, periodEnabledAfterClear = true;
    std::string period, folder, periodAfterClear;
};

RecSettingSeen AnswerRecSetting(const RecSettingAnswer& answer, int waitMs = 30000);

}  // namespace camhost
