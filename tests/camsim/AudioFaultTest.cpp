// Audio frames and their signal, and the fault schedules.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "tools/camsim/AudioSource.h"
#include "tools/camsim/Faults.h"

using namespace camsim;

namespace {

int16_t SampleAt(const std::vector<uint8_t>& frame, size_t i) {
  return static_cast<int16_t>(frame[8 + 2 * i] | (frame[8 + 2 * i + 1] << 8));
}

}  // namespace

TEST(CamsimAudio, FrameHasMagicStreamSequenceAndBigEndianLength) {
  AudioSettings settings;
  settings.streamByte = 7;
  AudioSource source(settings);
  const std::vector<uint8_t> frame = source.Frame(3);
  ASSERT_EQ(frame.size(), kAudioFrameBytes);
  EXPECT_EQ(frame[0], 0x1A);
  EXPECT_EQ(frame[1], 0x2B);
  EXPECT_EQ(frame[2], 0x3C);
  EXPECT_EQ(frame[3], 0x4D);
  EXPECT_EQ(frame[4], 7);
  EXPECT_EQ(frame[5], 3);
  EXPECT_EQ(frame[6], 0x01);  // 256, high byte first
  EXPECT_EQ(frame[7], 0x00);

  const int16_t samples[3] = {0x0102, -2, 0x7FFF};
  const std::vector<uint8_t> small = BuildAudioFrame(1, 9, samples, 3);
  EXPECT_EQ(small, (std::vector<uint8_t>{0x1A, 0x2B, 0x3C, 0x4D, 1, 9, 0, 6, 0x02, 0x01, 0xFE, 0xFF, 0xFF, 0x7F}));
}

TEST(CamsimAudio, SequenceNumbersWrapFrom255To0) {
  AudioSource source(AudioSettings{});
  EXPECT_EQ(source.Frame(254)[5], 254);
  EXPECT_EQ(source.Frame(255)[5], 255);
  EXPECT_EQ(source.Frame(256)[5], 0);
  EXPECT_EQ(source.Frame(257)[5], 1);
}

TEST(CamsimAudio, CounterSignalRisesByOneAcrossFrames) {
  AudioSource source(AudioSettings{});
  int16_t previous = SampleAt(source.Frame(0), 0);
  EXPECT_EQ(previous, 0);
  // 520 frames run past the 16-bit wrap (66560 samples).
  for (uint64_t f = 0; f < 520; ++f) {
    const std::vector<uint8_t> frame = source.Frame(f);
    for (size_t i = (f == 0 ? 1 : 0); i < kAudioSamplesPerFrame; ++i) {
      const int16_t sample = SampleAt(frame, i);
      ASSERT_EQ(static_cast<uint16_t>(sample), static_cast<uint16_t>(previous + 1)) << "frame " << f << " sample " << i;
      previous = sample;
    }
  }
}

TEST(CamsimAudio, ToneIsTheRequestedSine) {
  AudioSettings settings;
  settings.signal = AudioSignal::Tone;
  settings.toneHz = 1000;
  settings.toneAmplitude = 10000;
  // 1000 Hz at 8000 samples per second: a period of 8 samples.
  EXPECT_EQ(AudioSample(settings, 0), 0);
  EXPECT_EQ(AudioSample(settings, 2), 10000);
  EXPECT_EQ(AudioSample(settings, 6), -10000);
  EXPECT_EQ(AudioSample(settings, 1), 7071);
  EXPECT_EQ(AudioSample(settings, 8 * 1000003 + 2), 10000);  // no drift on long runs
  settings.toneHz = 440;
  EXPECT_NEAR(AudioSample(settings, 5), 10000 * std::sin(2 * M_PI * 440 * 5 / 8000.0), 1.0);
  settings.signal = AudioSignal::Silence;
  EXPECT_EQ(AudioSample(settings, 2), 0);
}

TEST(CamsimAudio, SkipEveryLeavesOutEveryNthFrame) {
  AudioSettings settings;
  settings.skipEvery = 3;
  AudioSource source(settings);
  std::vector<bool> skipped;
  for (uint64_t i = 0; i < 7; ++i) skipped.push_back(source.Skipped(i));
  EXPECT_EQ(skipped, (std::vector<bool>{false, false, true, false, false, true, false}));
  EXPECT_FALSE(AudioSource(AudioSettings{}).Skipped(2));
}

