// A live view's sound against the camera simulator started beside the test: with sound the
// reader plays the camera's frames whole until the view goes; a camera without "/audio.cgi"
// does not hold the first frame back.
#include <gtest/gtest.h>

#include "com/BStr.h"
#include "com/ComPtr.h"
#include "liveview/CCamImage.h"
#include "tests/module/OleApartment.h"
#include "tests/support/Camsim.h"
#include "tests/support/Wait.h"

namespace qern {

namespace {

TEST(LiveViewSound, FirstFrameUnheldAndSoundPlayedUntilDestruction) {
    QERN_NEED_CAMSIM("");
    qern::ComPtr<ICamImage> cam;
    ASSERT_EQ(qern::ComObject<CCamImage>::Create(nullptr, IID_ICamImage, cam.put_void()), S_OK);
    CCamImage* self = static_cast<CCamImage*>(cam.get());
    cam->put_User(qern::BStr::fromAnsi("admin").get());
    cam->put_Password(qern::BStr::fromAnsi("admin").get());
    const DWORD start = GetTickCount();
    cam->put_URL(qern::BStr::fromAnsi(qern::test::CamsimUrl("/video.cgi").c_str()).get());
    ASSERT_TRUE(qern::test::WaitFor([&] { return self->Stats().framesParsed.load() > 0; }, 6000));
    if (qern::test::CamsimSetup() == "nosound") {
        // The address check (up to 0.5 s) and the open, but not the 2.7 s wait for sound.
        EXPECT_LT(GetTickCount() - start, 2200u);
        EXPECT_FALSE(self->Audio()->AudioStarted());
        EXPECT_EQ(self->Audio()->Snapshot().queue.received, 0u);
        return;
    }
    Sleep(4000);
    const AudioReader::Stats s = self->Audio()->Snapshot();
    EXPECT_TRUE(self->Audio()->AudioStarted());
    EXPECT_EQ(s.opens, 1u);
    EXPECT_GE(s.queue.received, 8000u * 3);
    EXPECT_GT(s.queue.played, 8000u);
    EXPECT_EQ(s.framesLost + s.queue.shortRefills + s.queue.dropped, 0u);
    EXPECT_TRUE(qern::test::EndsWithin([&] { cam = nullptr; }, 1500));
    EXPECT_EQ(AudioReader::RunningReaders(), 0);
}

}  // namespace

}  // namespace qern
