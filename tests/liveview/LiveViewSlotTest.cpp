#include <gtest/gtest.h>

#include <atomic>
#include <thread>

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

}  // namespace

}  // namespace qern
