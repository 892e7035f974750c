#include <gtest/gtest.h>

#include <limits>

#include "liveview/pipeline/FrameMode.h"
#include "liveview/pipeline/ImageProcessHook.h"

namespace liveview {
namespace {

TEST(FrameMode, RecognisedByWidthAlone) {
    EXPECT_EQ(ModeFromWidth(640), kMode640);
    EXPECT_EQ(ModeFromWidth(320), kMode320);
    EXPECT_EQ(ModeFromWidth(176), kMode176);
    EXPECT_EQ(ModeFromWidth(0), kModeUnknown);
    EXPECT_EQ(ModeFromWidth(641), kModeUnknown);
    EXPECT_EQ(ModeSize(kMode320).height, 240);
    EXPECT_EQ(ModeSize(kMode176).width, 176);
    EXPECT_EQ(ModeSize(kModeUnknown).width, 0);
    EXPECT_EQ(ModeSize(-1).height, 0);
}

TEST(FillLimits, CapsPerModeAndOneRaiseAfterAShortFrame) {
    FillLimits l;
    EXPECT_EQ(l.AfterFrame(kMode640), 50000);
    EXPECT_EQ(l.AfterFrame(kMode320), 18000);
    EXPECT_EQ(l.AfterFrame(kMode176), 10000);
    EXPECT_EQ(l.AddShortfall(kMode320, 3000), 21000);
    EXPECT_EQ(l.Limit(kMode320), 21000);
    EXPECT_EQ(l.AfterFrame(kMode320), 18000);  // clamped back with the next frame
    // Parts that declare their length are completed by the session: a header's worth will do.
    EXPECT_EQ(l.AfterFrame(kMode640, true), FillLimits::kHeaderBytes);
    EXPECT_EQ(l.AddShortfall(kMode640, 500), FillLimits::kHeaderBytes + 500);
    EXPECT_EQ(l.AfterFrame(kMode640, false), 50000);
    EXPECT_EQ(l.AfterFrame(kMode176, true), 1000);
    EXPECT_EQ(l.AddShortfall(kMode640, 0), 50000);
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

TEST(ImageProcessHook, CopiesCallsAndCopiesBack) {
    uint8_t frame[8] = {0, 1, 2, 3, 250, 251, 252, 253};
    uint8_t shared[8] = {};
    g_hookBuffer = shared;
    g_hookCalls = 0;
    EXPECT_TRUE(RunImageProcessHook(reinterpret_cast<uintptr_t>(&InvertHook), reinterpret_cast<uintptr_t>(shared),
                                    frame, sizeof frame));
    EXPECT_EQ(g_hookCalls, 1);
    EXPECT_EQ(frame[0], 255);
    EXPECT_EQ(frame[7], 2);
    // Without a buffer (or a function) nothing is copied or called.
    EXPECT_FALSE(RunImageProcessHook(reinterpret_cast<uintptr_t>(&InvertHook), 0, frame, sizeof frame));
    EXPECT_FALSE(RunImageProcessHook(0, reinterpret_cast<uintptr_t>(shared), frame, sizeof frame));
    EXPECT_EQ(g_hookCalls, 1);
    EXPECT_EQ(frame[0], 255);
}

}  // namespace
}  // namespace liveview
