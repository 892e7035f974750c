// The live view's properties, address rules and worker lifecycle, with the class built in.
#include <gtest/gtest.h>

#include "com/BStr.h"
#include "com/ComPtr.h"
#include "liveview/CCamImage.h"
#include "liveview/LiveViewShared.h"
#include "tests/module/OleApartment.h"

using qern::BStr;
using qern::ComPtr;

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
    LONG Get(HRESULT (STDMETHODCALLTYPE ICamImage::*get)(LONG*)) {
        LONG v = -7;
        EXPECT_EQ((cam.get()->*get)(&v), S_OK);
        return v;
    }
    ComPtr<ICamImage> cam;
    CCamImage* self = nullptr;
};

bool WaitUntil(bool (*done)(CCamImage*), CCamImage* c, DWORD ms) {
    DWORD start = GetTickCount();
    while (!done(c)) {
        if (GetTickCount() - start > ms) return false;
        Sleep(5);
    }
    return true;
}

}  // namespace

TEST_F(CamImageTest, Defaults) {
    EXPECT_EQ(Get(&ICamImage::get_Stretch), 1);
    EXPECT_EQ(Get(&ICamImage::get_Reconnect), 1);
    EXPECT_EQ(Get(&ICamImage::get_UpsideDown), 0);
    EXPECT_EQ(Get(&ICamImage::get_Mirror), 0);
    EXPECT_EQ(Url(), L"<null>");
    VARIANT_BOOL enabled = VARIANT_FALSE, autoSize = VARIANT_TRUE;
    cam->get_Enabled(&enabled);
    cam->get_AutoSize(&autoSize);
    EXPECT_EQ(enabled, VARIANT_TRUE);
    EXPECT_EQ(autoSize, VARIANT_FALSE);
    BStr user, version;
    cam->get_User(user.put());
    EXPECT_EQ(user.get(), nullptr);
    cam->get_Version(version.put());
    EXPECT_EQ(std::wstring(version.get()).compare(0, 9, L"ver070912"), 0);
    EXPECT_GT(version.length(), 9u);  // followed by the build tag
    EXPECT_EQ(self->Mode(), 3);
    EXPECT_EQ(self->OverlayText(), "RADaz");
    EXPECT_TRUE(self->IsStreaming());
}

TEST_F(CamImageTest, FrameBuffersStartGrey) {
    const int widths[3] = {640, 320, 176}, heights[3] = {480, 240, 144};
    for (int i = 0; i < 3; ++i) {
        const DibBuffer* triple[3] = {&self->Buffer(0, i), &self->Buffer(1, i), &self->Buffer(2, i)};
        for (int m = 0; m < 3; ++m) {
            ASSERT_TRUE(triple[m]->IsValid());
            EXPECT_EQ(triple[m]->Header()->biWidth, widths[m]);
            EXPECT_EQ(triple[m]->Header()->biHeight, heights[m]);
            const uint8_t* bits = triple[m]->GetBits();
            size_t n = size_t(widths[m]) * heights[m] * 4;
            EXPECT_EQ(bits[0], 0xCC);
            EXPECT_EQ(bits[n - 1], 0xCC);
        }
    }
}

TEST_F(CamImageTest, HttpUrlGivesBaseWithPortAndThePath) {
    ASSERT_EQ(cam->put_URL(BStr(L"http://127.0.0.1:81/video.cgi").get()), S_OK);
    EXPECT_EQ(Url(), L"http://127.0.0.1:81");
    EXPECT_EQ(self->VideoPath(), "/video.cgi");
    // Without a port the base carries 80.
    ASSERT_EQ(cam->put_URL(BStr(L"http://localhost/cgi/video.cgi").get()), S_OK);
    EXPECT_EQ(Url(), L"http://localhost:80");
    EXPECT_EQ(self->VideoPath(), "/cgi/video.cgi");
    EXPECT_TRUE(self->HasCameraAddress());
}

TEST_F(CamImageTest, PathWithoutPageAndEmptyText) {
    ASSERT_EQ(cam->put_URL(BStr(L"/video.cgi").get()), S_OK);
    EXPECT_EQ(Url(), L"<null>");
    EXPECT_EQ(self->VideoPath(), "/video.cgi");
    EXPECT_FALSE(self->HasCameraAddress());

    ASSERT_EQ(cam->put_URL(BStr(L"http://127.0.0.1:81/video.cgi").get()), S_OK);
    ASSERT_EQ(cam->put_URL(BStr(L"").get()), S_OK);
    EXPECT_EQ(Url(), L"<null>");
    EXPECT_EQ(self->VideoPath(), "");
    ASSERT_EQ(cam->put_URL(nullptr), S_OK);
    EXPECT_EQ(Url(), L"<null>");
}

