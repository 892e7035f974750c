#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "liveview/CameraAddress.h"
#include "liveview/LiveViewSlot.h"

namespace qern {

namespace {

CCamImage* View(int& tag) { return reinterpret_cast<CCamImage*>(&tag); }

TEST(LiveViewSlot, ReleaseWaitsForTheHolderOnAnotherThread) {
    int a = 0;
    LiveViewSlot slot;
    slot.Set(View(a));
    std::atomic<bool> held{false}, done{false};
    std::thread user([&] {
        LiveViewSlot::Hold view = slot.Acquire();
        held = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        done = true;
    });
    while (!held) std::this_thread::yield();
    int idles = 0;
    EXPECT_TRUE(slot.Release(View(a), 10000, [&] { ++idles; }));
    EXPECT_TRUE(done);
    EXPECT_GT(idles, 0);
    EXPECT_FALSE(slot.Acquire());  // gone: nobody takes it again
    user.join();
}

TEST(LiveViewSlot, AnOlderViewLeavesTheNewerOneCurrentAndIsWaitedForAlone) {
    int a = 0, b = 0;
    LiveViewSlot slot;
    slot.Set(View(a));
    LiveViewSlot::Hold first = slot.Acquire();
    slot.Set(View(b));
    LiveViewSlot::Hold second = slot.Acquire();
    EXPECT_NE(first.Serial(), second.Serial());
    EXPECT_FALSE(slot.Release(View(a), 50));  // still held: bounded, not forever
    EXPECT_EQ(slot.Peek(), View(b));
    LiveViewSlot::Hold moved = std::move(first);
    moved.reset();
    EXPECT_TRUE(slot.Release(View(a), 0));  // b's hold is not waited for
    EXPECT_EQ(second.get(), View(b));
    slot.Set(View(a));  // the same address placed again is told apart
    EXPECT_NE(slot.Acquire().Serial(), second.Serial());
}

// Full addresses and bare paths without a page go through put_URL in the control's own test.
TEST(CameraAddress, APathTakesThePagesServerAnotherSchemeIsAPathAndLongHostsAreWhole) {
    UrlParts page{"http", kUrlSchemeHttp, "127.0.0.1", 80, "", "", "/index.html", ""};
    CameraAddress a = ResolveCameraAddress("/video.cgi", UrlParts(), false, &page);
    EXPECT_TRUE(a.hasBase);
    EXPECT_EQ(a.base + " " + a.path, "http://127.0.0.1:80 /video.cgi");

    UrlParts ftp = page;
    ftp.scheme = "ftp";
    ftp.schemeNumber = 1;
    a = ResolveCameraAddress("ftp://127.0.0.1/x", ftp, true, nullptr);
    EXPECT_FALSE(a.hasBase);
    EXPECT_EQ(a.path, "ftp://127.0.0.1/x");

    page.host = std::string(300, 'h');
    page.port = 65535;
    EXPECT_EQ(FormatBaseUrl(page), "http://" + page.host + ":65535");
}

}  // namespace

}  // namespace qern
