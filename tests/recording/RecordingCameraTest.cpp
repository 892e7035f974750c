// Recording through the DLL: setaction 1 of the live view and the strip's "REC", "REC SETTING"
// answered from another thread. recording-e2e.sh runs each case beside a camsim of its own and
// reads its files back with ffprobe and ffmpeg against camsim's frame log.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <future>

#include "com/ComPtr.h"
#include "tests/module/CamControlDll.h"
#include "tests/support/Camsim.h"
#include "tests/support/InPlaceContainer.h"
#include "tests/support/Process.h"
#include "tests/support/Screen.h"
#include "tests/support/Wait.h"
#include "tools/camhost/RecSettingAnswer.h"
#include "tools/camhost/RecordDemo.h"

namespace qern {

using qern::test::PumpMessages;

namespace {

std::string Env(const char* name) { return std::getenv(name) ? std::getenv(name) : ""; }

bool PumpUntil(const std::function<bool()>& done, int ms) {
    return qern::test::WaitFor(done, ms, [] { PumpMessages(20); });
}

using Answer = camhost::RecSettingAnswer;
using Seen = camhost::RecSettingSeen;

// Answered from a thread of its own (the dialog holds this one); a failed start's box is pressed away.
std::future<Seen> Answering(Answer a) {
    return std::async(std::launch::async, [a] {
        const Seen seen = camhost::AnswerRecSetting(a);
        const qern::test::MessageBox box = a.start ? qern::test::FindMessageBox(1500) : qern::test::MessageBox{};
        EXPECT_EQ(box.hwnd, nullptr) << "the start failed";
        if (box.hwnd) box.PressOk();
        return seen;
    });
}

// A control of the DLL in place on a test page of its own.
template <class I>
struct Placed {
    Placed(REFCLSID clsid, REFIID iid, camhost::Rect pos, const qern::test::InPlaceContainer::Params& params = {})
        : container(pos) {
        EXPECT_EQ(CamControlDll::Get().Create(clsid, IID_IOleObject, ole.put_void()), S_OK);
        if (!ole) return;
        EXPECT_EQ(ole.query(iid, control), S_OK);
        EXPECT_EQ(container.Activate(ole.get(), params), S_OK) << container.error;
    }
    qern::test::InPlaceContainer container;
    ComPtr<IOleObject> ole;
    ComPtr<I> control;
};

class Recording : public ::testing::Test {
protected:
    void SetUp() override {
        QERN_NEED_CAMSIM("");
        ASSERT_FALSE(Env("QERN_RECORD_DIR_WIN").empty()) << "run from recording-e2e.sh";
        const std::string url = qern::test::CamsimUrl("/video.cgi");
        m_view.reset(new Placed<ICamImage>(
            CLSID_CamImage, IID_ICamImage, {0, 0, 640, 480},
            {{L"URL", std::wstring(url.begin(), url.end())}, {L"Uname", L"admin"}, {L"Pword", L"admin"}}));
        ASSERT_TRUE(m_view->control);
        m_logStart = qern::test::CamsimRequestLog().size();
    }
    LONG Action(int code) {
        LONG out = -1;
        EXPECT_EQ(m_view->control->setaction(code, &out), S_OK);
        return out;
    }
    bool Active() { return Action(5) == 1; }
    void WaitForPicture() {
        ASSERT_TRUE(PumpUntil([&] { return Action(6) > 0; }, 30000)) << "no frame rate shown";
    }
    LONG RecordWithDialog(Answer a) {
        std::future<Seen> answer = Answering(a);
        const LONG out = Action(1);
        EXPECT_TRUE(answer.get().found);
        return out;
    }
    void PlaceStrip() {
        // A cell narrower than the strip's dialog: the strip asks its container for the room.
        m_strip.reset(new Placed<ICRec>(CLSID_CRec, IID_ICRec, {0, 500, 200, 540}));
        ASSERT_TRUE(m_strip->control);
        m_stripDialog = FindWindowExA(m_strip->container.Control(), nullptr, "#32770", nullptr);
        ASSERT_NE(m_stripDialog, nullptr);
    }
    bool Enabled(int button) { return IsWindowEnabled(GetDlgItem(m_stripDialog, button)) != FALSE; }
    bool StripIdle() { return Enabled(206) && !Enabled(236); }
    bool SnapShown() {
        RECT strip, snap;
        GetWindowRect(m_strip->container.Control(), &strip);
        GetWindowRect(GetDlgItem(m_stripDialog, 243), &snap);
        return snap.right <= strip.right && snap.bottom <= strip.bottom;
    }
    Seen PressRec(Answer a) {
        std::future<Seen> answer = Answering(a);
        camhost::RecordDemo::Press(m_strip->container.Control(), 206);
        PumpUntil([&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 30000);
        return answer.get();
    }
    void StopWithButton() {
        camhost::RecordDemo::Press(m_strip->container.Control(), 236);
        EXPECT_TRUE(PumpUntil([&] { return !Active() && StripIdle(); }, 10000));
    }
    std::string Log() { return qern::test::CamsimRequestLog().substr(m_logStart); }
    size_t Requests(const std::string& what) {
        const std::string log = Log();
        size_t n = 0;
        for (size_t at = log.find(what); at != std::string::npos; at = log.find(what, at + 1)) ++n;
        return n;
    }
    size_t m_logStart = 0;
    std::unique_ptr<Placed<ICamImage>> m_view;
    std::unique_ptr<Placed<ICRec>> m_strip;  // goes before the view
    HWND m_stripDialog = nullptr;
};

// Cancel records and writes nothing; the camera's folder and period (set by the script) are
// shown and a typed period is written back; a "minute" is 3 s (QERN_RECORD_MINUTE_MS), so one
// ends well within 20 s. The view destroyed while recording finalises its file: two files.
TEST_F(Recording, SetactionCancelPeriodAndDestroy) {
    WaitForPicture();
    EXPECT_EQ(RecordWithDialog(Answer{false}), 0);
    EXPECT_FALSE(Active());
    EXPECT_EQ(Requests("/DVRctrl.cgi"), 0u);
    std::future<Seen> answer = Answering(Answer{true, false, "1"});
    ASSERT_EQ(Action(1), 1);
    const Seen seen = answer.get();
    EXPECT_EQ(seen.folder, Env("QERN_RECORD_DIR_WIN"));
    EXPECT_EQ(seen.period, "7");
    EXPECT_TRUE(Active());
    const std::string log = Log();  // the settings read before they are written back
    EXPECT_LT(log.find("/RdDVRctrl.cgi"), log.find("PathD="));
    EXPECT_NE(log.find("PathD="), std::string::npos);
    EXPECT_NE(log.find("TimeD=1"), std::string::npos);
    EXPECT_TRUE(PumpUntil([&] { return !Active(); }, 20000));
    ASSERT_EQ(RecordWithDialog(Answer{}), 1);
    PumpMessages(2000);
    m_view.reset();
}

// Cleared "Enable" empties and disables the period: the strip records until "STOP". Then a strip
// recording of two 3-s "minutes" is replaced by setaction 1 of the view: the strip's buttons
// follow, and the strip's period does not end the new recording.
TEST_F(Recording, StripUntilStopThenReplacedBySetaction) {
    PlaceStrip();
    EXPECT_TRUE(StripIdle());
    EXPECT_TRUE(PumpUntil([&] { return SnapShown(); }, 5000));
    WaitForPicture();
    Seen seen = PressRec(Answer{});
    EXPECT_EQ(seen.periodAfterClear, "");
    EXPECT_FALSE(seen.periodEnabledAfterClear);
    ASSERT_TRUE(Active());
    EXPECT_TRUE(!Enabled(206) && Enabled(236));
    PumpMessages(5000);
    EXPECT_TRUE(Active());
    EXPECT_EQ(Requests("TimeD=0"), 1u);
    StopWithButton();

    PressRec(Answer{true, false, "2"});
    ASSERT_FALSE(Enabled(206));
    ASSERT_EQ(RecordWithDialog(Answer{}), 1);
    EXPECT_TRUE(PumpUntil([&] { return StripIdle(); }, 5000));
    PumpMessages(7000);
    EXPECT_TRUE(Active());
    EXPECT_EQ(Action(0), 1);
}

// Beside a camera that changes its picture size every 3 s: a strip recording goes on in a new
// file at the new size, a setaction 1 recording ends.
TEST_F(Recording, SizeChangeRestartsStripEndsSetaction) {
    PlaceStrip();
    WaitForPicture();
    PressRec(Answer{});
    ASSERT_TRUE(Active());
    PumpMessages(9000);
    EXPECT_TRUE(Active());
    StopWithButton();
    ASSERT_EQ(RecordWithDialog(Answer{}), 1);
    EXPECT_TRUE(PumpUntil([&] { return !Active(); }, 20000));
}

// Beside a camera that answers each request late: the view goes while the restart after a size
// change still reads the recorder settings. The process lives on, the file is whole, the strip
// shows the recording ended, and no restart says anything.
TEST_F(Recording, ViewDestroyedDuringARestart) {
    PlaceStrip();
    WaitForPicture();
    PressRec(Answer{});
    ASSERT_TRUE(Active());
    const size_t before = Requests("/RdDVRctrl.cgi");
    ASSERT_TRUE(PumpUntil([&] { return Requests("/RdDVRctrl.cgi") > before; }, 20000)) << "no restart";
    long tookMs = 0;
    EXPECT_TRUE(qern::test::EndsWithin([&] { m_view.reset(); }, 10000, &tookMs));
    std::printf("view destroyed during the restart in %ld ms\n", tookMs);
    EXPECT_TRUE(PumpUntil([&] { return StripIdle(); }, 5000));
    EXPECT_EQ(qern::test::FindMessageBox(6000).hwnd, nullptr);  // the restart's read ends meanwhile
}

// Beside a camera that stops sending after 6 s, with QERN_RECORD_LIMIT_BYTES making files small:
// the recording goes on in new files, and its stop is not held up by the silent stream.
TEST_F(Recording, RollsOverAndStopsPromptlyWhenStalled) {
    WaitForPicture();
    ASSERT_EQ(RecordWithDialog(Answer{}), 1);
    PumpMessages(8000);  // the camera has stalled by now
    EXPECT_TRUE(Active());
    const DWORD start = GetTickCount();
    EXPECT_EQ(Action(0), 1);
    EXPECT_LT(GetTickCount() - start, 3000u);
    EXPECT_FALSE(Active());
}

// Beside a camera that accepts and never answers: the strip's setaction 1 says so and offers the defaults.
TEST_F(Recording, SilentCameraGivesTheDefaults) {
    PlaceStrip();
    std::wstring boxText;
    std::future<Seen> answer = std::async(std::launch::async, [&] {
        const qern::test::MessageBox box = qern::test::FindMessageBox(30000);
        boxText = box.text;
        if (box.hwnd) box.PressOk();
        return camhost::AnswerRecSetting({false, false});
    });
    EXPECT_EQ(m_strip->control->setaction(1), S_OK);  // as "REC"; returns once the dialog is answered
    const Seen seen = answer.get();
    EXPECT_EQ(boxText, L"get origianl setting fail!!");
    EXPECT_EQ(seen.folder, "c:\\");
    EXPECT_EQ(seen.period, "5");
    EXPECT_FALSE(Active());
}

}  // namespace

}  // namespace qern