TEST_F(CamImageTest, FlagsAreNormalised) {
    cam->put_Stretch(5);
    EXPECT_EQ(Get(&ICamImage::get_Stretch), 1);
    cam->put_Stretch(0);
    EXPECT_EQ(Get(&ICamImage::get_Stretch), 0);
    cam->put_UpsideDown(-3);
    EXPECT_EQ(Get(&ICamImage::get_UpsideDown), 1);
    cam->put_Mirror(2);
    EXPECT_EQ(Get(&ICamImage::get_Mirror), 1);
    EXPECT_EQ(cam->get_Stretch(nullptr), E_POINTER);
}

TEST_F(CamImageTest, CredentialsAreCopied) {
    BStr user(L"admin"), password(L"pw");
    cam->put_User(user.get());
    cam->put_Password(password.get());
    user = BStr(L"other");
    BStr back;
    cam->get_User(back.put());
    EXPECT_STREQ(back.get(), L"admin");
    cam->get_Password(back.put());
    EXPECT_STREQ(back.get(), L"pw");
}

TEST_F(CamImageTest, NoOpMembersLeaveOutParametersAlone) {
    LONG display = 42, data = 43;
    EXPECT_EQ(cam->get_Display(&display), S_OK);
    EXPECT_EQ(display, 42);
    EXPECT_EQ(cam->put_Display(9), S_OK);
    EXPECT_EQ(cam->SetReconnectTime(100), S_OK);
    EXPECT_EQ(cam->getdata(1234), S_OK);
    BSTR bmp = reinterpret_cast<BSTR>(0x1234);
    EXPECT_EQ(cam->getbmpdata(&bmp), S_OK);
    EXPECT_EQ(bmp, reinterpret_cast<BSTR>(0x1234));
    EXPECT_EQ(cam->getbmpdata_a(&data), S_OK);
    EXPECT_EQ(data, 43);
    EXPECT_EQ(cam->put_Version(BStr(L"x").get()), S_OK);
    EXPECT_EQ(cam->UpdateView(), S_OK);
}

TEST_F(CamImageTest, SetactionZoomAndQueries) {
    SharedLiveView().zoomCounter = 0;
    LONG out = -1;
    for (int i = 1; i <= 15; ++i) {
        out = -1;
        ASSERT_EQ(cam->setaction(2, &out), S_OK);
        EXPECT_EQ(out, 1);
        EXPECT_EQ(self->Zoom(), i);
    }
    out = -1;
    cam->setaction(2, &out);  // at 15: untouched
    EXPECT_EQ(out, -1);
    EXPECT_EQ(self->Zoom(), 15);
    cam->setaction(3, &out);
    EXPECT_EQ(self->Zoom(), 14);
    SharedLiveView().zoomCounter = 0;
    out = -1;
    cam->setaction(3, &out);  // at 0: untouched
    EXPECT_EQ(out, -1);

    out = -1;
    cam->setaction(5, &out);
    EXPECT_EQ(out, 0);
    SharedLiveView().recordingActive = 1;
    cam->setaction(5, &out);
    EXPECT_EQ(out, 1);
    SharedLiveView().recordingActive = 0;
    out = -1;
    cam->setaction(6, &out);
    EXPECT_EQ(out, 0);
    out = -1;
    cam->setaction(0, &out);
    EXPECT_EQ(out, 1);
    out = -1;
    cam->setaction(99, &out);
    EXPECT_EQ(out, -1);
    EXPECT_EQ(cam->setaction(2, nullptr), S_OK);
}

TEST_F(CamImageTest, ReconnectStopsTheWorkerQuicklyAndStartRestartsIt) {
    ASSERT_TRUE(self->VideoWorkerRunning());  // waiting for an address
    DWORD start = GetTickCount();
    ASSERT_EQ(cam->put_Reconnect(1), S_OK);
    DWORD took = GetTickCount() - start;
    EXPECT_LT(took, 1000u);
    EXPECT_FALSE(self->IsStreaming());
    EXPECT_FALSE(self->VideoWorkerRunning());
    EXPECT_EQ(CCamImage::TerminatedWorkers(), 0);  // it ended by itself

    // Streaming is set before the new worker looks at it, so the restart streams.
    ASSERT_TRUE(self->StartVideoStream());
    EXPECT_TRUE(self->IsStreaming());
    EXPECT_TRUE(self->VideoWorkerRunning());
    Sleep(600);
    EXPECT_TRUE(self->VideoWorkerRunning());
    EXPECT_TRUE(self->IsStreaming());

    // A second start replaces the worker instead of adding one.
    ASSERT_TRUE(self->StartVideoStream());
    EXPECT_TRUE(self->VideoWorkerRunning());
}

