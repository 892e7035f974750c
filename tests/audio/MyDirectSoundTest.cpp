// The DirectSound player through Wine's DirectSound: its geometry, its failure texts, one timer
// however often Play is called, and the refills that follow the play cursor.
#include <gtest/gtest.h>

#include <atomic>

#include "audio/MyDirectSound.h"

namespace {

WAVEFORMATEX Pcm8k() {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = 1;
    f.nSamplesPerSec = 8000;
    f.nAvgBytesPerSec = 16000;
    f.nBlockAlign = 2;
    f.wBitsPerSample = 16;
    return f;
}

struct Source {
    std::atomic<int> calls{0};
    std::atomic<DWORD> wanted{0};
    std::atomic<DWORD> deliveredOnEntry{1};
    static DWORD Fill(uint8_t* staging, DWORD want, DWORD* delivered, void* user) {
        Source* s = static_cast<Source*>(user);
        s->deliveredOnEntry = *delivered;
        s->wanted = want;
        ++s->calls;
        for (DWORD i = 0; i < 3000 * 2; ++i) staging[i] = 0x11;
        *delivered = 3000;
        return 0;
    }
};

TEST(MyDirectSound, GeometryRefillsAndOneTimer) {
    MyDirectSound player;
    player.SetFormat(Pcm8k());
    ASSERT_EQ(player.LastError(), "");
    EXPECT_EQ(player.BufferBytes(), 32000u);
    EXPECT_EQ(player.NotifyOffset(0), 7999u);
    EXPECT_EQ(player.NotifyOffset(1), 23999u);
    EXPECT_EQ(player.StagingBytes(), 16000u);

    Source source;
    player.SetCallback(&Source::Fill, &source);
    player.Play();
    EXPECT_EQ(source.calls, 1);  // the first half, primed at once
    EXPECT_EQ(source.wanted, 8000u);
    EXPECT_EQ(source.deliveredOnEntry, 0u);  // the player clears the count before asking
    player.Play();                         // a second Play starts no second timer
    EXPECT_TRUE(player.Playing());
    Sleep(3200);
    // Two halves a second, each refilled once: about 3 refills in 3.2 s; 300 ms polls: about 10.
    EXPECT_GE(player.HalfAFills() + player.HalfBFills(), 2u);
    EXPECT_LE(player.HalfAFills() + player.HalfBFills(), 4u);
    EXPECT_EQ(source.calls, int(1 + player.HalfAFills() + player.HalfBFills()));
    EXPECT_GE(player.Ticks(), 7u);
    EXPECT_LE(player.Ticks(), 13u);
    EXPECT_LT(player.RefillLeadMs(), 1000);
    EXPECT_GT(player.RefillLeadMs(), -1000);

    player.Stop();
    EXPECT_FALSE(player.Playing());
    EXPECT_EQ(player.HalfAFills() + player.HalfBFills(), 0u);
    const uint32_t ticks = player.Ticks();
    const int calls = source.calls;
    Sleep(700);
    EXPECT_EQ(player.Ticks(), ticks);
    // Play after Stop primes the first half again.
    player.Play();
    EXPECT_EQ(source.calls, calls + 1);
    EXPECT_EQ(player.LastError(), "");
}

TEST(MyDirectSound, FailureTexts) {
    MyDirectSound noFormat;
    noFormat.Play();
    EXPECT_EQ(noFormat.LastError(), "DirectSound was not created!");

    MyDirectSound noCallback;
    noCallback.SetFormat(Pcm8k());
    noCallback.Play();
    EXPECT_EQ(noCallback.LastError(), "Callback Function is NULL!");
    EXPECT_FALSE(noCallback.Playing());

    // A format DirectSound refuses: the summary stays and Play repeats it without playing.
    WAVEFORMATEX bad = Pcm8k();
    bad.wFormatTag = 0x7777;
    bad.nChannels = 0;
    bad.nBlockAlign = 0;
    MyDirectSound refused;
    refused.SetFormat(bad);
    EXPECT_EQ(refused.LastError(), "MyDirectSound SetFormat Failed!");
    Source source;
    refused.SetCallback(&Source::Fill, &source);
    refused.Play();
    EXPECT_EQ(refused.LastError(), "MyDirectSound SetFormat Failed!");
    EXPECT_EQ(source.calls, 0);
    EXPECT_FALSE(refused.Playing());
}

}  // namespace