TEST(CamsimFaults, StallAndDropComeAfterNFrames) {
  FaultPlan plan;
  EXPECT_EQ(ActionBeforeFrame(plan, 1000000), StreamAction::Send);
  plan.stallAfter = 3;
  EXPECT_EQ(ActionBeforeFrame(plan, 2), StreamAction::Send);
  EXPECT_EQ(ActionBeforeFrame(plan, 3), StreamAction::Stall);
  plan.dropAfter = 2;
  EXPECT_EQ(ActionBeforeFrame(plan, 1), StreamAction::Send);
  EXPECT_EQ(ActionBeforeFrame(plan, 2), StreamAction::Drop);
}

TEST(CamsimFaults, TruncatedAndWrongLengthFramesFollowTheirPeriod) {
  FaultPlan plan;
  plan.truncateEvery = 4;
  plan.wrongLengthEvery = 2;
  plan.wrongLengthBy = -300;
  std::set<uint64_t> truncated, wrong;
  for (uint64_t n = 0; n < 12; ++n) {
    if (FaultForFrame(plan, n).truncate) truncated.insert(n);
    if (FaultForFrame(plan, n).wrongLength) wrong.insert(n);
  }
  EXPECT_EQ(truncated, (std::set<uint64_t>{3, 7, 11}));
  EXPECT_EQ(wrong, (std::set<uint64_t>{1, 3, 5, 7, 9, 11}));
  EXPECT_EQ(DeclaredLength(plan, PartFault{false, true}, 1000), 700u);
  EXPECT_EQ(DeclaredLength(plan, PartFault{false, true}, 100), 0u);  // never negative
  EXPECT_EQ(DeclaredLength(plan, PartFault{true, false}, 1000), 1000u);
  EXPECT_EQ(SentLength(PartFault{true, false}, 1000), 500u);
  EXPECT_EQ(SentLength(PartFault{false, true}, 1000), 1000u);
}

TEST(CamsimFaults, RefusalWindow) {
  FaultPlan plan;
  EXPECT_FALSE(RefusingAt(plan, 0));
  plan.refuseFor = 2;
  EXPECT_TRUE(RefusingAt(plan, 0));
  EXPECT_TRUE(RefusingAt(plan, 1.9));
  EXPECT_FALSE(RefusingAt(plan, 2));
  plan.refuseFrom = 5;
  EXPECT_FALSE(RefusingAt(plan, 4.9));
  EXPECT_TRUE(RefusingAt(plan, 5));
  EXPECT_FALSE(RefusingAt(plan, 7));
}

TEST(CamsimFaults, GarbageNeverLooksLikeAHeader) {
  const std::vector<uint8_t> a = GarbageBytes(5000, 1);
  const std::vector<uint8_t> b = GarbageBytes(5000, 2);
  EXPECT_EQ(a.size(), 5000u);
  EXPECT_NE(a, b);
  EXPECT_EQ(a, GarbageBytes(5000, 1));
  for (uint8_t byte : a) ASSERT_TRUE(byte != '/' && byte != '-');
  std::set<uint8_t> distinct(a.begin(), a.end());
  EXPECT_GT(distinct.size(), 200u);  // noise, not a fill pattern
}

TEST(CamsimFaults, SizeCycleStepsThroughTheThreeSizes) {
  FaultPlan plan;
  EXPECT_EQ(SizeForFrame(plan, VideoSize{320, 240}, 100), (VideoSize{320, 240}));
  plan.sizeCycle = 5;
  EXPECT_EQ(SizeForFrame(plan, VideoSize{320, 240}, 4), (VideoSize{320, 240}));
  EXPECT_EQ(SizeForFrame(plan, VideoSize{320, 240}, 5), (VideoSize{176, 144}));
  EXPECT_EQ(SizeForFrame(plan, VideoSize{320, 240}, 10), (VideoSize{640, 480}));
  EXPECT_EQ(SizeForFrame(plan, VideoSize{320, 240}, 15), (VideoSize{320, 240}));
}