TEST_F(CamImageTest, WorkerEndsOnceTheAddressIsKnown) {
    ASSERT_EQ(cam->put_URL(BStr(L"http://127.0.0.1:9/video.cgi").get()), S_OK);
    EXPECT_TRUE(WaitUntil([](CCamImage* c) { return !c->VideoWorkerRunning(); }, self, 3000));
}

TEST_F(CamImageTest, EventsAreSharedByName) {
    HANDLE paint = OpenEventA(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, "PaintOK");
    HANDLE dump = OpenEventA(SYNCHRONIZE, FALSE, "DumpOK");
    ASSERT_NE(paint, nullptr);
    ASSERT_NE(dump, nullptr);
    EXPECT_EQ(WaitForSingleObject(paint, 0), static_cast<DWORD>(WAIT_TIMEOUT));  // manual reset, not signalled

    ComPtr<ICamImage> second;
    ASSERT_EQ(qern::ComObject<CCamImage>::Create(nullptr, IID_ICamImage, second.put_void()), S_OK);
    SetEvent(paint);
    second = nullptr;  // the event lives on while any live view holds it
    HANDLE again = OpenEventA(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, "PaintOK");
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(WaitForSingleObject(again, 0), WAIT_OBJECT_0);
    ResetEvent(again);
    CloseHandle(again);
    CloseHandle(paint);
    CloseHandle(dump);
}

TEST_F(CamImageTest, CurrentLiveViewIsTheNewestUntilItGoes) {
    EXPECT_EQ(SharedLiveView().currentLiveView.load(), self);
    ComPtr<ICamImage> second;
    ASSERT_EQ(qern::ComObject<CCamImage>::Create(nullptr, IID_ICamImage, second.put_void()), S_OK);
    CCamImage* newer = static_cast<CCamImage*>(second.get());
    EXPECT_EQ(SharedLiveView().currentLiveView.load(), newer);
    cam = nullptr;  // the older one going does not clear the newer one's place
    EXPECT_EQ(SharedLiveView().currentLiveView.load(), newer);
    second = nullptr;
    EXPECT_EQ(SharedLiveView().currentLiveView.load(), nullptr);
}

TEST_F(CamImageTest, DestructionIsBoundedWhileTheAudioReaderWaits) {
    ASSERT_EQ(AudioReader::RunningReaders(), 1);
    DWORD start = GetTickCount();
    cam = nullptr;
    EXPECT_LT(GetTickCount() - start, 1500u);
    EXPECT_EQ(AudioReader::RunningReaders(), 0);
}

namespace {

struct BoxSearch {
    DWORD process;
    HWND box = nullptr;
    std::wstring text;
};

BOOL CALLBACK FindReaderBox(HWND hwnd, LPARAM param) {
    auto* s = reinterpret_cast<BoxSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[32] = {}, text[128] = {};
    GetClassNameW(hwnd, cls, 32);
    if (pid != s->process || std::wstring(cls) != L"#32770") return TRUE;
    GetDlgItemTextW(hwnd, 0xFFFF, text, 128);
    s->box = hwnd;
    s->text = text;
    return FALSE;
}

HWND WaitForReaderBox(std::wstring& text, DWORD ms) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        BoxSearch s{GetCurrentProcessId(), nullptr, {}};
        EnumWindows(&FindReaderBox, reinterpret_cast<LPARAM>(&s));
        if (s.box && !s.text.empty()) {  // a box still being built has no text yet
            text = s.text;
            return s.box;
        }
        Sleep(20);
    }
    return nullptr;
}

}  // namespace

TEST_F(CamImageTest, DestructionClosesTheAudioReadersMessageBox) {
    // Stopping the stream while the reader waits for the camera makes it report that in a box.
    ASSERT_EQ(cam->put_Reconnect(1), S_OK);
    std::wstring text;
    HWND box = WaitForReaderBox(text, 3000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(text, L"ProceedingAudioStream m_bStreaming fail..");
    wchar_t caption[16] = {L'x'};
    GetWindowTextW(box, caption, 16);
    EXPECT_STREQ(caption, L"");

    DWORD start = GetTickCount();
    cam = nullptr;
    EXPECT_LT(GetTickCount() - start, 2500u);
    EXPECT_FALSE(IsWindow(box));
    EXPECT_EQ(AudioReader::RunningReaders(), 0);
}
