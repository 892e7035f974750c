// The live view's properties, address rules and worker lifecycle, with the class built in.
#include <gtest/gtest.h>

#include <vector>

#include "com/BStr.h"
#include "com/ComPtr.h"
#include "liveview/CCamImage.h"
#include "liveview/LiveViewShared.h"
#include "tests/module/OleApartment.h"
#include "tests/support/Process.h"
#include "tests/support/Wait.h"

using qern::BStr;
using qern::ComPtr;
using qern::test::EndsWithin;

namespace {

class CamImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(qern::ComObject<CCamImage>::Create(nullptr, IID_ICamImage, cam.put_void()), S_OK);
        self = static_cast<CCamImage*>(cam.get());
    }
    std::wstring Url() {
        BStr url;
        EXPECT_EQ(cam->get_URL(url.put()), S_OK);
        return url.get() ? std::wstring(url.get()) : L"<null>";
    }
    ComPtr<ICamImage> cam;
    CCamImage* self = nullptr;
};

}  // namespace

// The defaults a script sees (Stretch, Reconnect, Version...) are checked by the JScript client.
TEST_F(CamImageTest, DefaultsAndGreyBuffers) {
    EXPECT_EQ(cam->get_Stretch(nullptr), E_POINTER);
    VARIANT_BOOL autoSize = VARIANT_TRUE;
    cam->get_AutoSize(&autoSize);
    EXPECT_EQ(autoSize, VARIANT_FALSE);
    BStr user;
    cam->get_User(user.put());
    EXPECT_EQ(user.get(), nullptr);
    EXPECT_EQ(Url(), L"<null>");
    EXPECT_EQ(self->Mode(), 3);
    EXPECT_EQ(self->OverlayText(), "RADaz");
    const int widths[3] = {640, 320, 176}, heights[3] = {480, 240, 144};
    for (int m = 0; m < 3; ++m)
        for (int i = 0; i < 3; ++i) {
            const DibBuffer& b = self->Buffer(m, i);
            ASSERT_TRUE(b.IsValid());
            EXPECT_EQ(b.Header()->biWidth, widths[m]);
            EXPECT_EQ(b.Header()->biHeight, heights[m]);
            EXPECT_EQ(b.GetBits()[0], 0xCC);
            EXPECT_EQ(b.GetBits()[size_t(widths[m]) * heights[m] * 4 - 1], 0xCC);
        }
}

TEST_F(CamImageTest, UrlGivesTheBaseAndKeepsThePath) {
    struct Case {
        const wchar_t* url;
        const wchar_t* base;
        const char* path;
        bool address;
    } cases[] = {
        {L"/video.cgi", L"<null>", "/video.cgi", false},  // no page to take the server from
        {L"http://localhost/cgi/video.cgi", L"http://localhost:80", "/cgi/video.cgi", true},  // 80 written out
        {L"", L"<null>", "", false},
        {nullptr, L"<null>", "", false},
    };
    for (const Case& c : cases) {
        if (!c.url || !*c.url) cam->put_URL(BStr(L"http://127.0.0.1:82/x").get());  // to be cleared
        ASSERT_EQ(cam->put_URL(c.url ? BStr(c.url).get() : nullptr), S_OK);
        EXPECT_EQ(Url(), c.base) << (c.url ? c.url : L"null");
        EXPECT_EQ(self->VideoPath(), c.path);
        EXPECT_EQ(self->HasCameraAddress(), c.address);
    }
}

TEST_F(CamImageTest, NoOpMembersLeaveOutParametersAlone) {
    LONG display = 42, data = 43;
    BSTR bmp = reinterpret_cast<BSTR>(0x1234);
    EXPECT_EQ(cam->get_Display(&display) | cam->put_Display(9) | cam->getdata(1234) | cam->getbmpdata(&bmp) |
                  cam->getbmpdata_a(&data),
              S_OK);
    EXPECT_TRUE(display == 42 && data == 43 && bmp == reinterpret_cast<BSTR>(0x1234));
}

