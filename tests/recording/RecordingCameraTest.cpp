// Recording as a user does it, through the DLL against the camera simulator: setaction 1 of the
// live view and the strip's "REC" with the "REC SETTING" dialog answered from another thread,
// "STOP", the period's end, a change of picture size, the file-size rollover, destruction while
// recording and a camera that does not answer. The recorded files are left in QERN_RECORD_DIR
// for recording-e2e.sh, which reads them with ffprobe and ffmpeg against camsim's frame log.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "com/BStr.h"
#include "com/ComPtr.h"
#include "tests/module/CamControlDll.h"
#include "tests/support/Camsim.h"
#include "tests/support/InPlaceContainer.h"
#include "tests/support/Process.h"
#include "tests/support/Screen.h"
#include "tests/support/Wait.h"

using qern::BStr;
using qern::ComPtr;
using qern::test::PumpMessages;

namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

bool PumpUntil(const std::function<bool()>& done, int ms) {
    return qern::test::WaitFor(done, ms, [] { PumpMessages(20); });
}

std::string ItemText(HWND dialog, int id) {
    char text[300] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

struct DialogSearch {
    const std::string* text;
    HWND found;
};

BOOL CALLBACK MatchDialog(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<DialogSearch*>(lp);
    char cls[32] = {}, caption[300] = {};
    GetClassNameA(w, cls, sizeof cls);
    if (std::string(cls) != "#32770" || !IsWindowVisible(w)) return TRUE;
    GetWindowTextA(w, caption, sizeof caption);
    bool match = *s->text == caption;
    for (HWND c = GetWindow(w, GW_CHILD); c && !match; c = GetWindow(c, GW_HWNDNEXT)) {
        char t[300] = {};
        GetWindowTextA(c, t, sizeof t);
        match = *s->text == t;
    }
    if (match) s->found = w;
    return match ? FALSE : TRUE;
}

// The top-level dialog window (a message box or "REC SETTING") whose caption or static text is text.
HWND FindDialogWith(const std::string& text) {
    DialogSearch search{&text, nullptr};
    EnumWindows(&MatchDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForDialogWith(const std::string& text, DWORD ms) {
    for (DWORD waited = 0; waited < ms; waited += 50) {
        if (HWND w = FindDialogWith(text)) return w;
        Sleep(50);
    }
    return nullptr;
}

// How the user answers the "REC SETTING" dialog, and what they saw in it.
struct Answer {
    bool start = true;
    bool clearEnable = false;
    const char* period = nullptr;   // typed into the period field when given
    const wchar_t* messageBox = nullptr;  // a message box expected first, answered with OK
};
struct Seen {
    bool messageBox = false;
    bool dialog = false;
    std::string period, folder;
    std::string periodAfterClear;
    bool periodEnabledAfterClear = true;
    bool recFail = false;
};

// Answers on a thread of its own while the user-interface thread is held by the modal dialog.
class DialogAnswer {
public:
    explicit DialogAnswer(Answer a) : answer(a), thread([this] { Run(); }) {}
    ~DialogAnswer() { Join(); }
    Seen& Join() {
        if (thread.joinable()) thread.join();
        return seen;
    }
    bool Done() const { return done; }

private:
    void Run() {
        if (answer.messageBox) {
            const qern::test::MessageBox box = qern::test::FindMessageBox(30000);
            seen.messageBox = box.text == answer.messageBox;
            if (box.hwnd) box.PressOk();
        }
        HWND d = WaitForDialogWith("REC SETTING", 30000);
        if (!d) {
            done = true;
            return;
        }
        seen.dialog = true;
        seen.period = ItemText(d, 232);
        seen.folder = ItemText(d, 233);
        if (answer.clearEnable) {
            SendMessageA(GetDlgItem(d, 240), BM_CLICK, 0, 0);
            seen.periodAfterClear = ItemText(d, 232);
            seen.periodEnabledAfterClear = IsWindowEnabled(GetDlgItem(d, 232)) != FALSE;
        }
        if (answer.period) SetDlgItemTextA(d, 232, answer.period);
        const int id = answer.start ? IDOK : IDCANCEL;
        PostMessageA(d, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(d, id)));
        // A failed start says so in a box that would hold the test.
        if (answer.start) {
            const qern::test::MessageBox box = qern::test::FindMessageBox(1500);
            seen.recFail = box.hwnd != nullptr;
            if (box.hwnd) box.PressOk();
        }
        done = true;
    }

    Answer answer;
    Seen seen;
    std::atomic<bool> done{false};
    std::thread thread;
};

// A control of the DLL in place on a test page of its own.
template <class I>
struct Placed {
    Placed(REFCLSID clsid, REFIID iid, camhost::Rect pos) : container(pos) {
        EXPECT_EQ(CamControlDll::Get().Create(clsid, IID_IOleObject, ole.put_void()), S_OK);
        if (!ole) return;
        EXPECT_EQ(ole.query(iid, control), S_OK);
        EXPECT_EQ(container.Activate(ole.get()), S_OK) << container.error;
        hwnd = container.Control();
    }
    ~Placed() {
        control.reset();
        container.Shutdown();
    }
    qern::test::InPlaceContainer container;
    ComPtr<IOleObject> ole;
    ComPtr<I> control;
    HWND hwnd = nullptr;
};

class Recording : public ::testing::Test {
protected:
    void SetUp() override {
        QERN_NEED_CAMSIM("");
        ASSERT_FALSE(Env("QERN_RECORD_DIR_WIN").empty()) << "run from recording-e2e.sh";
        view.reset(new Placed<ICamImage>(CLSID_CamImage, IID_ICamImage, {0, 0, 640, 480}));
        ASSERT_TRUE(view->control);
        cam()->put_User(BStr(L"admin").get());
        cam()->put_Password(BStr(L"admin").get());
        const std::string url = qern::test::CamsimUrl("/video.cgi");
        ASSERT_EQ(cam()->put_URL(BStr::fromAnsi(url.c_str()).get()), S_OK);
        logStart = RequestLog().size();
    }
    void TearDown() override {
        strip.reset();
        view.reset();
    }
    ICamImage* cam() { return view->control.get(); }
    LONG Action(int code) {
        LONG out = -1;
        EXPECT_EQ(cam()->setaction(code, &out), S_OK);
        return out;
    }
    bool Active() { return Action(5) == 1; }
    void WaitForPicture() {
        ASSERT_TRUE(PumpUntil([&] { return Action(6) > 0; }, 30000)) << "no frame rate shown";
    }
    // Starts through setaction 1; returns its out value.
    LONG RecordWithDialog(Answer a, Seen* seen = nullptr) {
        DialogAnswer answer(a);
        const LONG out = Action(1);
        Seen& s = answer.Join();
        EXPECT_TRUE(s.dialog);
        if (seen) *seen = s;
        return out;
    }
    void PlaceStrip() {
        strip.reset(new Placed<ICRec>(CLSID_CRec, IID_ICRec, {0, 500, 600, 560}));
        ASSERT_TRUE(strip->control);
        stripDialog = FindWindowExA(strip->hwnd, nullptr, "#32770", nullptr);
        ASSERT_NE(stripDialog, nullptr);
    }
    HWND Button(int id) { return GetDlgItem(stripDialog, id); }
    bool StripIdle() { return IsWindowEnabled(Button(206)) && !IsWindowEnabled(Button(236)); }
    void Press(int id) { PostMessageA(stripDialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)Button(id)); }
    // Presses "REC" and answers the dialog.
    Seen PressRec(Answer a) {
        DialogAnswer answer(a);
        Press(206);
        PumpUntil([&] { return answer.Done(); }, 30000);
        Seen& seen = answer.Join();
        EXPECT_FALSE(seen.recFail);
        return seen;
    }
    std::string RequestLog() {
        const std::string log = qern::test::CamsimRequestLog();
        return log.substr(std::min(logStart, log.size()));
    }
    size_t logStart = 0;

    std::unique_ptr<Placed<ICamImage>> view;
    std::unique_ptr<Placed<ICRec>> strip;
    HWND stripDialog = nullptr;
};

// The camera's folder and period (set by the script) are shown, and written back afterwards.
TEST_F(Recording, SetactionRecordsUntilThePeriodEnds) {
    WaitForPicture();
    Seen seen;
    const LONG started = RecordWithDialog(Answer{true, false, "1"}, &seen);
    EXPECT_EQ(seen.folder, Env("QERN_RECORD_DIR_WIN"));
    EXPECT_EQ(seen.period, "7");
    ASSERT_EQ(started, 1);
    EXPECT_TRUE(Active());
    const std::string log = RequestLog();
    const size_t read = log.find("/RdDVRctrl.cgi"), time = log.find("TimeD=1"), path = log.find("PathD=");
    EXPECT_NE(read, std::string::npos);
    EXPECT_NE(time, std::string::npos);
    EXPECT_NE(path, std::string::npos);
    EXPECT_LT(read, path);
    // A "minute" of 3 s (QERN_RECORD_MINUTE_MS): over well within 20 s.
    EXPECT_TRUE(PumpUntil([&] { return !Active(); }, 20000));
}

TEST_F(Recording, CancelSendsNothingAndRecordsNothing) {
    WaitForPicture();
    EXPECT_EQ(RecordWithDialog(Answer{false}), 0);
    EXPECT_FALSE(Active());
    EXPECT_EQ(RequestLog().find("/DVRctrl.cgi"), std::string::npos);
}

// Cleared "Enable" empties and disables the period; no timer: it records until "STOP".
TEST_F(Recording, StripRecordsUntilStop) {
    PlaceStrip();
    EXPECT_TRUE(IsWindowEnabled(Button(206)));
    EXPECT_FALSE(IsWindowEnabled(Button(236)));
    WaitForPicture();
    Seen seen = PressRec(Answer{true, true});
    EXPECT_EQ(seen.periodAfterClear, "");
    EXPECT_FALSE(seen.periodEnabledAfterClear);
    ASSERT_TRUE(Active());
    EXPECT_FALSE(IsWindowEnabled(Button(206)));
    EXPECT_TRUE(IsWindowEnabled(Button(236)));
    PumpMessages(5000);
    EXPECT_TRUE(Active());
    EXPECT_NE(RequestLog().find("TimeD=0"), std::string::npos);
    Press(236);
    EXPECT_TRUE(PumpUntil([&] { return !Active(); }, 10000));
    EXPECT_TRUE(IsWindowEnabled(Button(206)));
}

// Beside a camera that changes its picture size every few seconds: a strip recording goes on in
// a new file at the new size, a setaction 1 recording ends.
TEST_F(Recording, SizeChangeRestartsAStripRecording) {
    PlaceStrip();
    WaitForPicture();
    PressRec(Answer{true, true});
    ASSERT_TRUE(Active());
    PumpMessages(9000);  // two changes of size at least
    EXPECT_TRUE(Active());
    Press(236);
    EXPECT_TRUE(PumpUntil([&] { return !Active(); }, 10000));
}

TEST_F(Recording, SizeChangeEndsASetactionRecording) {
    WaitForPicture();
    ASSERT_EQ(RecordWithDialog(Answer{true, true}), 1);
    EXPECT_TRUE(PumpUntil([&] { return !Active(); }, 20000));
}

// QERN_RECORD_LIMIT_BYTES makes files small: the recording goes on in new files.
TEST_F(Recording, LongRecordingRollsOverIntoNewFiles) {
    WaitForPicture();
    ASSERT_EQ(RecordWithDialog(Answer{true, true}), 1);
    PumpMessages(6000);
    EXPECT_TRUE(Active());
    EXPECT_EQ(Action(0), 1);
    EXPECT_FALSE(Active());
}

TEST_F(Recording, DestroyedLiveViewFinalisesItsFile) {
    WaitForPicture();
    ASSERT_EQ(RecordWithDialog(Answer{true, true}), 1);
    PumpMessages(2000);
    view.reset();  // recording-e2e.sh reads the file to its end
}

// Beside a camera that answers each request late: the view goes while the restart after a size
// change still reads the recorder settings. The process lives on, the file is whole, the strip
// shows the recording ended, and no restart says anything.
TEST_F(Recording, ViewDestroyedDuringARestart) {
    PlaceStrip();
    WaitForPicture();
    PressRec(Answer{true, true});
    ASSERT_TRUE(Active());
    const auto reads = [&] { return Count(RequestLog(), "/RdDVRctrl.cgi"); };
    const size_t before = reads();
    ASSERT_TRUE(PumpUntil([&] { return reads() > before; }, 20000)) << "no restart";
    long tookMs = 0;
    EXPECT_TRUE(qern::test::EndsWithin([&] { view.reset(); }, 10000, &tookMs));
    std::printf("view destroyed during the restart in %ld ms\n", tookMs);
    EXPECT_TRUE(PumpUntil([&] { return StripIdle(); }, 5000));
    EXPECT_EQ(qern::test::FindMessageBox(6000).hwnd, nullptr);  // the restart's read ends meanwhile
}

// setaction 1 of the view replaces the strip's recording: the strip's buttons follow, and the
// strip's period (two 3-s "minutes") does not end the new recording.
TEST_F(Recording, SetactionReplacesAStripRecording) {
    PlaceStrip();
    WaitForPicture();
    PressRec(Answer{true, false, "2"});
    ASSERT_FALSE(IsWindowEnabled(Button(206)));
    ASSERT_EQ(RecordWithDialog(Answer{true, true}), 1);
    EXPECT_TRUE(PumpUntil([&] { return StripIdle(); }, 5000));
    PumpMessages(7000);
    EXPECT_TRUE(Active());
    EXPECT_EQ(Action(0), 1);
}

// Beside a camera that stops sending: the stop is not held up by the silent stream.
TEST_F(Recording, StalledStreamStopsPromptly) {
    WaitForPicture();
    ASSERT_EQ(RecordWithDialog(Answer{true, true}), 1);
    PumpMessages(8000);  // the camera has stalled by now
    const DWORD start = GetTickCount();
    EXPECT_EQ(Action(0), 1);
    EXPECT_LT(GetTickCount() - start, 3000u);
}

// Beside a camera that accepts and never answers: the strip's setaction 1 says so and offers the defaults.
TEST_F(Recording, SilentCameraGivesTheDefaults) {
    PlaceStrip();
    Answer a{false};
    a.messageBox = L"get origianl setting fail!!";
    DialogAnswer answer(a);
    EXPECT_EQ(strip->control->setaction(1), S_OK);  // as "REC"; returns once the dialog is answered
    Seen& seen = answer.Join();
    EXPECT_TRUE(seen.messageBox);
    EXPECT_EQ(seen.folder, "c:\\");
    EXPECT_EQ(seen.period, "5");
    EXPECT_FALSE(Active());
}

}  // namespace
