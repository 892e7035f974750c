#include <gtest/gtest.h>

#include <limits>

#include "liveview/pipeline/FrameMode.h"
#include "liveview/pipeline/ImageProcessHook.h"

namespace liveview {
namespace {

// The known sizes are used by every worker test; what lies outside them has no size.
TEST(FrameMode, UnknownWidthsAndModesHaveNoSize) {
    EXPECT_EQ(ModeFromWidth(641), kModeUnknown);
    for (int32_t mode : {int32_t(kModeUnknown), -1, 1000}) EXPECT_EQ(ModeSize(mode).width + ModeSize(mode).height, 0);
}

// The caps at each switch and after declared parts are seen by the worker's tests.
TEST(FillLimits, OneRaiseAfterAShortFrameHeldToItsModeAndItsRange) {
    FillLimits l;
    EXPECT_EQ(l.AddShortfall(kMode320, 3000), 21000);
    EXPECT_EQ(l.AfterFrame(kMode320), 18000);  // clamped back with the next frame
    EXPECT_EQ(l.AddShortfall(kMode640, -7), 50000);
    EXPECT_EQ(l.AddShortfall(kModeUnknown, 500), 0);
    EXPECT_EQ(l.AfterFrame(kModeUnknown), 0);
    l.AddShortfall(kMode176, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(l.Limit(kMode176), std::numeric_limits<int32_t>::max());
}

uint8_t* g_hookBuffer = nullptr;
int g_hookCalls = 0;
void InvertHook() {
    ++g_hookCalls;
    for (int i = 0; i < 8; ++i) g_hookBuffer[i] = uint8_t(~g_hookBuffer[i]);
}

// Copying in, calling and copying back is shown by the live view's callback against camsim.
TEST(ImageProcessHook, WithoutABufferOrAFunctionNothingIsCopiedOrCalled) {
    uint8_t frame[8] = {0, 1, 2, 3, 250, 251, 252, 253};
    uint8_t shared[8] = {};
    g_hookBuffer = shared;
    EXPECT_FALSE(RunImageProcessHook(reinterpret_cast<uintptr_t>(&InvertHook), 0, frame, sizeof frame));
    EXPECT_FALSE(RunImageProcessHook(0, reinterpret_cast<uintptr_t>(shared), frame, sizeof frame));
    EXPECT_EQ(g_hookCalls, 0);
    EXPECT_EQ(frame[0], 0);
}

}  // namespace
}  // namespace liveview
