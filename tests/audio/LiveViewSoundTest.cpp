// A live view's sound against the camera simulator started beside the test: with sound the
// reader plays the camera's frames whole; a camera without "/audio.cgi" does not hold the first
// frame back.
#include <gtest/gtest.h>

#include "com/BStr.h"
#include "com/ComPtr.h"
#include "liveview/CCamImage.h"
#include "tests/module/OleApartment.h"
#include "tests/support/Camsim.h"
#include "tests/support/Wait.h"

namespace {

using qern::test::EndsWithin;
using qern::test::WaitFor;

class LiveViewSound : public ::testing::Test {
protected:
    void SetUp() override {
        if (qern::test::CamsimPort() == 0) GTEST_SKIP() << "no camera: run under with-camsim";
        ASSERT_EQ(qern::ComObject<CCamImage>::Create(nullptr, IID_ICamImage, cam.put_void()), S_OK);
        self = static_cast<CCamImage*>(cam.get());
        cam->put_User(qern::BStr::fromAnsi("admin").get());
        cam->put_Password(qern::BStr::fromAnsi("admin").get());
        start = GetTickCount();
        cam->put_URL(qern::BStr::fromAnsi(qern::test::CamsimUrl("/video.cgi").c_str()).get());
    }
    // Milliseconds from the URL to the first frame parsed; 0 if none within ms.
    DWORD FirstFrameMs(int ms) {
        if (!WaitFor([&] { return self->Stats().framesParsed.load() > 0; }, ms)) return 0;
        return GetTickCount() - start;
    }
    qern::ComPtr<ICamImage> cam;
    CCamImage* self = nullptr;
    DWORD start = 0;
};

TEST_F(LiveViewSound, NoSoundEndpointShowsTheFirstFrameWithoutWaiting) {
    QERN_NEED_CAMSIM("nosound");
    const DWORD ms = FirstFrameMs(6000);
    ASSERT_GT(ms, 0u);
    // The address check (up to 0.5 s) and the open, but not the 2.7 s wait for sound.
    EXPECT_LT(ms, 2200u);
    EXPECT_FALSE(self->Audio()->AudioStarted());
    EXPECT_EQ(self->Audio()->Snapshot().queue.received, 0u);
}

TEST_F(LiveViewSound, PlaysTheCamerasFramesInOrder) {
    QERN_NEED_CAMSIM("sound");
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
    EXPECT_TRUE(EndsWithin([&] { cam = nullptr; }, 1500));
    EXPECT_EQ(AudioReader::RunningReaders(), 0);
}

}  // namespace
