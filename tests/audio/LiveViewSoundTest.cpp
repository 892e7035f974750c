// A live view's sound against the camera simulator started beside the test (QERN_CAMSIM_PORT):
// with sound the reader plays the camera's frames whole; a camera without "/audio.cgi" does not
// hold the first frame back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "com/BStr.h"
#include "com/ComPtr.h"
#include "liveview/CCamImage.h"
#include "tests/module/OleApartment.h"

namespace {

class LiveViewSound : public ::testing::Test {
protected:
    void SetUp() override {
        const char* port = std::getenv("QERN_CAMSIM_PORT");
        ASSERT_NE(port, nullptr) << "run beside the camera simulator";
        ASSERT_EQ(qern::ComObject<CCamImage>::Create(nullptr, IID_ICamImage, cam.put_void()), S_OK);
        self = static_cast<CCamImage*>(cam.get());
        cam->put_User(qern::BStr::fromAnsi("admin").get());
        cam->put_Password(qern::BStr::fromAnsi("admin").get());
        start = GetTickCount();
        const std::string url = std::string("http://127.0.0.1:") + port + "/video.cgi";
        cam->put_URL(qern::BStr::fromAnsi(url.c_str()).get());
    }
    // Milliseconds from the URL to the first frame parsed; 0 if none within ms.
    DWORD FirstFrameMs(DWORD ms) {
        while (GetTickCount() - start < ms) {
            if (self->Stats().framesParsed.load() > 0) return GetTickCount() - start;
            Sleep(10);
        }
        return 0;
    }
    qern::ComPtr<ICamImage> cam;
    CCamImage* self = nullptr;
    DWORD start = 0;
};

TEST_F(LiveViewSound, NoSoundEndpointShowsTheFirstFrameWithoutWaiting) {
    const DWORD ms = FirstFrameMs(6000);
    ASSERT_GT(ms, 0u);
    // The address check (up to 0.5 s) and the open, but not the 2.7 s wait for sound.
    EXPECT_LT(ms, 2200u);
    EXPECT_FALSE(self->Audio()->AudioStarted());
    EXPECT_EQ(self->Audio()->Snapshot().queue.received, 0u);
}

TEST_F(LiveViewSound, PlaysTheCamerasFramesInOrder) {
    ASSERT_GT(FirstFrameMs(6000), 0u);
    Sleep(4000);
    const AudioReader::Stats s = self->Audio()->Snapshot();
    EXPECT_TRUE(self->Audio()->AudioStarted());
    EXPECT_EQ(s.opens, 1u);
    EXPECT_GE(s.queue.received, 8000u * 3);
    EXPECT_GT(s.queue.played, 8000u);
    EXPECT_EQ(s.framesLost, 0u);
    EXPECT_EQ(s.queue.shortRefills, 0u);
    EXPECT_EQ(s.queue.dropped, 0u);
    // Destruction ends the reader and its player at once.
    const DWORD t = GetTickCount();
    cam = nullptr;
    EXPECT_LT(GetTickCount() - t, 1500u);
    EXPECT_EQ(AudioReader::RunningReaders(), 0);
}

}  // namespace