TEST_F(CamImageTest, SetactionZoomAndQueries) {
    auto action = [&](int a) {
        LONG out = -1;
        EXPECT_EQ(cam->setaction(a, &out), S_OK);
        return out;
    };
    SharedLiveView().zoomCounter = 0;
    for (int i = 1; i <= 15; ++i) EXPECT_EQ(action(2), 1);
    EXPECT_EQ(action(2), -1);  // at 15: untouched
    action(3);
    EXPECT_EQ(self->Zoom(), 14);
    SharedLiveView().zoomCounter = 0;
    EXPECT_EQ(action(3), -1);  // at 0: untouched
    SharedLiveView().recordingActive = 1;
    EXPECT_EQ(action(5), 1);
    SharedLiveView().recordingActive = 0;
    EXPECT_EQ((std::vector<LONG>{action(5), action(6), action(0), action(99)}), (std::vector<LONG>{0, 0, 1, -1}));
    EXPECT_EQ(cam->setaction(2, nullptr), S_OK);
}

// Stopping a worker that streams is timed against camsim; this one waits for an address.
TEST_F(CamImageTest, ReconnectStopsAWorkerWaitingForAnAddressAtOnceAndAnAddressEndsTheWait) {
    ASSERT_TRUE(self->VideoWorkerRunning());
    EXPECT_TRUE(EndsWithin([&] { ASSERT_EQ(cam->put_Reconnect(1), S_OK); }, 1000));
    EXPECT_FALSE(self->IsStreaming());
    EXPECT_FALSE(self->VideoWorkerRunning());
    EXPECT_EQ(CCamImage::TerminatedWorkers(), 0);  // it ended by itself
    ASSERT_TRUE(self->StartVideoStream());
    EXPECT_TRUE(self->VideoWorkerRunning());
    // Nothing listens there: the worker finds the address, fails to open and ends.
    ASSERT_EQ(cam->put_URL(BStr(L"http://127.0.0.1:9/video.cgi").get()), S_OK);
    EXPECT_TRUE(qern::test::WaitFor([&] { return !self->VideoWorkerRunning(); }, 3000));
}

TEST_F(CamImageTest, EventsAreSharedByNameAndTheNewestViewIsCurrent) {
    HANDLE paint = OpenEventA(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, "PaintOK");
    HANDLE dump = OpenEventA(SYNCHRONIZE, FALSE, "DumpOK");
    ASSERT_NE(paint, nullptr);
    ASSERT_NE(dump, nullptr);
    EXPECT_EQ(WaitForSingleObject(paint, 0), static_cast<DWORD>(WAIT_TIMEOUT));  // manual reset, not signalled
    ComPtr<ICamImage> second;
    ASSERT_EQ(qern::ComObject<CCamImage>::Create(nullptr, IID_ICamImage, second.put_void()), S_OK);
    SetEvent(paint);
    cam = nullptr;  // the older one going does not clear the newer one's place
    EXPECT_EQ(SharedLiveView().currentLiveView.Peek(), static_cast<CCamImage*>(second.get()));
    second = nullptr;  // the event lives on while any handle holds it
    EXPECT_EQ(SharedLiveView().currentLiveView.Peek(), nullptr);
    HANDLE again = OpenEventA(SYNCHRONIZE, FALSE, "PaintOK");
    EXPECT_EQ(WaitForSingleObject(again, 0), WAIT_OBJECT_0);
    ResetEvent(paint);
    for (HANDLE h : {again, paint, dump}) CloseHandle(h);
}

TEST_F(CamImageTest, DestructionIsBoundedWhileTheAudioReaderWaits) {
    ASSERT_EQ(AudioReader::RunningReaders(), 1);
    EXPECT_TRUE(EndsWithin([&] { cam = nullptr; }, 1500));
    EXPECT_EQ(AudioReader::RunningReaders(), 0);
}

TEST_F(CamImageTest, DestructionClosesTheAudioReadersMessageBox) {
    // Stopping the stream while the reader waits for the camera makes it report that in a box.
    ASSERT_EQ(cam->put_Reconnect(1), S_OK);
    const qern::test::MessageBox box = qern::test::FindMessageBox(3000);
    ASSERT_NE(box.hwnd, nullptr);
    EXPECT_EQ(box.text, L"ProceedingAudioStream m_bStreaming fail..");
    EXPECT_EQ(box.caption, L"");
    EXPECT_TRUE(EndsWithin([&] { cam = nullptr; }, 2500));
    EXPECT_FALSE(IsWindow(box.hwnd));
    EXPECT_EQ(AudioReader::RunningReaders(), 0);
}
